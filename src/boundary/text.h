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

// Operator, post and department codes are one code whatever the case of
// their ASCII letters: "LINA" is "lina". Rows stored before that was kept
// may still hold two codes that differ only in case; a code then means the
// one stored exactly so, otherwise the first in byte order, so that every
// lookup picks the same row whatever order a database returns rows in.
// `codeOf` gives an element's code; `last` when no code matches.
template <class Iterator, class CodeOf>
Iterator FindCode(Iterator first, Iterator last, std::string_view code, CodeOf codeOf)
{
    Iterator best = last;
    for (Iterator it = first; it != last; ++it) {
        const auto& held = codeOf(*it);
        const std::string_view stored(held);
        if (stored == code)
            return it;
        if (SameTextAscii(stored, code) && (best == last || stored < std::string_view(codeOf(*best))))
            best = it;
    }
    return best;
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
