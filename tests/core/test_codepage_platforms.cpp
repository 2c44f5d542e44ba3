// The code page as the two platforms convert it: this build's table against
// the table another platform's build wrote (the file named by
// PRIV_CODEPAGE_REFERENCE; scripts/test-windows passes the Linux table to the
// Windows build under Wine). Every single byte, every two-byte sequence and
// every BMP character must convert alike, except in GBK's user-defined areas:
// Windows code page 936 maps their 6,080 pairs to and from the Private Use
// Area U+E000..U+E765, while iconv's GBK has no characters there, so on Linux
// such a pair reads as broken bytes and such a character becomes "?". No
// operator can type those characters, so the difference is documented, not
// mended.
#include "codepage_table.h"

#include "boundary/codepage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>

namespace priv::test {
namespace {

bool InUserDefinedPairArea(unsigned char lead, unsigned char trail)
{
    const bool area1 = lead >= 0xAA && lead <= 0xAF && trail >= 0xA1 && trail <= 0xFE;
    const bool area2 = lead >= 0xF8 && lead <= 0xFE && trail >= 0xA1 && trail <= 0xFE;
    const bool area3 = lead >= 0xA1 && lead <= 0xA7 && trail >= 0x40 && trail <= 0xA0 && trail != 0x7F;
    return area1 || area2 || area3;
}

bool InUserDefinedArea(const CodePageCase& entry)
{
    if (entry.kind == 'P')
        return InUserDefinedPairArea(static_cast<unsigned char>(entry.input[0]),
                                     static_cast<unsigned char>(entry.input[1]));
    if (entry.kind == 'U')
        return entry.input >= "\xEE\x80\x80" && entry.input <= "\xEE\x9D\xA5"; // U+E000..U+E765
    return false;
}

TEST(CodePagePlatforms, ConvertAlikeOutsideTheUserDefinedAreas)
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

    std::map<char, int> userDefined;
    std::vector<std::string> unexpected;
    for (std::size_t i = 0; i < own.size(); ++i) {
        ASSERT_EQ(own[i].kind, reference[i].kind);
        ASSERT_EQ(own[i].input, reference[i].input);
        if (own[i].output == reference[i].output)
            continue;
        if (InUserDefinedArea(own[i]))
            ++userDefined[own[i].kind];
        else if (unexpected.size() < 40)
            unexpected.push_back(std::string(1, own[i].kind) + " " + Hex(own[i].input) + ": here " +
                                 Hex(own[i].output) + ", there " + Hex(reference[i].output));
    }
    std::cout << "user-defined areas differ in " << userDefined['P'] << " pairs and " << userDefined['U']
              << " characters\n";
    std::string list;
    for (const std::string& line : unexpected)
        list += line + "\n";
    EXPECT_TRUE(unexpected.empty()) << list;
}

} // namespace
} // namespace priv::test
