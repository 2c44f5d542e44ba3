// The host application's global options and where its files live.
#pragma once

#include <fennix/fennix.h>

#include <string>
#include <vector>

namespace privhost {

struct AppOptions {
    std::string databaseUrl; // empty: sqlite:<appDir>/data/privilege.db
    std::string appDir;      // empty: DefaultAppDir()
    std::string appsFile;    // empty: <appDir>/apps.json
    std::string companyId;
    std::string versionType;
    bool agency = false;
    // Desktop host only: sign in without the login window.
    std::string signInCode;
    std::string signInPassword;
    bool hasSignInPassword = false;
    std::string command;           // empty: the desktop host
    std::vector<std::string> args; // the command's own arguments
};

// Parses argv; on a usage error returns false with a message.
bool ParseOptions(int argc, char** argv, AppOptions& options, std::string& error);

// The folder of the running executable.
std::string ExecutableDir();
// True when privhost runs where the build put it, with its resources beside
// it; false when it runs from an installed tree (bin/, lib/, share/).
bool RunsFromBuildTree();
// The host's folder when --app-dir is not given: <executable dir>/apphome in
// the build tree; for an installed privhost, which may sit in a folder the
// user cannot write, "privhost" in the user's data folder
// ($XDG_DATA_HOME, else ~/.local/share).
std::string DefaultAppDir();
// The schema files, the sample applications file and the login pictures:
// <executable dir>/resources in the build tree, <datadir>/privhost when
// installed.
std::string ResourceDir();
// Where the module may be, in the order they are tried: $PRIVHOST_MODULE,
// beside the executable, then the installed library folder or the build's
// own output (never the build's when installed).
std::vector<std::string> ModuleCandidates();

// The fennix settings the options describe, with every default filled in.
fennix::Settings ResolveSettings(const AppOptions& options);

// Reads a password from the terminal without echo (plain read when stdin is
// not a terminal).
std::string ReadPassword(const std::string& prompt);

extern const char* const kUsage;
extern const char* const kInitUsage;
extern const char* const kCallUsage;
extern const char* const kPasswdUsage;
extern const char* const kExportUsage;
extern const char* const kImportUsage;
extern const char* const kCopyUsage;
// The usage of a command by its name; nullptr for an unknown one.
const char* CommandUsage(const std::string& command);

} // namespace privhost
