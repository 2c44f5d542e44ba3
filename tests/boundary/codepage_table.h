// How the code-page unit converts every single byte, every two-byte sequence
// and every character of the Basic Multilingual Plane, as a table that one
// platform writes and another checks (iconv on Linux against the Win32
// functions on Windows).
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace priv::test {

struct CodePageCase {
    char kind = 0;      // 'B' one host byte, 'P' two host bytes, 'U' one BMP character in UTF-8
    std::string input;  // the bytes converted
    std::string output; // what came out
};

// The marker a host byte that starts no character turns into in the table.
inline constexpr const char* kBrokenByteMarker = "\xEF\xBF\xBD";

// Every case, in a fixed order, converted by this build with the current
// host code page.
std::vector<CodePageCase> BuildCodePageTable();

// One line per case: kind, input in hex, output in hex ("-" when empty).
void WriteCodePageTable(std::ostream& out, const std::vector<CodePageCase>& table);
// False when the stream does not hold a well-formed table.
bool ReadCodePageTable(std::istream& in, std::vector<CodePageCase>& table);

std::string Hex(const std::string& bytes);

} // namespace priv::test
