// The code-page unit's rules, the same on every platform: broken UTF-8 and
// broken GBK bytes, characters GBK lacks (never a look-alike), widths of the
// 255-byte cuts, unknown code pages, and conversions on several threads.
#include "boundary/codepage.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace priv {
namespace {

struct Case {
    const char* what;
    std::string input;
    std::string expected;
};

TEST(CodePageRules, Utf8ToHost)
{
    const Case cases[] = {
        {"empty", "", ""},
        {"ASCII", "O'Brien;=", "O'Brien;="},
        {"Chinese", "权限", "\xC8\xA8\xCF\xDE"},
        {"pinyin letter", "é", "\xA8\xA6"},
        {"euro sign, one byte", "€", "\x80"},
        {"letter GBK lacks, no look-alike", "ä", "?"},
        {"character beyond the BMP", "a\xF0\x9F\x98\x80z", "a?z"},
        {"cut-off character keeps the next one",
         "a\xE6\x9D"
         "b",
         "a?b"},
        {"cut-off character at the end", "a\xE6\x9D", "a?"},
        {"stray continuation bytes", "\x80\x80", "??"},
        {"overlong form", "\xC0\xAF", "?"},
        {"surrogate", "\xED\xA0\x80", "?"},
        {"byte that leads nothing",
         "\xFF"
         "a",
         "?a"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Utf8ToHost(c.input), c.expected) << c.what;
}

TEST(CodePageRules, HostToUtf8)
{
    const Case cases[] = {
        {"Chinese", "\xC8\xA8\xCF\xDE", "权限"},
        {"euro sign", "\x80", "€"},
        {"lead byte at the end", "a\xC8", "a#"},
        {"lead byte before ASCII keeps the ASCII", "\x81 x", "# x"},
        {"byte that leads nothing", "\xFF", "#"},
        {"trail byte GBK never uses, read again on its own", "\x81\x7F", "#\x7F"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HostToUtf8(c.input, "#"), c.expected) << c.what;
    EXPECT_EQ(HostToUtf8("\xFF"), "?");
}

TEST(CodePageRules, CutsCountTheBytesEachCharacterTakesInGbk)
{
    const struct {
        std::string text;
        std::size_t maxBytes;
        std::string expected;
    } cases[] = {
        {"权限", 0, ""},
        {"权限", 3, "权"},
        {"€€€", 2, "€€"},                               // one byte each in GBK, three in UTF-8
        {"\xF0\x9F\x98\x80xy", 2, "\xF0\x9F\x98\x80x"}, // becomes one "?"
        {"a\xE6\x9D"
         "bc",
         3,
         "a\xE6\x9D"
         "b"}, // a broken sequence is one "?"
        {"ab", 255, "ab"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CutToHostBytes(c.text, c.maxBytes), c.expected) << c.text << " at " << c.maxBytes;
}

TEST(CodePageRules, OtherNamesOfGbkAndUnknownCodePages)
{
    SetHostCodePage("CP936");
    EXPECT_EQ(Utf8ToHost("权"), "\xC8\xA8");
    EXPECT_EQ(HostToUtf8("\xC8\xA8"), "权");
    // A code page the platform does not know leaves text as it is.
    SetHostCodePage("no-such-code-page");
    EXPECT_EQ(Utf8ToHost("权"), "权");
    EXPECT_EQ(HostToUtf8("\xC8\xA8"), "\xC8\xA8");
    SetHostCodePage("GBK");
    EXPECT_EQ(Utf8ToHost("权"), "\xC8\xA8");
}

TEST(CodePageRules, ThreadsConvertAtTheSameTime)
{
    const std::string text = "操作员 zhangwei 权限管理 €";
    const std::string host = Utf8ToHost(text);
    std::vector<int> failures(4, 0);
    std::vector<std::thread> threads;
    threads.reserve(4);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                if (Utf8ToHost(text) != host || HostToUtf8(host) != text ||
                    CutToHostBytes(text, 9) != "操作员 zh")
                    ++failures[t];
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}

} // namespace
} // namespace priv
