// Quillet, the host's log library. Every module of the host writes its
// numbered lines here ("[70018504]取用户权限范围出错。"); one line of the file
// per call, so that support staff can read and grep the log of a workstation.
//
// Line layout (UTF-8, LF-terminated, fields separated by a tab):
//     yyyy-mm-dd hh:nn:ss <TAB> INFO|ERROR <TAB> flag <TAB> text
// The time is local time. Line breaks inside the text are written as the two
// characters "\n" (and "\r"), so that one call always stays one line.
#pragma once

#include <functional>
#include <string>

#if defined(QUILLET_BUILDING)
#define QUILLET_API __attribute__((visibility("default")))
#else
#define QUILLET_API
#endif

namespace quillet {

// The folder the log file lives in; created when the first line is written.
// Until a folder is set, lines go to standard error so that nothing is lost.
QUILLET_API void SetLogFolder(const std::string& folder);
QUILLET_API std::string LogFolder();
// "<folder>/privilege.log", or empty while no folder is set.
QUILLET_API std::string LogFilePath();

// Supplies the time stamp of each line ("yyyy-mm-dd hh:nn:ss"); the host
// passes its own clock so that a fixed clock also fixes the log. An empty
// function restores the real local time.
QUILLET_API void SetClock(std::function<std::string()> clock);

// Append one line. `flag` is the host's flag text ("0" or "1"). Returns false
// when the file could not be written (the line then goes to standard error).
QUILLET_API bool Info(const std::string& flag, const std::string& line);
QUILLET_API bool Error(const std::string& flag, const std::string& line);

} // namespace quillet
