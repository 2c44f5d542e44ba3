// The edge where a host's parameter-string buffer (argv[0], in the host's
// code page) becomes the module's UTF-8 text and back.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace priv {

// What the module may write into a host buffer: the documented minimum
// buffer size, or the length of what the host itself put there when longer.
std::size_t WritableBufferSize(const char* buffer);

// The buffer's text as UTF-8; nullopt for a null argv or argv[0].
std::optional<std::string> ReadParamBuffer(char** argv);

// Writes UTF-8 `params` into argv[0] in the host code page when it fits
// (NUL included) in WritableBufferSize; answers whether it was written.
bool WriteParamBuffer(char** argv, const std::string& params);

// The host's own bytes `hostParams` with "ResultMsgStr" set to `message`
// (UTF-8, written in the host code page), the message shortened at a
// character boundary as far as needed for the result to fit `capacity` bytes
// (NUL included). Every other item keeps its bytes exactly, also bytes that
// are no character of the code page (user-defined areas, stray bytes): the
// separators ";" and "=" never occur inside a double-byte character, so the
// items can be cut without reading them. nullopt when even an empty message
// does not fit.
std::optional<std::string> WithResultMessage(const std::string& hostParams, const std::string& message,
                                             std::size_t capacity);

// Copies host code-page bytes into argv[0] when they fit (NUL included) in
// WritableBufferSize; answers whether they were written.
bool WriteHostParamBuffer(char** argv, const std::string& hostBytes);

} // namespace priv
