#include "app_options.h"

#include <QCommandLineParser>
#include <QStringList>

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
    "  audit [--since DATE] [--until DATE] [--operator CODE] [--event NAME]\n"
    "        [--format table|csv|json]        list the operation log\n"
    "  audit verify                           check that no row of the log was changed,\n"
    "                                         removed or inserted\n"
    "  (none) [--code CODE [--password PW]]  start the desktop host; with --code the operator\n"
    "                                         signs in without the login window (the password is\n"
    "                                         asked for when --password is not given)\n"
    "URL: sqlite:PATH or postgresql://user@host:port/db\n";

bool ParseOptions(int argc, char** argv, AppOptions& options, std::string& error)
{
    const QCommandLineOption db(QStringLiteral("db"), QString(), QStringLiteral("URL"));
    const QCommandLineOption appDir(QStringLiteral("app-dir"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption apps(QStringLiteral("apps"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption company(QStringLiteral("company"), QString(), QStringLiteral("QYID"));
    const QCommandLineOption versionType(QStringLiteral("version-type"), QString(), QStringLiteral("CODE"));
    const QCommandLineOption agency(QStringLiteral("agency"));
    const QCommandLineOption code(QStringLiteral("code"), QString(), QStringLiteral("CODE"));
    const QCommandLineOption password(QStringLiteral("password"), QString(), QStringLiteral("PW"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});

    QCommandLineParser parser;
    // The global options come before the command; whatever follows the
    // command's name is the command's own (passwd and init take options of
    // their own).
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({db, appDir, apps, company, versionType, agency, code, password, help});

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (!parser.parse(arguments)) {
        // The parser stops at the first fault: an option it does not know, or
        // the last argument naming an option without its value.
        const QStringList unknown = parser.unknownOptionNames();
        error = unknown.isEmpty() ? std::string(argv[argc - 1]) + " needs a value"
                                  : "unknown option --" + unknown.first().toStdString();
        return false;
    }
    if (parser.isSet(help)) {
        options.command = "help";
        return true;
    }
    const auto take = [&parser](const QCommandLineOption& option, std::string& target) {
        if (parser.isSet(option))
            target = parser.value(option).toLocal8Bit().toStdString();
    };
    take(db, options.databaseUrl);
    take(appDir, options.appDir);
    take(apps, options.appsFile);
    take(company, options.companyId);
    take(versionType, options.versionType);
    take(code, options.signInCode);
    take(password, options.signInPassword);
    options.agency = parser.isSet(agency);
    options.hasSignInPassword = parser.isSet(password);

    const QStringList positional = parser.positionalArguments();
    for (const QString& argument : positional) {
        if (options.command.empty())
            options.command = argument.toLocal8Bit().toStdString();
        else
            options.args.push_back(argument.toLocal8Bit().toStdString());
    }
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
