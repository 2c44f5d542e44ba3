// The one place where text changes encoding. Inside the module every text is
// UTF-8; the host's 8-bit code page (GBK) is seen only at the export buffers,
// the password cipher and the 255-byte cuts of the fixed records.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace priv {

// The host's code page; GBK unless the host is configured otherwise.
void SetHostCodePage(std::string name);
const std::string& HostCodePage();

// Conversions never throw: a character that has no equivalent becomes "?".
std::string Utf8ToHost(std::string_view utf8);
// A byte that starts no character of the code page becomes `replacement`.
std::string HostToUtf8(std::string_view hostBytes, std::string_view replacement = "?");

// Cuts UTF-8 text so that its host code-page form holds at most `maxBytes`
// bytes, never splitting a character.
std::string CutToHostBytes(std::string_view utf8, std::size_t maxBytes);

// Cuts UTF-8 text to at most `maxBytes` UTF-8 bytes, never splitting a character.
std::string CutUtf8Bytes(std::string_view utf8, std::size_t maxBytes);

} // namespace priv
