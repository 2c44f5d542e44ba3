#include "boundary/codepage.h"
#include "boundary/codepage_backend.h"

#include <algorithm>

namespace priv {
namespace {

std::string& CodePageName()
{
    static std::string name = "GBK";
    return name;
}

bool IsContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// The length a lead byte announces; 1 for a byte that leads nothing.
std::size_t AnnouncedLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    if ((lead & 0xF8) == 0xF0)
        return 4;
    return 1;
}

// Length of the well-formed UTF-8 character at `pos`, or 0 when the bytes
// there are not one (overlong forms, surrogates and values beyond U+10FFFF
// included).
std::size_t WellFormedLength(std::string_view text, std::size_t pos)
{
    const auto lead = static_cast<unsigned char>(text[pos]);
    const std::size_t length = AnnouncedLength(lead);
    if (length == 1)
        return lead < 0x80 ? 1 : 0;
    if (pos + length > text.size())
        return 0;
    char32_t value = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[pos + i]);
        if (!IsContinuation(byte))
            return 0;
        value = (value << 6) | (byte & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return length;
}

// How many bytes a broken sequence at `pos` spans: its lead byte and the
// continuation bytes that follow, up to the length the lead announced. A byte
// that could start the next character is never swallowed.
std::size_t BrokenLength(std::string_view text, std::size_t pos)
{
    const std::size_t announced = AnnouncedLength(static_cast<unsigned char>(text[pos]));
    std::size_t length = 1;
    while (length < announced && pos + length < text.size() &&
           IsContinuation(static_cast<unsigned char>(text[pos + length])))
        ++length;
    return length;
}

// End of the run of well-formed characters that starts at `pos`.
std::size_t WellFormedRunEnd(std::string_view text, std::size_t pos)
{
    while (pos < text.size()) {
        const std::size_t length = WellFormedLength(text, pos);
        if (length == 0)
            break;
        pos += length;
    }
    return pos;
}

// ASCII is itself in every code page the host runs on (its 8-bit code pages
// extend ASCII), so a text of ASCII alone - codes, parameter strings, most
// passwords - needs no converter and no measuring.
bool IsAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

void SetHostCodePage(std::string name)
{
    CodePageName() = std::move(name);
}
const std::string& HostCodePage()
{
    return CodePageName();
}

std::string Utf8ToHost(std::string_view utf8)
{
    if (IsAscii(utf8))
        return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        // The longest well-formed run goes to the platform in one piece.
        std::size_t end = WellFormedRunEnd(utf8, pos);
        if (end > pos)
            codepage::AppendHostForm(utf8.substr(pos, end - pos), CodePageName(), out);
        if (end < utf8.size()) {
            out.push_back('?');
            end += BrokenLength(utf8, end);
        }
        pos = end;
    }
    return out;
}

std::string HostToUtf8(std::string_view hostBytes, std::string_view replacement)
{
    // A byte below 0x80 may also be the second byte of a double-byte
    // character, so only a text without any byte above stays as it is.
    if (IsAscii(hostBytes))
        return std::string(hostBytes);
    std::string out;
    out.reserve(hostBytes.size() * 3 / 2);
    codepage::AppendUtf8Form(hostBytes, CodePageName(), replacement, out);
    return out;
}

std::string CutToHostBytes(std::string_view utf8, std::size_t maxBytes)
{
    if (IsAscii(utf8))
        return std::string(utf8.substr(0, maxBytes));
    std::size_t hostBytes = 0;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        if (WellFormedLength(utf8, pos) == 0) {
            // A broken sequence becomes one "?", one byte.
            if (hostBytes + 1 > maxBytes)
                break;
            hostBytes += 1;
            pos += BrokenLength(utf8, pos);
            continue;
        }
        // The platform measures a well-formed run in one go. Every character
        // takes at least one host byte, so a long text is looked at only as
        // far as can fit.
        const std::size_t limit = std::min(utf8.size(), pos + 4 * (maxBytes - hostBytes + 1));
        const std::size_t end = WellFormedRunEnd(utf8.substr(0, limit), pos);
        pos += codepage::FittingPrefix(utf8.substr(pos, end - pos), CodePageName(), maxBytes, hostBytes);
        if (pos < end)
            break;
    }
    return std::string(utf8.substr(0, pos));
}

std::string CutUtf8Bytes(std::string_view utf8, std::size_t maxBytes)
{
    if (utf8.size() <= maxBytes)
        return std::string(utf8);
    std::size_t pos = maxBytes;
    while (pos > 0 && IsContinuation(static_cast<unsigned char>(utf8[pos])))
        --pos;
    return std::string(utf8.substr(0, pos));
}

} // namespace priv
