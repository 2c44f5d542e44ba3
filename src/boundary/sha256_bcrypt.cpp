// SHA-256 through Windows' Cryptography API: Next Generation (bcrypt.dll, a
// system library on every supported Windows).
#include "boundary/sha256.h"

#include <windows.h>

#include <bcrypt.h>

#include <limits>

namespace priv {
namespace {

bool Succeeded(NTSTATUS status)
{
    return status >= 0;
}

} // namespace

std::string Sha256Hex(std::string_view bytes)
{
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!Succeeded(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
        return {};
    unsigned char digest[32];
    bool ok = false;
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (Succeeded(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0))) {
        ok = true;
        // BCryptHashData takes at most 4 GiB at a time.
        std::string_view rest = bytes;
        while (ok && !rest.empty()) {
            const std::size_t piece = rest.size() < std::numeric_limits<ULONG>::max()
                                          ? rest.size()
                                          : std::numeric_limits<ULONG>::max();
            ok = Succeeded(BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(rest.data())),
                                          static_cast<ULONG>(piece), 0));
            rest.remove_prefix(piece);
        }
        ok = ok && Succeeded(BCryptFinishHash(hash, digest, sizeof digest, 0));
        BCryptDestroyHash(hash);
    }
    BCryptCloseAlgorithmProvider(algorithm, 0);
    if (!ok)
        return {};
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(64);
    for (unsigned char byte : digest) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0x0f];
    }
    return hex;
}

} // namespace priv
