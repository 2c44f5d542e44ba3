// The host's small text routines.
#pragma once

#include <string>

namespace fennix::detail {

// Every occurrence of `oldText` replaced; an empty `oldText` changes nothing.
std::string ReplaceAll(const std::string& text, const std::string& oldText, const std::string& newText);
// Field `index` (from 0) of `text` cut at the character of code `separator`
// (a Unicode code point); empty when there is no such field.
std::string Column(const std::string& text, int index, int separator);

} // namespace fennix::detail
