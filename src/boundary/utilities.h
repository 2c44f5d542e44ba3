// Small stateless helpers shared across the module: built-in posts, SQL
// quoting, the operator dialog's text checks, the per-user file and the
// host's main frame.
#pragma once

#include "boundary/builtin_posts.h"
#include "boundary/host.h"

#include <string>
#include <string_view>

namespace priv {

// Built-in posts; codes are compared exactly.
bool IsSuperAdmin(std::string_view code);
bool IsSystemPost(std::string_view code);
bool IsBusinessPost(std::string_view code);
// The name shown for a post: the built-in posts' own names, else the stored one.
std::string PostDisplayName(std::string_view code, std::string_view storedName);

// Doubles every single quote, so the text can stand between quotes in SQL.
std::string QuoteSqlText(const std::string& text);

bool IsValidPhone(std::string_view text);
bool IsValidEmail(std::string_view text);

// Piece `index` (from 0) of `text` cut at every `separator`; empty when missing.
std::string GetTextField(std::string_view text, int index, std::string_view separator);

// The per-user file remembering the last operator who signed in.
inline constexpr const char* kUserConfigFile = "AppComs\\Main\\UserConfig.ini";
inline constexpr const char* kUserConfigSection = "SysCofig";
inline constexpr const char* kPrevOperatorKey = "PrevOperatorID";

std::string UserConfigPath();
// "PrevOperatorID" of the per-user file; "admin" when the file or key is missing.
std::string ReadPrevOperator();
bool WritePrevOperator(const std::string& operatorCode);
bool WriteUserConfig(const std::string& section, const std::string& key, const std::string& value);

// The host main frame's own sub-application and product codes; empty without one.
std::string MainSubAppCode();
std::string MainProductCode();

// The buffer handed to a host function: 499 bytes of text and the NUL.
inline constexpr std::size_t kHostFunctionBufferSize = 500;

// Runs a host function with a parameter string; the host may write results
// back into it. Returns what the host answered.
bool OpenHostFunction(HostHandle owner, const std::string& functionCode, std::string& params);

} // namespace priv
