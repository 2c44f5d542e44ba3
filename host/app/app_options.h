// The host application's global options and where its files live.
#pragma once

#include <fennix/fennix.h>

#include <string>
#include <vector>

namespace privhost {

struct AppOptions {
    std::string databaseUrl; // empty: sqlite:<appDir>/data/privilege.db
    std::string appDir;      // empty: the default home beside the executable
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
// <executable dir>/apphome: the host's folder when --app-dir is not given.
std::string DefaultAppDir();
// Where the build put the schema files and the sample applications file.
std::string ResourceDir();

// The fennix settings the options describe, with every default filled in.
fennix::Settings ResolveSettings(const AppOptions& options);

// Reads a password from the terminal without echo (plain read when stdin is
// not a terminal).
std::string ReadPassword(const std::string& prompt);

extern const char* const kUsage;

} // namespace privhost
