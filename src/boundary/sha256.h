// SHA-256 of a byte string, for the chain of the operation log: each row's
// hash covers its content and the hash of the row before it. One
// implementation per platform, each on the system's own well-kept
// cryptography (OpenSSL's libcrypto on Linux, CNG's BCrypt on Windows).
#pragma once

#include <string>
#include <string_view>

namespace priv {

// The digest as 64 lower-case hexadecimal digits. Empty when the platform's
// library could not compute it (a caller must treat that as a failure, never
// as a hash).
std::string Sha256Hex(std::string_view bytes);

} // namespace priv
