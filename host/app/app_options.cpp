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
    "  export [--out FILE] [--without-passwords]\n"
    "                                         write the privilege data as one JSON document\n"
    "  import FILE [--dry-run]                merge a document written by export\n"
    "  import --operators FILE.csv [--dry-run]\n"
    "                                         add or update operators from a spreadsheet\n"
    "  copy --to URL [--replace]              copy the privilege and company tables to another\n"
    "                                         database (SQLite or PostgreSQL)\n"
    "  audit [--since DATE] [--until DATE] [--operator CODE] [--event NAME]\n"
    "        [--format table|csv|json]        list the operation log\n"
    "  audit verify                           check that no row of the log was changed,\n"
    "                                         removed or inserted\n"
    "  audit purge --before DATE              delete the log's rows written before DATE, keeping\n"
    "                                         its chain verifiable\n"
    "  (none) [--code CODE [--password PW]]  start the desktop host; with --code the operator\n"
    "                                         signs in without the login window (the password is\n"
    "                                         asked for when --password is not given)\n"
    "  COMMAND --help                         the command's own options\n"
    "URL: sqlite:PATH or postgresql://user@host:port/db\n"
    "exit status: 0 done; 1 refused or failed (a false export, a rejected file, a copy that\n"
    "             did not match), nothing changed by a refused import or copy; 2 usage or setup\n"
    "             error (bad option, missing or unreadable database or file)\n";

const char* const kInitUsage =
    "usage: privhost [GLOBAL OPTIONS] init [--admin-password PW] [--demo]\n"
    "Creates the privilege tables, the built-in posts and the super administrator \"admin\"\n"
    "in --db, all in one transaction (asks for the password when none is given). On a\n"
    "database that has them it changes no row and only adds missing indexes.\n"
    "  --admin-password PW   the password of admin\n"
    "  --demo                add the demonstration companies, departments, posts and operators\n";

const char* const kCallUsage =
    "usage: privhost [GLOBAL OPTIONS] call [--dump-apps] EXPORT PARAMS [EXPORT PARAMS ...]\n"
    "Loads the module and calls each export with its parameter string, printing\n"
    "\"EXPORT 1|0 <buffer after the call>\" (\"EXPORT - ...\" for the window exports).\n"
    "  --dump-apps   then print the withdrawn products and every function's state\n"
    "Exit status 0 when every call answered true, 1 when one answered false.\n";

const char* const kPasswdUsage = "usage: privhost [GLOBAL OPTIONS] passwd CODE [--password PW]\n"
                                 "Gives the operator CODE a new password (asked for twice when not given).\n";

const char* const kExportUsage =
    "usage: privhost [GLOBAL OPTIONS] export [--out FILE] [--without-passwords]\n"
    "Writes the departments, the created posts with their grants (and the grants of\n"
    "AUDITOR), the operators and the companies the grants name as one JSON document\n"
    "(format \"privhost-privileges\", version 1), in a stable order.\n"
    "  --out FILE            write to FILE, created readable by its owner only (default:\n"
    "                        standard output)\n"
    "  --without-passwords   leave out the operators' enciphered passwords\n"
    "The enciphered passwords can be turned back into the typed ones: keep the file safe.\n";

const char* const kImportUsage =
    "usage: privhost [GLOBAL OPTIONS] import FILE [--dry-run]\n"
    "       privhost [GLOBAL OPTIONS] import --operators FILE.csv [--dry-run]\n"
    "Merges a document written by export into --db in one transaction: adds or updates\n"
    "departments, posts and operators (codes matched whatever the case of their\n"
    "letters) and replaces the grants of every post the file names. Everything is\n"
    "checked first; a file with any fault is refused with every reason and nothing is\n"
    "written. Prints one line per change; a second import of the same file changes\n"
    "nothing.\n"
    "  --operators FILE.csv  operators from a spreadsheet (UTF-8 or GBK): a header row with\n"
    "                        代码/code, 姓名/name, 岗位/post (code or name) and optionally\n"
    "                        密码/password, 部门/department, 联系电话/phone, 电子邮箱/email,\n"
    "                        住址/address, 有效/valid; each row is checked as the operator\n"
    "                        dialog checks it\n"
    "  --dry-run             print what would change and write nothing\n";

const char* const kCopyUsage =
    "usage: privhost [GLOBAL OPTIONS] copy --to URL [--replace]\n"
    "Copies the nine privilege and company tables from --db to the database URL\n"
    "(sqlite:PATH or postgresql://...), in either direction, keeping every code; the\n"
    "tables are created when missing and the target's node codes continue after the\n"
    "highest one copied. One transaction on the target: row counts and a checksum of\n"
    "every table are compared on both sides before it commits, and nothing stays when\n"
    "anything fails. Progress goes to standard error when it is a terminal.\n"
    "  --to URL    the target database\n"
    "  --replace   delete what the target's tables hold (otherwise a target that holds\n"
    "              rows is refused)\n";

const char* CommandUsage(const std::string& command)
{
    static const std::pair<const char*, const char* const*> kCommands[] = {
        {"init", &kInitUsage},     {"call", &kCallUsage},     {"passwd", &kPasswdUsage},
        {"export", &kExportUsage}, {"import", &kImportUsage}, {"copy", &kCopyUsage},
    };
    for (const auto& [name, usage] : kCommands)
        if (command == name)
            return *usage;
    return nullptr;
}

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
