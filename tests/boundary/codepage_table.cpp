#include "codepage_table.h"

#include "boundary/codepage.h"

#include <istream>
#include <ostream>
#include <sstream>

namespace priv::test {
namespace {

std::string Utf8Of(char32_t c)
{
    std::string out;
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
    return out;
}

bool FromHex(const std::string& hex, std::string& bytes)
{
    bytes.clear();
    if (hex == "-")
        return true;
    if (hex.size() % 2 != 0)
        return false;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        unsigned value = 0;
        std::istringstream digits(hex.substr(i, 2));
        if (!(digits >> std::hex >> value))
            return false;
        bytes.push_back(static_cast<char>(value));
    }
    return true;
}

} // namespace

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    if (bytes.empty())
        return "-";
    std::string hex;
    for (unsigned char b : bytes) {
        hex.push_back(digits[b >> 4]);
        hex.push_back(digits[b & 0x0F]);
    }
    return hex;
}

std::vector<CodePageCase> BuildCodePageTable()
{
    std::vector<CodePageCase> table;
    table.reserve(256 + 65536 + 63488);
    for (int b = 0; b < 256; ++b) {
        const std::string input(1, static_cast<char>(b));
        table.push_back({'B', input, HostToUtf8(input, kBrokenByteMarker)});
    }
    for (int lead = 0; lead < 256; ++lead) {
        for (int trail = 0; trail < 256; ++trail) {
            const std::string input{static_cast<char>(lead), static_cast<char>(trail)};
            table.push_back({'P', input, HostToUtf8(input, kBrokenByteMarker)});
        }
    }
    for (char32_t c = 0; c < 0x10000; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        const std::string input = Utf8Of(c);
        table.push_back({'U', input, Utf8ToHost(input)});
    }
    return table;
}

void WriteCodePageTable(std::ostream& out, const std::vector<CodePageCase>& table)
{
    for (const CodePageCase& entry : table)
        out << entry.kind << ' ' << Hex(entry.input) << ' ' << Hex(entry.output) << '\n';
}

bool ReadCodePageTable(std::istream& in, std::vector<CodePageCase>& table)
{
    table.clear();
    std::string kind, input, output;
    while (in >> kind >> input >> output) {
        CodePageCase entry;
        if (kind.size() != 1 || !FromHex(input, entry.input) || !FromHex(output, entry.output))
            return false;
        entry.kind = kind[0];
        table.push_back(std::move(entry));
    }
    return in.eof() && !table.empty();
}

} // namespace priv::test
