#include "cipher/crypt.h"

#include "boundary/codepage.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <limits>
#include <random>

namespace priv {
namespace {

static_assert(EncipheredLength(MaxPasswordHostBytes) <= MaxEncipheredPasswordChars &&
                  EncipheredLength(MaxPasswordHostBytes + 1) > MaxEncipheredPasswordChars,
              "MaxPasswordHostBytes must be the longest password whose enciphered text fits the column");
static_assert(EncipheredLength(TCrypt::PlainBlockBytes - 2) == TCrypt::EncipheredBlockChars,
              "a full plain block must give a full enciphered block");

constexpr int DigitBase = 30; // base of the digit groups (decimal digits are 13..22)
constexpr int TextBase = 90;  // base of the enciphered characters
constexpr std::size_t MaxPasswordHostBytesOut = 255;
constexpr const char* ReplacementCharacter = "\xEF\xBF\xBD"; // U+FFFD in UTF-8

bool IsSpaceOrControl(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

std::string_view TrimView(std::string_view text)
{
    while (!text.empty() && IsSpaceOrControl(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsSpaceOrControl(text.back()))
        text.remove_suffix(1);
    return text;
}

// Value of a text that IsNumberText accepts; a lone sign counts as 0.
int NumberTextValue(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int value = 0;
    for (char c : text) {
        if (value > (std::numeric_limits<int>::max() - 9) / 10)
            return 0; // never reached by the short groups of the text layer
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

// The prefix generator is initialised once per thread from the system's
// entropy source; reinitialising it from the clock on every call would give
// the same prefix to passwords enciphered within one clock tick.
std::mt19937& PrefixGenerator()
{
    thread_local std::mt19937 generator = [] {
        std::mt19937::result_type initial;
        try {
            initial = std::random_device{}();
        } catch (...) {
            // No entropy source: the clock still gives different prefixes over time.
            initial = static_cast<std::mt19937::result_type>(
                std::chrono::steady_clock::now().time_since_epoch().count());
        }
        return std::mt19937(initial);
    }();
    return generator;
}

// Two digits 11..88, neither of them 9.
int DrawPrefix()
{
    std::uniform_int_distribution<int> digit(0, 8);
    int prefix = 0;
    do {
        const int tens = digit(PrefixGenerator());
        const int units = digit(PrefixGenerator());
        prefix = 10 * tens + units;
    } while (prefix <= 10);
    return prefix;
}

// Host code-page bytes to UTF-8, with every byte that does not belong to a
// character of the code page replaced by U+FFFD rather than the "?" a user
// could type.
std::string HostBytesToUtf8Marked(std::string_view bytes)
{
    return HostToUtf8(bytes, ReplacementCharacter);
}

// The key advances with the enciphered byte, modulo 65536 (computed in 32
// bits so that nothing overflows a signed int on the way).
std::uint16_t NextKey(std::uint8_t enciphered, std::uint16_t key, std::uint16_t multiplier,
                      std::uint16_t increment)
{
    const std::uint32_t sum = std::uint32_t{enciphered} + key;
    return static_cast<std::uint16_t>(sum * multiplier + increment);
}

// Where each character stands among the first `base` characters of an
// alphabet (-1: not a digit there), so that a block reads its digits without
// searching the alphabet for every one.
class DigitValues {
public:
    DigitValues(std::string_view alphabet, int base)
    {
        values_.fill(-1);
        // The first occurrence counts, as a search from the front finds it.
        for (std::size_t i = static_cast<std::size_t>(base); i-- > 0;)
            values_[static_cast<unsigned char>(alphabet[i])] = static_cast<std::int16_t>(i);
    }
    int Of(char c) const { return values_[static_cast<unsigned char>(c)]; }

private:
    std::array<std::int16_t, 256> values_;
};

// ConvertBase's rewriting with the bases already checked against the
// alphabet: appends the digits to `out`, or nothing and false for what
// ConvertBase refuses.
bool AppendInBase(const DigitValues& fromValues, std::string_view alphabet, std::string_view digits,
                  int fromBase, int toBase, std::string& out)
{
    const auto from = static_cast<std::uint64_t>(fromBase);
    constexpr std::uint64_t Max = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t value = 0;
    for (char c : TrimView(digits)) {
        const int digit = fromValues.Of(c);
        if (digit < 0)
            return false;
        const auto d = static_cast<std::uint64_t>(digit);
        if (value > (Max - d) / from)
            return false;
        value = value * from + d;
    }

    const auto to = static_cast<std::uint64_t>(toBase);
    char reversed[64]; // 64 bits need at most 64 digits of base 2
    std::size_t count = 0;
    do {
        reversed[count++] = alphabet[static_cast<std::size_t>(value % to)];
        value /= to;
    } while (value != 0);
    while (count > 0)
        out.push_back(reversed[--count]);
    return true;
}

bool BasesFit(std::string_view alphabet, int fromBase, int toBase)
{
    return fromBase >= 2 && toBase >= 2 && static_cast<std::size_t>(fromBase) <= alphabet.size() &&
           static_cast<std::size_t>(toBase) <= alphabet.size();
}

} // namespace

TCrypt::TCrypt() : FAlphabet(&CipherAlphabet()) {}

std::string TCrypt::EncryptText(std::string_view plain) const
{
    const int prefix = DrawPrefix();
    std::string text;
    text.reserve(plain.size() + 2);
    text.push_back(static_cast<char>('0' + prefix / 10));
    text.push_back(static_cast<char>('0' + prefix % 10));
    text += XorEncrypt(plain, static_cast<std::uint16_t>(FKeyBase + prefix), FMultiplier, FIncrement);

    std::string enciphered;
    enciphered.reserve(EncipheredLength(plain.size()));
    const std::string_view all(text);
    for (std::size_t pos = 0; pos < all.size(); pos += PlainBlockBytes)
        enciphered += TextEncodeBlock(*FAlphabet, all.substr(pos, PlainBlockBytes));
    return enciphered;
}

std::string TCrypt::DecryptText(std::string_view enciphered) const
{
    std::string bytes;
    for (std::size_t pos = 0; pos < enciphered.size(); pos += EncipheredBlockChars)
        bytes += TextDecodeBlock(*FAlphabet, enciphered.substr(pos, EncipheredBlockChars));
    if (bytes.size() < 3)
        return {};

    const std::string_view prefixText = std::string_view(bytes).substr(0, 2);
    const int prefix = IsNumberText(prefixText) ? NumberTextValue(prefixText) : 0;
    if (prefix < 10 || prefix > 99)
        return {};
    return XorDecrypt(std::string_view(bytes).substr(2), static_cast<std::uint16_t>(FKeyBase + prefix),
                      FMultiplier, FIncrement);
}

const std::string& CipherAlphabet()
{
    // Every password read or written builds a TCrypt; the alphabet is the
    // same for all of them.
    static const std::string alphabet = BuildCipherAlphabet();
    return alphabet;
}

std::string BuildCipherAlphabet()
{
    std::string alphabet;
    for (char c = ' '; c <= '~'; ++c)
        if (c != ' ' && c != '"' && c != '\'')
            alphabet.push_back(c);
    return alphabet;
}

std::string XorEncrypt(std::string_view bytes, std::uint16_t key, std::uint16_t multiplier,
                       std::uint16_t increment)
{
    std::string out(bytes.size(), '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto enciphered = static_cast<std::uint8_t>(static_cast<std::uint8_t>(bytes[i]) ^ (key >> 8));
        out[i] = static_cast<char>(enciphered);
        key = NextKey(enciphered, key, multiplier, increment);
    }
    return out;
}

std::string XorDecrypt(std::string_view bytes, std::uint16_t key, std::uint16_t multiplier,
                       std::uint16_t increment)
{
    std::string out(bytes.size(), '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto enciphered = static_cast<std::uint8_t>(bytes[i]);
        out[i] = static_cast<char>(enciphered ^ (key >> 8));
        key = NextKey(enciphered, key, multiplier, increment);
    }
    return out;
}

std::string TextDigits(std::string_view bytes)
{
    std::string digits;
    digits.reserve(3 * bytes.size());
    for (char c : bytes) {
        const unsigned value = static_cast<unsigned char>(c);
        digits.push_back(static_cast<char>('0' + value / 100));
        digits.push_back(static_cast<char>('0' + value / 10 % 10));
        digits.push_back(static_cast<char>('0' + value % 10));
    }
    return digits;
}

std::vector<std::string> TextDigitGroups(std::string_view digits)
{
    constexpr std::size_t Size = TCrypt::DigitGroupSize;
    std::vector<std::string> groups;
    groups.reserve(digits.size() / Size + 1);
    // [lo, hi) is what is left; the front and the back take turns.
    std::size_t lo = 0;
    std::size_t hi = digits.size();
    bool frontTurn = true;
    while (lo < hi) {
        if (hi - lo <= Size) {
            groups.emplace_back(digits.substr(lo, hi - lo));
            break;
        }
        if (frontTurn) {
            groups.emplace_back(digits.substr(lo, Size));
            lo += Size;
        } else {
            groups.emplace_back(digits.substr(hi - Size, Size));
            hi -= Size;
        }
        frontTurn = !frontTurn;
    }
    return groups;
}

std::string TextEncodeBlock(std::string_view alphabet, std::string_view bytes)
{
    if (!BasesFit(alphabet, DigitBase, TextBase))
        return {};
    const DigitValues digitValues(alphabet, DigitBase);
    std::string text;
    text.reserve(EncipheredLength(bytes.size()));
    for (const std::string& group : TextDigitGroups(TextDigits(bytes)))
        AppendInBase(digitValues, alphabet, group, DigitBase, TextBase, text);
    return text;
}

std::string TextDecodeBlock(std::string_view alphabet, std::string_view text)
{
    if (!BasesFit(alphabet, TextBase, DigitBase))
        return {};
    const DigitValues textValues(alphabet, TextBase);
    // Groups were written front, back, front, back...: odd ones rebuild the
    // front of the digit string in order, even ones the back from its end.
    std::string digits;
    std::string backDigits;
    std::vector<std::size_t> backGroupEnds;
    digits.reserve(text.size() * 2);
    std::size_t index = 0;
    for (std::size_t pos = 0; pos < text.size(); pos += TCrypt::CharGroupSize, ++index) {
        const std::string_view group = text.substr(pos, TCrypt::CharGroupSize);
        // A damaged group vanishes, its turn is still used.
        if (index % 2 == 0)
            AppendInBase(textValues, alphabet, group, TextBase, DigitBase, digits);
        else if (AppendInBase(textValues, alphabet, group, TextBase, DigitBase, backDigits))
            backGroupEnds.push_back(backDigits.size());
    }
    for (std::size_t i = backGroupEnds.size(); i-- > 0;) {
        const std::size_t start = i > 0 ? backGroupEnds[i - 1] : 0;
        digits.append(backDigits, start, backGroupEnds[i] - start);
    }

    std::string bytes;
    bytes.reserve(digits.size() / 3 + 1);
    const std::string_view all(digits);
    // Three digits per byte; a last group of two still counts, a single
    // trailing digit is dropped.
    for (std::size_t pos = 0; pos + 2 <= all.size(); pos += 3) {
        const std::string_view group = all.substr(pos, 3);
        const int value = IsNumberText(group) ? NumberTextValue(group) : 0;
        // A signed group such as "-12" keeps its low byte.
        bytes.push_back(static_cast<char>(static_cast<std::uint8_t>(((value % 256) + 256) % 256)));
    }
    return bytes;
}

std::optional<std::string> ConvertBase(std::string_view alphabet, std::string_view digits, int fromBase,
                                       int toBase)
{
    if (!BasesFit(alphabet, fromBase, toBase))
        return std::nullopt;
    std::string out;
    if (!AppendInBase(DigitValues(alphabet, fromBase), alphabet, digits, fromBase, toBase, out))
        return std::nullopt;
    return out;
}

bool IsNumberText(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9')
            continue;
        if ((c == '+' || c == '-') && i == 0)
            continue;
        return false;
    }
    return true;
}

bool FitsHostCodePage(const std::string& utf8)
{
    // The conversion puts "?" for what the code page lacks, so the text
    // survives the round trip exactly when every character exists there.
    return HostToUtf8(Utf8ToHost(utf8)) == utf8;
}

bool PasswordStorable(const std::string& utf8, std::string* reason)
{
    std::string why;
    if (!FitsHostCodePage(utf8))
        why = "密码中含有当前代码页（" + HostCodePage() + "）无法保存的字符，请改用其他字符。";
    else if (Utf8ToHost(utf8).size() > MaxPasswordHostBytes)
        why = "密码太长：最多 " + std::to_string(MaxPasswordHostBytes) +
              " 个字节（字母、数字每个 1 字节，汉字每个 2 字节）。";
    if (reason)
        *reason = why;
    return why.empty();
}

std::string EncryptPassword(const std::string& utf8Plain)
{
    const std::string hostBytes = Utf8ToHost(CutToHostBytes(utf8Plain, MaxPasswordHostBytes));
    const TCrypt crypt;
    return crypt.EncryptText(hostBytes);
}

std::string DecryptPassword(const std::string& enciphered)
{
    const TCrypt crypt;
    const std::string hostBytes =
        crypt.DecryptText(std::string_view(enciphered).substr(0, MaxEncipheredPasswordChars));
    std::string utf8 = HostBytesToUtf8Marked(hostBytes);
    // Converted back, the text takes no more host bytes than it came from
    // (a byte that starts no character comes back as one "?"), so only a
    // longer text needs measuring.
    if (hostBytes.size() <= MaxPasswordHostBytesOut)
        return utf8;
    return CutToHostBytes(utf8, MaxPasswordHostBytesOut);
}

} // namespace priv
