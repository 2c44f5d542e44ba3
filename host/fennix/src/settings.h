// The host's settings files: INI files as the original desktop writes them
// (sections and keys compared without regard to ASCII case, values taken as
// written), UTF-8 encoded.
#pragma once

#include <string>

namespace fennix::detail {

// A path as the host and its modules write it ("AppComs\Main\UserConfig.ini",
// or GetAppPath() followed by such a text): backslashes become '/', and a
// relative path is taken from `appDir`.
std::string ResolveHostPath(const std::string& appDir, const std::string& path);

std::string ReadIniValue(const std::string& file, const std::string& section, const std::string& key,
                         const std::string& defaultValue);
// Creates the folder, file, section and key as needed and keeps every other
// line of the file. Refuses (false) names and values an INI line cannot hold:
// line breaks anywhere, ']' in a section, '=' in a key, empty names.
bool WriteIniValue(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value);

} // namespace fennix::detail
