#include "boundary/codepage.h"
#include "boundary/codepage_backend.h"

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

// Bytes the character (or broken sequence) at `pos` takes in the host code
// page. ASCII is the same in every host code page; a broken sequence becomes
// one "?".
std::size_t HostWidthAt(std::string_view utf8, std::size_t pos, std::size_t& utf8Length, std::string& scratch)
{
    if (static_cast<unsigned char>(utf8[pos]) < 0x80) {
        utf8Length = 1;
        return 1;
    }
    utf8Length = WellFormedLength(utf8, pos);
    if (utf8Length == 0) {
        utf8Length = BrokenLength(utf8, pos);
        return 1;
    }
    scratch.clear();
    codepage::AppendHostForm(utf8.substr(pos, utf8Length), CodePageName(), scratch);
    return scratch.size();
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
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        // The longest well-formed run goes to the platform in one piece.
        std::size_t end = pos;
        while (end < utf8.size()) {
            const std::size_t length = WellFormedLength(utf8, end);
            if (length == 0)
                break;
            end += length;
        }
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
    std::string out;
    out.reserve(hostBytes.size() * 3 / 2);
    codepage::AppendUtf8Form(hostBytes, CodePageName(), replacement, out);
    return out;
}

std::string CutToHostBytes(std::string_view utf8, std::size_t maxBytes)
{
    std::string scratch;
    std::size_t hostBytes = 0;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        std::size_t length = 0;
        const std::size_t width = HostWidthAt(utf8, pos, length, scratch);
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
    while (pos > 0 && IsContinuation(static_cast<unsigned char>(utf8[pos])))
        --pos;
    return std::string(utf8.substr(0, pos));
}

} // namespace priv
