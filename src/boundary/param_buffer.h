// The edge where a host's parameter-string buffer (argv[0], in the host's
// code page) becomes the module's UTF-8 text and back.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace priv {

// A host buffer is PRIV_PARAM_BUFFER_SIZE bytes and no more may be assumed:
// the module reads at most that many bytes of it and writes at most that many,
// NUL included, whatever the host put there.

// The host's bytes before the NUL; nullopt for a null argv or argv[0], and
// for a buffer without a NUL in its first PRIV_PARAM_BUFFER_SIZE bytes (its
// end lies beyond what the module may read, so it is no parameter string).
std::optional<std::string> ReadHostParamBytes(char** argv);

// The buffer's text as UTF-8; nullopt where ReadHostParamBytes has none.
std::optional<std::string> ReadParamBuffer(char** argv);

// Writes UTF-8 `params` into argv[0] in the host code page when it fits
// (NUL included) in PRIV_PARAM_BUFFER_SIZE; answers whether it was written.
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
// PRIV_PARAM_BUFFER_SIZE; answers whether they were written.
bool WriteHostParamBuffer(char** argv, const std::string& hostBytes);

} // namespace priv
