#include "boundary/codepage.h"

#include <cerrno>
#include <iconv.h>

namespace priv {
namespace {

std::string& CodePageName()
{
    static std::string name = "GBK";
    return name;
}

std::size_t Utf8SequenceLength(unsigned char lead)
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

// Converts with iconv; an unconvertible or broken sequence becomes the
// replacement and the conversion goes on after it.
std::string Convert(std::string_view input, const char* to, const char* from, std::string_view replacement)
{
    const bool fromUtf8 = std::string_view(from) == "UTF-8";
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::string(input);
    std::string out;
    out.reserve(input.size() * 2);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char buffer[256];
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, sizeof buffer - outLeft);
        if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // EILSEQ or EINVAL: one character that has no equivalent (or a
            // broken tail) becomes a single "?".
            std::size_t skip = fromUtf8 ? Utf8SequenceLength(static_cast<unsigned char>(*in)) : 1;
            if (skip > inLeft)
                skip = inLeft;
            out.append(replacement);
            in += skip;
            inLeft -= skip;
        }
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    iconv_close(cd);
    return out;
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
    return Convert(utf8, CodePageName().c_str(), "UTF-8", "?");
}
std::string HostToUtf8(std::string_view hostBytes, std::string_view replacement)
{
    return Convert(hostBytes, "UTF-8", CodePageName().c_str(), replacement);
}

std::string CutToHostBytes(std::string_view utf8, std::size_t maxBytes)
{
    std::size_t hostBytes = 0;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        std::size_t length = Utf8SequenceLength(static_cast<unsigned char>(utf8[pos]));
        if (pos + length > utf8.size())
            length = utf8.size() - pos;
        const std::size_t width = Utf8ToHost(utf8.substr(pos, length)).size();
        if (hostBytes + width > maxBytes)
            break;
        hostBytes += width;
        pos += length;
    }
    return std::string(utf8.substr(0, pos));
}

std::string CutUtf8Bytes(std::string_view utf8, std::size_t maxBytes)
{
    if (utf8.size() <= maxBytes)
        return std::string(utf8);
    std::size_t pos = maxBytes;
    while (pos > 0 && (static_cast<unsigned char>(utf8[pos]) & 0xC0) == 0x80)
        --pos;
    return std::string(utf8.substr(0, pos));
}

} // namespace priv
