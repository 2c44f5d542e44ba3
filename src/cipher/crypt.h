// The password cipher. Operator passwords live in the operator table's "PWD"
// column in enciphered form: a 16-bit autokey XOR stream over the password's
// host code-page bytes, keyed by a fixed key base plus a random two-digit
// prefix that travels with the text, and a text layer that rewrites the bytes
// as printable characters (three decimal digits per byte, regrouped and
// written in base 90). The text holds no space, quote or control character,
// so it can be stored in a text column and placed between single quotes in SQL.
//
// The format must stay exactly as it is: passwords written by existing
// installations have to keep deciphering.
//
// Plain C++ only: no toolkit header here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace priv {

class TCrypt {
public:
    static constexpr std::uint16_t DefaultKeyBase = 27183;
    // The two constants of the classic 16-bit autokey XOR stream.
    static constexpr std::uint16_t DefaultMultiplier = 52845;
    static constexpr std::uint16_t DefaultIncrement = 22719;

    // Plain bytes are enciphered in blocks of this size; each full block
    // becomes exactly EncipheredBlockChars characters, which keeps every base
    // conversion within 64-bit integers.
    static constexpr std::size_t PlainBlockBytes = 400;
    static constexpr std::size_t EncipheredBlockChars = 900;
    static constexpr std::size_t DigitGroupSize = 4;
    static constexpr std::size_t CharGroupSize = 3;

    TCrypt();

    // Byte strings in, byte strings out (the host code-page bytes of a
    // password). Every call draws a new prefix, so the same plain text gives
    // different enciphered texts.
    std::string EncryptText(std::string_view plain) const;
    // Never throws and never fails loudly: text that cannot be deciphered
    // (too short, bad prefix) gives empty text; damaged characters give the
    // bytes the decoding rules make of them.
    std::string DecryptText(std::string_view enciphered) const;

    const std::string& Alphabet() const { return *FAlphabet; }
    std::uint16_t KeyBase() const { return FKeyBase; }
    std::uint16_t Multiplier() const { return FMultiplier; }
    std::uint16_t Increment() const { return FIncrement; }
    // Progress reporting to a window is never switched on in this module; the
    // fields are kept so that the class reads as it always has.
    bool Notify() const { return FNotify; }
    std::uintptr_t NotifyWindow() const { return FNotifyWindow; }

private:
    bool FNotify = false;
    const std::string* FAlphabet;
    std::uintptr_t FNotifyWindow = 0;
    std::uint16_t FKeyBase = DefaultKeyBase;
    std::uint16_t FMultiplier = DefaultMultiplier;
    std::uint16_t FIncrement = DefaultIncrement;
};

// The printable ASCII characters 33..126 without the two quotes: 92
// characters. Its first 30 characters are the digits of base 30 (so the
// decimal digits '0'..'9' stand for 13..22), its first 90 the digits of base 90.
std::string BuildCipherAlphabet();
// The alphabet built once.
const std::string& CipherAlphabet();

// 16-bit autokey XOR stream. The key advances with the enciphered byte in both
// directions, so XorDecrypt with the same starting key inverts XorEncrypt. The
// output always has the input's length.
std::string XorEncrypt(std::string_view bytes, std::uint16_t key,
                       std::uint16_t multiplier = TCrypt::DefaultMultiplier,
                       std::uint16_t increment = TCrypt::DefaultIncrement);
std::string XorDecrypt(std::string_view bytes, std::uint16_t key,
                       std::uint16_t multiplier = TCrypt::DefaultMultiplier,
                       std::uint16_t increment = TCrypt::DefaultIncrement);

// The decimal digit string of a block: every byte as exactly three digits.
std::string TextDigits(std::string_view bytes);
// The digit groups in the order the text layer writes them: 4 digits
// alternately from the front and from the back, the rest in the middle last.
std::vector<std::string> TextDigitGroups(std::string_view digits);

// One block of the text layer (at most PlainBlockBytes bytes /
// EncipheredBlockChars characters).
std::string TextEncodeBlock(std::string_view alphabet, std::string_view bytes);
std::string TextDecodeBlock(std::string_view alphabet, std::string_view text);

// Rewrites `digits` (base `fromBase`, digits taken from the front of
// `alphabet`) in base `toBase`, most significant digit first; zero is one
// digit. Leading and trailing spaces and control characters are ignored and an
// empty text counts as zero. Empty optional when a base lies outside
// 2..alphabet size, when a character is not a digit of `fromBase`, or when the
// value does not fit in 64 bits.
std::optional<std::string> ConvertBase(std::string_view alphabet, std::string_view digits, int fromBase,
                                       int toBase);

// True when every character is a decimal digit or a sign, and a sign occurs
// only first. The empty text counts as a number.
bool IsNumberText(std::string_view text);

// Number of characters EncryptText gives for a plain text of `plainBytes`
// bytes: the two prefix digits are enciphered with it, every full block gives
// EncipheredBlockChars characters, and the last block's D digits give
// 3 * (D / 4) + D % 4 characters.
constexpr std::size_t EncipheredLength(std::size_t plainBytes)
{
    const std::size_t bytes = plainBytes + 2;
    const std::size_t lastDigits = 3 * (bytes % TCrypt::PlainBlockBytes);
    return bytes / TCrypt::PlainBlockBytes * TCrypt::EncipheredBlockChars +
           TCrypt::CharGroupSize * (lastDigits / TCrypt::DigitGroupSize) +
           lastDigits % TCrypt::DigitGroupSize;
}

// The operator table holds at most this many characters of enciphered text.
inline constexpr std::size_t MaxEncipheredPasswordChars = 255;
// The longest password, in host code-page bytes, whose enciphered text fits in
// MaxEncipheredPasswordChars. Cutting the enciphered text instead would drop
// digit groups from the middle of the password and store text that no longer
// deciphers to it.
inline constexpr std::size_t MaxPasswordHostBytes = 111;

// Whether every character of a UTF-8 text exists in the host code page, so
// that the cipher's bytes give back exactly what was typed. A character
// outside it would be stored as "?" and the password could never be typed.
bool FitsHostCodePage(const std::string& utf8);

// Whether a new password can be stored so that the operator signs in with
// exactly what he set: every character in the host code page, and at most
// MaxPasswordHostBytes host bytes. When it cannot, `reason` (when given)
// receives the text to show. Every way of setting a password asks this first.
bool PasswordStorable(const std::string& utf8, std::string* reason = nullptr);

// What the rest of the module calls. Both take and give UTF-8 and work on the
// host code-page (GBK) bytes, so that passwords stored by existing
// installations keep working.
//
// EncryptPassword cuts the password to MaxPasswordHostBytes host bytes,
// never splitting a character, so the stored text always deciphers to what was
// kept; the result has at most MaxEncipheredPasswordChars characters.
std::string EncryptPassword(const std::string& utf8Plain);

// DecryptPassword reads at most MaxEncipheredPasswordChars characters and gives
// at most 255 host bytes of text. Empty text when the stored text cannot be
// deciphered. Deciphered bytes that are not a character of the host code page
// (a damaged stored text) each become U+FFFD, the replacement character: no
// keyboard produces it, so a damaged password cannot be matched by typing "?",
// and the administration windows show the damage instead of hiding it.
std::string DecryptPassword(const std::string& enciphered);

} // namespace priv
