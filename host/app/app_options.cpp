#include "app_options.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <pwd.h>
#include <termios.h>
#include <unistd.h>

namespace privhost {

const char* const kUsage =
    "usage: privhost [--db URL] [--app-dir DIR] [--apps FILE] [--company QYID]\n"
    "                [--version-type CODE] [--agency] [COMMAND ...]\n"
    "commands:\n"
    "  init [--admin-password PW] [--demo]   create the tables, built-in posts and \"admin\"\n"
    "  call [--dump-apps] EXPORT PARAMS [EXPORT PARAMS ...]\n"
    "                                         call the module's exports in one process\n"
    "  passwd CODE [--password PW]            give an operator a new password\n"
    "  (none) [--code CODE [--password PW]]  start the desktop host; with --code the operator\n"
    "                                         signs in without the login window (the password is\n"
    "                                         asked for when --password is not given)\n"
    "URL: sqlite:PATH or postgresql://user@host:port/db\n";

bool ParseOptions(int argc, char** argv, AppOptions& options, std::string& error)
{
    int i = 1;
    auto value = [&](const std::string& name, std::string& target) {
        if (i + 1 >= argc) {
            error = name + " needs a value";
            return false;
        }
        target = argv[++i];
        return true;
    };
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--db") {
            if (!value(arg, options.databaseUrl))
                return false;
        } else if (arg == "--app-dir") {
            if (!value(arg, options.appDir))
                return false;
        } else if (arg == "--apps") {
            if (!value(arg, options.appsFile))
                return false;
        } else if (arg == "--company") {
            if (!value(arg, options.companyId))
                return false;
        } else if (arg == "--version-type") {
            if (!value(arg, options.versionType))
                return false;
        } else if (arg == "--agency") {
            options.agency = true;
        } else if (arg == "--code") {
            if (!value(arg, options.signInCode))
                return false;
        } else if (arg == "--password") {
            if (!value(arg, options.signInPassword))
                return false;
            options.hasSignInPassword = true;
        } else if (arg == "-h" || arg == "--help") {
            options.command = "help";
            return true;
        } else if (arg.rfind("--", 0) == 0) {
            error = "unknown option " + arg;
            return false;
        } else {
            break;
        }
    }
    if (i < argc)
        options.command = argv[i++];
    for (; i < argc; ++i)
        options.args.emplace_back(argv[i]);
    // The sign-in options belong to the desktop host; a command that takes a
    // password of its own (passwd) reads it after its name.
    if (!options.command.empty() && (!options.signInCode.empty() || options.hasSignInPassword)) {
        error = "--code and --password are options of the desktop host, not of " + options.command;
        return false;
    }
    if (options.signInCode.empty() && options.hasSignInPassword) {
        error = "--password needs --code";
        return false;
    }
    return true;
}

std::string ExecutableDir()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::current_path().string() : exe.parent_path().string();
}

namespace {

std::string BesideExecutable(const char* relativePath)
{
    return (std::filesystem::path(ExecutableDir()) / relativePath).lexically_normal().string();
}

// The user's data folder by the XDG rules: $XDG_DATA_HOME when it is an
// absolute path, otherwise ~/.local/share.
std::string UserDataDir()
{
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && std::filesystem::path(xdg).is_absolute())
        return xdg;
    std::string home;
    if (const char* env = std::getenv("HOME"); env && *env)
        home = env;
    else if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        home = entry->pw_dir;
    return home + "/.local/share";
}

} // namespace

bool RunsFromBuildTree()
{
    std::error_code ec;
    return std::filesystem::is_directory(ExecutableDir() + "/resources/db", ec);
}

std::string DefaultAppDir()
{
    return RunsFromBuildTree() ? ExecutableDir() + "/apphome" : UserDataDir() + "/privhost";
}

std::string ResourceDir()
{
    return RunsFromBuildTree() ? ExecutableDir() + "/resources"
                               : BesideExecutable(PRIVHOST_INSTALLED_DATA_DIR);
}

std::vector<std::string> ModuleCandidates()
{
    std::vector<std::string> candidates;
    if (const char* path = std::getenv("PRIVHOST_MODULE"))
        candidates.emplace_back(path);
    candidates.push_back(ExecutableDir() + "/libprivilege.so");
    // An installed privhost must not reach back into a build tree that
    // happens to still exist.
    if (RunsFromBuildTree())
        candidates.emplace_back(PRIVHOST_BUILT_MODULE);
    else
        candidates.push_back(BesideExecutable(PRIVHOST_INSTALLED_MODULE));
    return candidates;
}

fennix::Settings ResolveSettings(const AppOptions& options)
{
    fennix::Settings settings;
    // An absolute folder, so that the database and the files under it are the
    // same ones whatever the working folder becomes later.
    settings.appDir = options.appDir.empty()
                          ? DefaultAppDir()
                          : std::filesystem::absolute(options.appDir).lexically_normal().string();
    settings.databaseUrl = options.databaseUrl.empty() ? "sqlite:" + settings.appDir + "/data/privilege.db"
                                                       : options.databaseUrl;
    settings.appsFile = options.appsFile.empty() ? settings.appDir + "/apps.json" : options.appsFile;
    settings.companyId = options.companyId;
    settings.versionType = options.versionType;
    settings.agency = options.agency;
    return settings;
}

std::string ReadPassword(const std::string& prompt)
{
    std::cerr << prompt << std::flush;
    termios saved{};
    const bool terminal = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios silent = saved;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSANOW, &silent);
    }
    std::string password;
    std::getline(std::cin, password);
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        std::cerr << '\n';
    }
    return password;
}

} // namespace privhost
