// Parameter strings: the flat name=value lists that cross the module's
// boundary. Names are compared exactly; values are escaped so that '=' and
// ';' never split an item.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace priv {

inline constexpr char kParamItemSeparator = ';';
inline constexpr char kParamNameValueSeparator = '=';

std::string EscapeParamValue(std::string_view value);
std::string UnescapeParamValue(std::string_view text);

// The pieces between separators, in order; the text after the last separator
// is a piece even when empty, so an empty text gives one empty piece.
std::vector<std::string> SplitParamItems(std::string_view text, char separator);

// The unescaped value of the first item named `name` whose value is not empty.
std::string GetParamValue(std::string_view params, std::string_view name);

// `params` with that item's value replaced, or with the item appended.
std::string SetParamValue(std::string_view params, std::string_view name, std::string_view value);

// The lines of a list value; a line ends at CR LF, LF or CR.
std::vector<std::string> SplitLines(std::string_view text);

} // namespace priv
