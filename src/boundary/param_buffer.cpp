#include "boundary/param_buffer.h"

#include "boundary/codepage.h"
#include "boundary/param_string.h"

#include <privilege/privilege.h>

#include <cstring>

namespace priv {
namespace {

std::size_t HostSize(const std::string& utf8)
{
    return Utf8ToHost(utf8).size() + 1;
}

// Byte offsets at which a UTF-8 text may be cut without splitting a character.
std::size_t CharacterBoundaryBefore(const std::string& text, std::size_t pos)
{
    while (pos > 0 && pos < text.size() && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80)
        --pos;
    return pos;
}

} // namespace

std::size_t WritableBufferSize(const char* buffer)
{
    const std::size_t given = std::strlen(buffer) + 1;
    return given > PRIV_PARAM_BUFFER_SIZE ? given : PRIV_PARAM_BUFFER_SIZE;
}

std::optional<std::string> ReadParamBuffer(char** argv)
{
    if (!argv || !argv[0])
        return std::nullopt;
    return HostToUtf8(argv[0]);
}

bool WriteParamBuffer(char** argv, const std::string& params)
{
    if (!argv || !argv[0])
        return false;
    const std::string hostText = Utf8ToHost(params);
    if (hostText.size() + 1 > WritableBufferSize(argv[0]))
        return false;
    std::memcpy(argv[0], hostText.c_str(), hostText.size() + 1);
    return true;
}

std::optional<std::string> WithResultMessage(const std::string& params, const std::string& message,
                                             std::size_t capacity)
{
    const char* key = PRIV_KEY_RESULT_MESSAGE;
    std::string whole = SetParamValue(params, key, message);
    if (HostSize(whole) <= capacity)
        return whole;
    if (HostSize(SetParamValue(params, key, "")) > capacity)
        return std::nullopt;
    // Longest prefix of the message that still fits, found by halving.
    std::size_t fits = 0, tooLong = message.size();
    while (tooLong - fits > 1) {
        const std::size_t middle = CharacterBoundaryBefore(message, fits + (tooLong - fits) / 2);
        if (middle <= fits)
            break;
        if (HostSize(SetParamValue(params, key, message.substr(0, middle))) <= capacity)
            fits = middle;
        else
            tooLong = middle;
    }
    return SetParamValue(params, key, message.substr(0, fits));
}

} // namespace priv
