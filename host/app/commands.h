// The host application's commands. Each returns the process exit status.
#pragma once

#include "app_options.h"

#include <string>

namespace privhost {

int RunInit(const AppOptions& options);
int RunCall(const AppOptions& options);
int RunPasswd(const AppOptions& options);
int RunAudit(const AppOptions& options);
int RunDesktop(const AppOptions& options);
int RunExport(const AppOptions& options);
int RunImport(const AppOptions& options);
int RunCopy(const AppOptions& options);

// Exit statuses shared by the commands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFalse = 1;
inline constexpr int kExitSetup = 2;

// The runtime folder Qt wants, private to this user; empty when none could
// be made.
std::string PrivateRuntimeFolder();

// Opens the host framework on the options' database; prints why not.
bool OpenHost(const AppOptions& options, bool mustExist);

} // namespace privhost
