// What the code-page unit asks of the platform: converting runs of text
// between UTF-8 and the host's code page. One implementation per platform
// (iconv on Linux, the Win32 national-language functions on Windows); the
// rules for broken input, the cuts and the code-page setting are shared.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace priv::codepage {

// Appends the host form of `validUtf8`, which holds only well-formed UTF-8.
// Every character the code page lacks becomes one "?"; a code page the
// platform does not know leaves the text as it is.
void AppendHostForm(std::string_view validUtf8, const std::string& codePage, std::string& out);

// The longest prefix of `validUtf8`, in whole characters, whose host form
// takes at most `maxBytes` bytes: answers its length in UTF-8 bytes and adds
// its host length to `hostBytes`.
std::size_t FittingPrefix(std::string_view validUtf8, const std::string& codePage, std::size_t maxBytes,
                          std::size_t& hostBytes);

// Appends the UTF-8 form of `hostBytes`. A byte that starts no character of
// the code page becomes `replacement` and the conversion goes on with the
// byte after it.
void AppendUtf8Form(std::string_view hostBytes, const std::string& codePage, std::string_view replacement,
                    std::string& out);

// Length of the character a lead byte of well-formed UTF-8 starts.
inline std::size_t Utf8Length(unsigned char lead)
{
    return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

// FittingPrefix's walk over the characters, shared by the platforms:
// `hostWidth` gives the host length of one character beyond ASCII.
template <class HostWidth>
std::size_t MeasureFittingPrefix(std::string_view validUtf8, std::size_t maxBytes, std::size_t& hostBytes,
                                 HostWidth hostWidth)
{
    std::size_t pos = 0;
    while (pos < validUtf8.size()) {
        const std::size_t length = Utf8Length(static_cast<unsigned char>(validUtf8[pos]));
        // ASCII is itself in every host code page.
        const std::size_t width = length > 1 ? hostWidth(validUtf8.substr(pos, length)) : 1;
        if (hostBytes + width > maxBytes)
            break;
        hostBytes += width;
        pos += length;
    }
    return pos;
}

// Appends one Unicode scalar value in UTF-8.
inline void AppendUtf8(char32_t c, std::string& out)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

} // namespace priv::codepage
