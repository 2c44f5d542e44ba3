// The code page as the two platforms convert it: this build's table against
// the table another platform's build wrote (the file named by
// PRIV_CODEPAGE_REFERENCE; scripts/test-windows passes the Linux table to the
// Windows build under Wine). Every single byte, every two-byte sequence and
// every BMP character must convert alike, except where Windows code page 936
// uses the Private Use Area: it maps GBK's user-defined areas (AAA1-AFFE,
// F8A1-FEFE, A140-A7A0) and the unassigned codes of the symbol rows, D7FA-D7FE
// and FE50-FEA0 to and from U+E000..U+E864 (2,149 pairs), and U+F8F5 to the
// byte FF. iconv's GBK has no characters there, so on Linux such a pair reads
// as a broken lead byte and such a character becomes "?". No operator types
// those characters and no stored text of ours holds them, so the difference
// is documented, not mended.
#include "codepage_table.h"

#include "boundary/codepage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>

namespace priv::test {
namespace {

bool IsPrivateUse(const std::string& utf8)
{
    // One character in U+E000..U+F8FF: EE 80 80 .. EF A3 BF.
    return utf8.size() == 3 && utf8 >= "\xEE\x80\x80" && utf8 <= "\xEF\xA3\xBF";
}

// A difference of the documented kind: one side has the Private Use Area
// character, the other has none for it.
bool IsPrivateUseDifference(const CodePageCase& here, const std::string& there)
{
    const std::string marker = kBrokenByteMarker;
    if (here.kind == 'P') {
        const auto marks = [&](const std::string& out) { return out.rfind(marker, 0) == 0; };
        return (IsPrivateUse(here.output) && marks(there)) || (IsPrivateUse(there) && marks(here.output));
    }
    if (here.kind == 'U')
        return IsPrivateUse(here.input) && (here.output == "?" || there == "?");
    return false;
}

TEST(CodePagePlatforms, ConvertAlikeOutsideThePrivateUseArea)
{
    const char* referencePath = std::getenv("PRIV_CODEPAGE_REFERENCE");
    if (!referencePath || !*referencePath)
        GTEST_SKIP()
            << "no other platform's table (PRIV_CODEPAGE_REFERENCE); scripts/test-windows provides one";
    std::ifstream file(referencePath, std::ios::binary);
    std::vector<CodePageCase> reference;
    ASSERT_TRUE(ReadCodePageTable(file, reference)) << referencePath;

    const std::vector<CodePageCase> own = BuildCodePageTable();
    ASSERT_EQ(own.size(), reference.size());

    std::map<char, int> privateUse;
    std::vector<std::string> unexpected;
    for (std::size_t i = 0; i < own.size(); ++i) {
        ASSERT_EQ(own[i].kind, reference[i].kind);
        ASSERT_EQ(own[i].input, reference[i].input);
        if (own[i].output == reference[i].output)
            continue;
        if (IsPrivateUseDifference(own[i], reference[i].output))
            ++privateUse[own[i].kind];
        else if (unexpected.size() < 40)
            unexpected.push_back(std::string(1, own[i].kind) + " " + Hex(own[i].input) + ": here " +
                                 Hex(own[i].output) + ", there " + Hex(reference[i].output));
    }
    std::cout << "the Private Use Area differs in " << privateUse['P'] << " pairs and " << privateUse['U']
              << " characters\n";
    std::string list;
    for (const std::string& line : unexpected)
        list += line + "\n";
    EXPECT_TRUE(unexpected.empty()) << list;
}

} // namespace
} // namespace priv::test
