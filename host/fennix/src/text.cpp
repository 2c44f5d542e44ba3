#include "text.h"

namespace fennix::detail {
namespace {

std::string EncodeUtf8(char32_t c)
{
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

} // namespace

std::string ReplaceAll(const std::string& text, const std::string& oldText, const std::string& newText)
{
    if (oldText.empty())
        return text;
    std::string out;
    out.reserve(text.size());
    std::size_t start = 0;
    while (true) {
        const std::size_t found = text.find(oldText, start);
        if (found == std::string::npos) {
            out.append(text, start, std::string::npos);
            return out;
        }
        out.append(text, start, found - start);
        out += newText;
        start = found + oldText.size();
    }
}

std::string Column(const std::string& text, int index, int separator)
{
    if (index < 0 || separator <= 0 || separator > 0x10FFFF)
        return {};
    const std::string mark = EncodeUtf8(static_cast<char32_t>(separator));
    std::size_t start = 0;
    for (int field = 0; field < index; ++field) {
        const std::size_t found = text.find(mark, start);
        if (found == std::string::npos)
            return {};
        start = found + mark.size();
    }
    const std::size_t end = text.find(mark, start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

} // namespace fennix::detail
