#include "boundary/param_buffer.h"

#include "boundary/codepage.h"
#include "boundary/param_string.h"

#include <privilege/privilege.h>

#include <cstring>

namespace priv {
namespace {

// Byte offsets at which a UTF-8 text may be cut without splitting a character.
std::size_t CharacterBoundaryBefore(const std::string& text, std::size_t pos)
{
    while (pos > 0 && pos < text.size() && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80)
        --pos;
    return pos;
}

} // namespace

std::optional<std::string> ReadHostParamBytes(char** argv)
{
    if (!argv || !argv[0])
        return std::nullopt;
    // Byte by byte up to the bound: nothing past the NUL or the bound is
    // touched, however short the host's buffer really is.
    const char* buffer = argv[0];
    for (std::size_t length = 0; length < PRIV_PARAM_BUFFER_SIZE; ++length)
        if (buffer[length] == '\0')
            return std::string(buffer, length);
    return std::nullopt;
}

std::optional<std::string> ReadParamBuffer(char** argv)
{
    const std::optional<std::string> bytes = ReadHostParamBytes(argv);
    if (!bytes)
        return std::nullopt;
    return HostToUtf8(*bytes);
}

bool WriteParamBuffer(char** argv, const std::string& params)
{
    return WriteHostParamBuffer(argv, Utf8ToHost(params));
}

bool WriteHostParamBuffer(char** argv, const std::string& hostBytes)
{
    if (!argv || !argv[0])
        return false;
    if (hostBytes.size() + 1 > PRIV_PARAM_BUFFER_SIZE)
        return false;
    std::memcpy(argv[0], hostBytes.c_str(), hostBytes.size() + 1);
    return true;
}

std::optional<std::string> WithResultMessage(const std::string& hostParams, const std::string& message,
                                             std::size_t capacity)
{
    const char* key = PRIV_KEY_RESULT_MESSAGE;
    auto withPrefix = [&](std::size_t bytes) {
        return SetParamValue(hostParams, key, Utf8ToHost(message.substr(0, bytes)));
    };
    std::string whole = withPrefix(message.size());
    if (whole.size() + 1 <= capacity)
        return whole;
    if (withPrefix(0).size() + 1 > capacity)
        return std::nullopt;
    // Longest prefix of the message that still fits, found by halving.
    std::size_t fits = 0, tooLong = message.size();
    while (tooLong - fits > 1) {
        const std::size_t middle = CharacterBoundaryBefore(message, fits + (tooLong - fits) / 2);
        if (middle <= fits)
            break;
        if (withPrefix(middle).size() + 1 <= capacity)
            fits = middle;
        else
            tooLong = middle;
    }
    return withPrefix(fits);
}

} // namespace priv
