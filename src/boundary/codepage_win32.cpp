// Code-page conversion through the Win32 national-language functions
// (MultiByteToWideChar / WideCharToMultiByte), with the same rules as the
// iconv build: a character the code page lacks becomes one "?" (never a
// "best fit" look-alike), a byte that starts no character becomes the
// caller's replacement.
#include "boundary/codepage_backend.h"

#include <windows.h>

#include <cctype>
#include <charconv>
#include <cstring>
#include <vector>

namespace priv::codepage {
namespace {

constexpr UINT kUnknownCodePage = 0;

std::string Upper(std::string_view text)
{
    std::string upper(text);
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

// The Windows code page behind an iconv-style name: "GBK" and its aliases
// are 936, "CPnnn", "WINDOWS-nnn" and a bare number name a page directly.
UINT CodePageNumber(const std::string& name)
{
    std::string upper = Upper(name);
    if (upper == "GBK" || upper == "GB2312" || upper == "MS936")
        return 936;
    if (upper == "UTF-8" || upper == "UTF8")
        return CP_UTF8;
    for (std::string_view prefix : {"CP", "WINDOWS-"}) {
        if (upper.rfind(prefix, 0) == 0) {
            upper.erase(0, prefix.size());
            break;
        }
    }
    UINT number = 0;
    const auto [end, error] = std::from_chars(upper.data(), upper.data() + upper.size(), number);
    if (error != std::errc() || end != upper.data() + upper.size() || !IsValidCodePage(number))
        return kUnknownCodePage;
    return number;
}

// The last name looked up and its page, per thread. Plain arrays: a
// thread-local object with a destructor would tie the DLL to its threads.
UINT CachedCodePageNumber(const std::string& name)
{
    thread_local char cachedName[32] = {};
    thread_local UINT cachedNumber = kUnknownCodePage;
    if (cachedNumber != kUnknownCodePage && name == cachedName)
        return cachedNumber;
    const UINT number = CodePageNumber(name);
    if (number != kUnknownCodePage && name.size() < sizeof cachedName) {
        std::memcpy(cachedName, name.c_str(), name.size() + 1);
        cachedNumber = number;
    }
    return number;
}

std::u16string Utf16FromValidUtf8(std::string_view utf8)
{
    std::u16string wide;
    wide.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[pos]);
        const std::size_t length = Utf8Length(lead);
        char32_t value = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t i = 1; i < length; ++i)
            value = (value << 6) | (static_cast<unsigned char>(utf8[pos + i]) & 0x3F);
        if (value >= 0x10000) {
            value -= 0x10000;
            wide.push_back(static_cast<char16_t>(0xD800 + (value >> 10)));
            wide.push_back(static_cast<char16_t>(0xDC00 + (value & 0x3FF)));
        } else {
            wide.push_back(static_cast<char16_t>(value));
        }
        pos += length;
    }
    return wide;
}

void AppendUtf8FromUtf16(const wchar_t* wide, int count, std::string& out)
{
    for (int i = 0; i < count; ++i) {
        char32_t c = static_cast<char16_t>(wide[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count) {
            const char32_t low = static_cast<char16_t>(wide[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        AppendUtf8(c, out);
    }
}

// Converts UTF-16 to the code page; false when a character had no form of
// its own there (it would have become the default character).
bool EncodeExactly(UINT codePage, const wchar_t* wide, int count, std::string& out)
{
    BOOL usedDefault = FALSE;
    const int size =
        WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, count, nullptr, 0, "?", &usedDefault);
    if (size <= 0 || usedDefault)
        return false;
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(size));
    WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, count, out.data() + start, size, "?", nullptr);
    return true;
}

// Converts code-page bytes to UTF-16; false when any byte starts no character.
bool DecodeExactly(UINT codePage, const char* bytes, int count, std::vector<wchar_t>& wide)
{
    const int size = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes, count, nullptr, 0);
    if (size <= 0)
        return false;
    wide.resize(static_cast<std::size_t>(size));
    return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes, count, wide.data(), size) == size;
}

} // namespace

void AppendHostForm(std::string_view validUtf8, const std::string& codePage, std::string& out)
{
    const UINT number = CachedCodePageNumber(codePage);
    if (number == kUnknownCodePage || number == CP_UTF8) {
        out.append(validUtf8);
        return;
    }
    const std::u16string wide16 = Utf16FromValidUtf8(validUtf8);
    const auto* wide = reinterpret_cast<const wchar_t*>(wide16.data());
    const int count = static_cast<int>(wide16.size());
    if (EncodeExactly(number, wide, count, out))
        return;
    // Some character has no form here: go character by character so that each
    // such character (a surrogate pair included) becomes exactly one "?".
    for (int i = 0; i < count;) {
        const bool pair = wide16[i] >= 0xD800 && wide16[i] <= 0xDBFF && i + 1 < count;
        const int length = pair ? 2 : 1;
        if (!EncodeExactly(number, wide + i, length, out))
            out.push_back('?');
        i += length;
    }
}

std::size_t FittingPrefix(std::string_view validUtf8, const std::string& codePage, std::size_t maxBytes,
                          std::size_t& hostBytes)
{
    std::string form;
    return MeasureFittingPrefix(validUtf8, maxBytes, hostBytes, [&](std::string_view character) {
        form.clear();
        AppendHostForm(character, codePage, form);
        return form.size();
    });
}

void AppendUtf8Form(std::string_view hostBytes, const std::string& codePage, std::string_view replacement,
                    std::string& out)
{
    const UINT number = CachedCodePageNumber(codePage);
    if (number == kUnknownCodePage || number == CP_UTF8 || hostBytes.empty()) {
        out.append(hostBytes);
        return;
    }
    std::vector<wchar_t> wide;
    if (DecodeExactly(number, hostBytes.data(), static_cast<int>(hostBytes.size()), wide)) {
        AppendUtf8FromUtf16(wide.data(), static_cast<int>(wide.size()), out);
        return;
    }
    // A byte that starts no character: go character by character, take a lead
    // byte with its trail byte, and on failure replace one byte and go on.
    for (std::size_t pos = 0; pos < hostBytes.size();) {
        const auto byte = static_cast<BYTE>(hostBytes[pos]);
        const std::size_t length = IsDBCSLeadByteEx(number, byte) && pos + 1 < hostBytes.size() ? 2 : 1;
        if (DecodeExactly(number, hostBytes.data() + pos, static_cast<int>(length), wide)) {
            AppendUtf8FromUtf16(wide.data(), static_cast<int>(wide.size()), out);
            pos += length;
        } else {
            out.append(replacement);
            pos += 1;
        }
    }
}

} // namespace priv::codepage
