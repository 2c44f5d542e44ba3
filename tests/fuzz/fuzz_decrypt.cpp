// libFuzzer target: any stored text, however damaged, deciphers without
// crashing, reading out of bounds or throwing, and whatever it deciphers to
// survives being enciphered and deciphered again.
#include "cipher/crypt.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const priv::TCrypt crypt;

    const std::string plain = crypt.DecryptText(text);
    if (plain.size() > size)
        std::abort();
    if (crypt.DecryptText(crypt.EncryptText(plain)) != plain)
        std::abort();

    // The wrappers the module calls, with the host code-page conversion.
    const std::string password = priv::DecryptPassword(std::string(text));
    if (priv::EncryptPassword(password).size() > priv::MaxEncipheredPasswordChars)
        std::abort();

    // The pure steps on their own.
    (void)priv::TextDecodeBlock(crypt.Alphabet(), text.substr(0, priv::TCrypt::EncipheredBlockChars));
    if (size >= 2)
        (void)priv::ConvertBase(crypt.Alphabet(), text.substr(2), data[0] % 100, data[1] % 100);
    return 0;
}
