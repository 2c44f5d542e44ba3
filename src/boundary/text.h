// Small text helpers shared by every layer; byte-wise, ASCII rules only, as the
// host compares names and codes.
#pragma once

#include <string>
#include <string_view>

namespace priv {

inline char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
inline char UpperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline bool SameTextAscii(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

inline std::string UpperCaseAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = UpperAscii(c);
    return out;
}

// Removes leading and trailing spaces and control characters, as the
// toolkit's Trim does.
inline std::string TrimText(std::string_view text)
{
    std::size_t begin = 0, end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ')
        --end;
    return std::string(text.substr(begin, end - begin));
}

} // namespace priv
