// The password cipher: the text layer's worked example, texts as stored by
// earlier versions, round trips over bytes and UTF-8, the shape of every
// enciphered text, and what damaged stored texts decipher to.
#include "boundary/codepage.h"
#include "cipher/crypt.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

namespace priv {
namespace {

const std::string& Alphabet()
{
    static const std::string alphabet = TCrypt().Alphabet();
    return alphabet;
}

std::string ByteRange(int first, int last)
{
    std::string bytes;
    for (int b = first; b <= last; ++b)
        bytes.push_back(static_cast<char>(b));
    return bytes;
}

std::string RandomBytes(std::mt19937& generator, std::size_t length)
{
    std::uniform_int_distribution<int> byte(0, 255);
    std::string bytes(length, '\0');
    for (char& c : bytes)
        c = static_cast<char>(byte(generator));
    return bytes;
}

// Every enciphered text must be storable in a text column and placeable
// between single quotes in SQL as it is.
void ExpectStorable(const std::string& enciphered)
{
    const std::string_view digits = std::string_view(Alphabet()).substr(0, 90);
    for (char c : enciphered) {
        ASSERT_NE(digits.find(c), std::string_view::npos)
            << "character " << int(static_cast<unsigned char>(c));
        ASSERT_GT(static_cast<unsigned char>(c), ' ');
        ASSERT_NE(c, '\'');
        ASSERT_NE(c, '"');
    }
}

TEST(CipherAlphabet, PrintableAsciiWithoutSpaceAndQuotes)
{
    EXPECT_EQ(Alphabet().size(), 92u);
    EXPECT_EQ(Alphabet().substr(0, 23), "!#$%&()*+,-./0123456789");
    EXPECT_EQ(Alphabet().substr(85), "xyz{|}~");
    EXPECT_EQ(Alphabet().find_first_of(std::string(" \"'\0\r\n", 6)), std::string::npos);
}

TEST(TextLayer, WorkedExampleAbc)
{
    EXPECT_EQ(TextDigits("abc"), "097098099");
    EXPECT_EQ(TextDigitGroups("097098099"), (std::vector<std::string>{"0970", "8099", "9"}));
    EXPECT_EQ(TextEncodeBlock(Alphabet(), "abc"), "PoljRW9");
    EXPECT_EQ(TextDecodeBlock(Alphabet(), "PoljRW9"), "abc");
}

TEST(TextLayer, DigitGroupsAlternateFrontAndBack)
{
    struct Case {
        std::string digits;
        std::vector<std::string> groups;
    };
    const std::vector<Case> cases = {
        {"", {}},
        {"7", {"7"}},
        {"123456", {"1234", "56"}},
        {"12345678", {"1234", "5678"}},
        {"123456789012", {"1234", "9012", "5678"}},
        {"123456789012345", {"1234", "2345", "5678", "901"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TextDigitGroups(c.digits), c.groups) << c.digits;
}

TEST(TextLayer, FullBlockIsExactly900Characters)
{
    std::mt19937 generator(400);
    for (const std::string& block :
         {std::string(400, '\0'), std::string(400, '\xff'), RandomBytes(generator, 400)}) {
        const std::string text = TextEncodeBlock(Alphabet(), block);
        EXPECT_EQ(text.size(), TCrypt::EncipheredBlockChars);
        EXPECT_EQ(TextDecodeBlock(Alphabet(), text), block);
    }
}

// Damaged text keeps the bytes the decoding rules make of it: a group with a
// character outside the base-90 digits vanishes, a digit group that is not a
// number becomes byte 0, a signed group keeps its low byte.
TEST(TextLayer, DamagedGroupsDecodeByTheRules)
{
    struct Case {
        std::string text;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"P~ljRW9", std::string{'\xd4', 'c'}},    // first group lost: digits 98099
        {"PoljRWA", std::string{'a', '\0', ')'}}, // "A" is 30 = base-30 "#!": group "0#!" is no number
        {"PoljRW", "aPc"},                        // last group lost: digits 09708099
        {*ConvertBase(Alphabet(), "-12", 30, 90), "\xf4"}, // -12 keeps its low byte, 244
    };
    for (const Case& c : cases)
        EXPECT_EQ(TextDecodeBlock(Alphabet(), c.text), c.bytes) << c.text;
}

TEST(XorStream, KnownBytesAndInverse)
{
    // "abc" with the key of prefix 11: 27183 + 11.
    EXPECT_EQ(XorEncrypt("abc", 27194), "\x0b\x7c\x8a");
    EXPECT_EQ(XorDecrypt("\x0b\x7c\x8a", 27194), "abc");

    std::mt19937 generator(7);
    const std::string bytes = RandomBytes(generator, 1000);
    for (std::uint16_t key : {std::uint16_t{0}, std::uint16_t{27194}, std::uint16_t{65535}}) {
        const std::string enciphered = XorEncrypt(bytes, key);
        EXPECT_EQ(enciphered.size(), bytes.size());
        EXPECT_NE(enciphered, bytes);
        EXPECT_EQ(XorDecrypt(enciphered, key), bytes) << key;
    }
}

// Texts as an earlier version stored them; these must keep deciphering.
TEST(TCryptDecrypt, StoredTextsOfEarlierVersions)
{
    const TCrypt crypt;
    EXPECT_EQ(crypt.DecryptText("P>N]<V^1O#Yn"), "abc");                // prefix 11
    EXPECT_EQ(crypt.DecryptText("PGN`Ysa1sg;V(l"), Utf8ToHost("你好")); // prefix 88, GBK bytes
    EXPECT_EQ(DecryptPassword("PGN`Ysa1sg;V(l"), "你好");
    // An empty password is its prefix alone, which deciphers to empty text.
    EXPECT_EQ(TextDecodeBlock(Alphabet(), "PFN)5"), "57");
    EXPECT_EQ(crypt.DecryptText("PFN)5"), "");
}

TEST(TCryptRoundTrip, TableOfPlainTexts)
{
    std::mt19937 generator(1000);
    const std::vector<std::string> plains = {
        "",
        "a",
        "Passw0rd!Passw0rd!12",
        ByteRange(32, 126),
        Utf8ToHost("管理员密码：系统"),
        ByteRange(1, 255),
        ByteRange(0, 255),
        std::string(111, 'x'),
        RandomBytes(generator, 398),
        RandomBytes(generator, 400),
        RandomBytes(generator, 1000),
    };
    const TCrypt crypt;
    for (const std::string& plain : plains) {
        const std::string enciphered = crypt.EncryptText(plain);
        SCOPED_TRACE("plain of " + std::to_string(plain.size()) + " bytes");
        ExpectStorable(enciphered);
        EXPECT_EQ(enciphered.size(), EncipheredLength(plain.size()));
        EXPECT_EQ(crypt.DecryptText(enciphered), plain);
    }
}

TEST(TCryptRoundTrip, RandomByteStrings)
{
    std::mt19937 generator(20);
    std::uniform_int_distribution<std::size_t> length(0, 1300);
    const TCrypt crypt;
    for (int i = 0; i < 300; ++i) {
        const std::string plain = RandomBytes(generator, length(generator));
        const std::string enciphered = crypt.EncryptText(plain);
        ExpectStorable(enciphered);
        ASSERT_EQ(crypt.DecryptText(enciphered), plain) << "plain of " << plain.size() << " bytes";
    }
}

TEST(TCryptLength, CharactersPerPlainLength)
{
    // n plain bytes: m = n + 2, D = 3m digits, 3 * (D div 4) + D mod 4
    // characters per block of 400 bytes.
    const std::vector<std::pair<std::size_t, std::size_t>> cases = {
        {0, 5}, {3, 12}, {20, 50}, {111, 255}, {112, 257}, {398, 900}, {400, 905}, {1000, 2255}};
    const TCrypt crypt;
    for (const auto& [plainBytes, characters] : cases) {
        EXPECT_EQ(EncipheredLength(plainBytes), characters) << plainBytes;
        EXPECT_EQ(crypt.EncryptText(std::string(plainBytes, 'p')).size(), characters) << plainBytes;
    }
}

// The prefix is two digits 11..88 without a 9, drawn anew for every text; the
// rest of the text is the XOR stream keyed with key base + prefix.
TEST(TCryptPrefix, DrawnPerTextWithinItsRange)
{
    const std::string plain = "secret";
    const TCrypt crypt;
    std::set<std::string> texts;
    std::set<int> prefixes;
    for (int i = 0; i < 200; ++i) {
        const std::string enciphered = crypt.EncryptText(plain);
        const std::string bytes = TextDecodeBlock(Alphabet(), enciphered);
        ASSERT_EQ(bytes.size(), plain.size() + 2);
        ASSERT_TRUE(bytes[0] >= '1' && bytes[0] <= '8') << bytes;
        ASSERT_TRUE(bytes[1] >= '0' && bytes[1] <= '8') << bytes;
        const int prefix = (bytes[0] - '0') * 10 + (bytes[1] - '0');
        ASSERT_GE(prefix, 11);
        EXPECT_EQ(bytes.substr(2), XorEncrypt(plain, static_cast<std::uint16_t>(27183 + prefix)));
        EXPECT_EQ(crypt.DecryptText(enciphered), plain);
        texts.insert(enciphered);
        prefixes.insert(prefix);
    }
    EXPECT_GT(texts.size(), 1u);
    EXPECT_GT(prefixes.size(), 1u);
}

TEST(TCryptDecrypt, MalformedTextsGiveEmptyText)
{
    const std::string xored = XorEncrypt("abc", 27183 + 5);
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"empty", ""},
        {"one character", "P"},
        {"two bytes only", "PFN)5"},
        {"spaces", "      "},
        {"quotes", "'''\"\"\""},
        {"control characters", "\r\n\t\x01\x02\x03"},
        {"outside the base-90 digits", "}}}~~~}~}"},
        {"bytes above ASCII", "\xff\xfe\xfd\xc4\xe3\xba\xc3"},
        {"thousands of non-digits", std::string(5000, '~')},
        {"prefix 05", TextEncodeBlock(Alphabet(), "05" + xored)},
        {"prefix 09", TextEncodeBlock(Alphabet(), "09" + XorEncrypt("abc", 27183 + 9))},
        {"prefix -1", TextEncodeBlock(Alphabet(), "-1" + xored)},
        {"prefix not a number", TextEncodeBlock(Alphabet(), "ab" + xored)},
        {"prefix of NULs", TextEncodeBlock(Alphabet(), std::string(2, '\0') + xored)},
    };
    const TCrypt crypt;
    for (const auto& [name, text] : cases) {
        EXPECT_EQ(crypt.DecryptText(text), "") << name;
        EXPECT_EQ(DecryptPassword(text), "") << name;
    }
}

// Texts of another writer may carry any prefix from 10 to 99, also those that
// this one never draws.
TEST(TCryptDecrypt, EveryPrefixFrom10To99Deciphers)
{
    const TCrypt crypt;
    for (int prefix : {10, 11, 19, 50, 88, 89, 90, 99}) {
        const std::string text =
            TextEncodeBlock(Alphabet(), std::to_string(prefix) +
                                            XorEncrypt("abc", static_cast<std::uint16_t>(27183 + prefix)));
        EXPECT_EQ(crypt.DecryptText(text), "abc") << prefix;
    }
}

TEST(TCryptDecrypt, GarbageNeverGrowsOrThrows)
{
    std::mt19937 generator(3);
    const TCrypt crypt;
    for (std::size_t length : {1u, 2u, 899u, 900u, 901u, 5000u}) {
        const std::string garbage = RandomBytes(generator, length);
        std::string bytes;
        EXPECT_NO_THROW(bytes = crypt.DecryptText(garbage));
        EXPECT_LE(bytes.size(), garbage.size());
    }
}

TEST(ConvertBase, Conversions)
{
    struct Case {
        std::string digits;
        int from;
        int to;
        std::string result;
    };
    const std::vector<Case> cases = {
        {"0970", 30, 90, "Pol"},
        {"Pol", 90, 30, "0970"},
        {" \t0970\r\n", 30, 90, "Pol"}, // spaces and control characters around are ignored
        {"", 30, 90, "!"},              // empty counts as zero
        {"!!!", 90, 30, "!"},           // zero is one digit
        {"~", 92, 10, ",#"},            // 91 in the alphabet's own base-10 digits
        {"|||||||||", 90, 90, "|||||||||"},
    };
    for (const Case& c : cases) {
        const auto result = ConvertBase(Alphabet(), c.digits, c.from, c.to);
        ASSERT_TRUE(result.has_value()) << c.digits;
        EXPECT_EQ(*result, c.result) << c.digits;
    }
}

TEST(ConvertBase, FailsForBadBasesCharactersAndOverflow)
{
    struct Case {
        const char* name;
        std::string digits;
        int from;
        int to;
    };
    const std::vector<Case> cases = {
        {"from base 1", "1", 1, 10},
        {"to base 1", "1", 10, 1},
        {"from base 0", "1", 0, 10},
        {"negative base", "1", -5, 10},
        {"from base 93", "1", 93, 10},
        {"to base 93", "1", 10, 93},
        {"'}' is no base-90 digit", "}", 90, 30},
        {"'A' is no base-30 digit", "A", 30, 90},
        {"inner space", "P l", 90, 30},
        {"quote", "'", 90, 30},
        {"beyond 64 bits", std::string(10, '|'), 90, 30},
    };
    for (const Case& c : cases)
        EXPECT_FALSE(ConvertBase(Alphabet(), c.digits, c.from, c.to).has_value()) << c.name;
}

TEST(IsNumberText, SignsOnlyFirst)
{
    for (const char* yes : {"", "0", "123", "+1", "-12", "+", "-"})
        EXPECT_TRUE(IsNumberText(yes)) << yes;
    for (const char* no : {"1-2", "12+", "++1", "a1", " 1", "!", "#!"})
        EXPECT_FALSE(IsNumberText(no)) << no;
}

TEST(Password, Utf8RoundTrips)
{
    const std::vector<std::string> passwords = {
        "", "a", "Passw0rd!Passw0rd!12", std::string(ByteRange(32, 126)), "密码", "管理员Admin123！", "?问号",
    };
    for (const std::string& password : passwords) {
        const std::string enciphered = EncryptPassword(password);
        ExpectStorable(enciphered);
        EXPECT_LE(enciphered.size(), MaxEncipheredPasswordChars);
        EXPECT_EQ(DecryptPassword(enciphered), password) << password;
    }
}

TEST(Password, LongestPasswordFitsTheColumn)
{
    // 55 Chinese characters (110 GBK bytes) and one letter: 111 bytes.
    std::string password;
    for (int i = 0; i < 55; ++i)
        password += "税";
    password += "a";
    ASSERT_EQ(Utf8ToHost(password).size(), MaxPasswordHostBytes);
    const std::string enciphered = EncryptPassword(password);
    EXPECT_LE(enciphered.size(), MaxEncipheredPasswordChars);
    EXPECT_EQ(DecryptPassword(enciphered), password);
}

// A longer password is cut before enciphering, at a character boundary, so
// the stored text still deciphers to exactly what was kept.
TEST(Password, LongerPasswordsAreCutToWhatFits)
{
    const std::string ascii(200, 'k');
    EXPECT_EQ(DecryptPassword(EncryptPassword(ascii)), std::string(MaxPasswordHostBytes, 'k'));

    std::string chinese;
    for (int i = 0; i < 60; ++i)
        chinese += "码";
    std::string kept;
    for (int i = 0; i < 55; ++i)
        kept += "码";
    const std::string enciphered = EncryptPassword(chinese);
    EXPECT_LE(enciphered.size(), MaxEncipheredPasswordChars);
    EXPECT_EQ(DecryptPassword(enciphered), kept);
}

// Deciphered bytes that are no GBK character come back as U+FFFD, never as a
// "?" that could be typed.
TEST(Password, BytesThatAreNoHostCharacterBecomeReplacementCharacters)
{
    struct Case {
        std::string bytes;
        std::string utf8;
    };
    const std::vector<Case> cases = {
        {"a\xff"
         "b",
         "a\xEF\xBF\xBD"
         "b"},
        {"ab\x81", "ab\xEF\xBF\xBD"},
        {"?\xff?", "?\xEF\xBF\xBD?"},
        {"\xc4\xe3\xff", "你\xEF\xBF\xBD"},
    };
    const TCrypt crypt;
    for (const Case& c : cases)
        EXPECT_EQ(DecryptPassword(crypt.EncryptText(c.bytes)), c.utf8);
}

// Only what the cipher gives back exactly as typed may be stored.
TEST(Password, StorableWhenItComesBackAsTyped)
{
    struct Case {
        std::string password;
        const char* refusal; // a word of the reason; nullptr: storable
    };
    std::string longestChinese;
    for (int i = 0; i < 55; ++i)
        longestChinese += "码";
    const std::vector<Case> cases = {
        {"", nullptr},
        {"pw 带空格?", nullptr},
        {std::string(MaxPasswordHostBytes, 'k'), nullptr},
        {longestChinese + "k", nullptr},
        {std::string(MaxPasswordHostBytes + 1, 'k'), "密码太长"},
        {longestChinese + "码", "密码太长"},
        {"\xF0\x9F\x98\x80uro", "代码页"}, // an emoji
        {"a\xEF\xBF\xBD"
         "b",
         "代码页"},         // the damage marker of DecryptPassword
        {"\xff", "代码页"}, // no UTF-8 at all
    };
    for (const Case& c : cases) {
        std::string reason = "unchanged";
        EXPECT_EQ(PasswordStorable(c.password, &reason), c.refusal == nullptr) << c.password;
        if (c.refusal) {
            EXPECT_NE(reason.find(c.refusal), std::string::npos) << reason;
        } else {
            EXPECT_EQ(reason, "");
            EXPECT_EQ(DecryptPassword(EncryptPassword(c.password)), c.password);
        }
    }
}

} // namespace
} // namespace priv
