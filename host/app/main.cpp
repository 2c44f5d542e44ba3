// privhost: the substitute host application. With a command it is the host's
// command line (creating the database, driving the module's exports); without
// one it is the desktop host.
#include "commands.h"

#include "boundary/host.h"

#include <fennix/fennix.h>
#include <quillet/quillet.h>

#include <QApplication>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace privhost {

bool OpenHost(const AppOptions& options, bool mustExist)
{
    const fennix::Settings settings = ResolveSettings(options);
    const std::string sqlitePrefix = "sqlite:";
    if (settings.databaseUrl.rfind(sqlitePrefix, 0) == 0) {
        const std::filesystem::path file = settings.databaseUrl.substr(sqlitePrefix.size());
        if (mustExist && !std::filesystem::exists(file)) {
            std::cerr << "privhost: database not found: " << file.string() << " (run privhost init first)\n";
            return false;
        }
        std::error_code ec;
        std::filesystem::create_directories(file.parent_path(), ec);
    }
    quillet::SetLogFolder(settings.appDir + "/Log");
    std::string error;
    if (!fennix::Open(settings, error)) {
        std::cerr << "privhost: " << error << '\n';
        return false;
    }
    // The host application itself uses the module's stores (passwd), so it
    // binds its own copy of them to the framework too.
    priv::BindHost(&fennix::Services());
    return true;
}

namespace {

// A folder that only we may enter: ours, a directory, not a link, mode 0700.
bool IsPrivateFolder(const std::string& path)
{
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid() &&
           (info.st_mode & 0777) == 0700;
}

} // namespace

std::string PrivateRuntimeFolder()
{
    const std::filesystem::path temp = [] {
        std::error_code ec;
        const auto path = std::filesystem::temp_directory_path(ec);
        return ec ? std::filesystem::path("/tmp") : path;
    }();
    // The usual name is shared by every run of this user; another user may
    // have taken it (or left a link there), so it is used only when it is
    // ours and private, and otherwise a fresh folder of our own is made.
    std::string usual = (temp / ("privhost-runtime-" + std::to_string(getuid()))).string();
    if (mkdir(usual.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    if (IsPrivateFolder(usual))
        return usual;
    std::string pattern = usual + "-XXXXXX";
    if (!mkdtemp(pattern.data()))
        return {};
    return pattern;
}

} // namespace privhost

int main(int argc, char** argv)
{
    privhost::AppOptions options;
    std::string error;
    if (!privhost::ParseOptions(argc, argv, options, error)) {
        std::cerr << "privhost: " << error << '\n' << privhost::kUsage;
        return privhost::kExitSetup;
    }
    if (options.command == "help") {
        std::cout << privhost::kUsage;
        return privhost::kExitOk;
    }
    // Every command explains itself: "privhost COMMAND --help".
    if (const char* usage = privhost::CommandUsage(options.command);
        usage && !options.args.empty() &&
        (options.args[0] == "--help" ||
         (options.command != "call" &&
          std::find(options.args.begin(), options.args.end(), "--help") != options.args.end()))) {
        std::cout << usage;
        return privhost::kExitOk;
    }
    // Qt wants a private runtime folder; a root shell or a CI job often has none.
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        const std::string runtime = privhost::PrivateRuntimeFolder();
        if (runtime.empty())
            std::cerr << "privhost: 无法在临时目录中建立私有的运行时文件夹，继续运行\n";
        else
            setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    }
    // Without a display the command line still runs inside the host's Qt
    // application, on the offscreen platform.
    if (!options.command.empty() && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") &&
        !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(PRIVHOST_VERSION));

    int status = privhost::kExitSetup;
    if (options.command.empty())
        status = privhost::RunDesktop(options);
    else if (options.command == "init")
        status = privhost::RunInit(options);
    else if (options.command == "call")
        status = privhost::RunCall(options);
    else if (options.command == "passwd")
        status = privhost::RunPasswd(options);
    else if (options.command == "export")
        status = privhost::RunExport(options);
    else if (options.command == "import")
        status = privhost::RunImport(options);
    else if (options.command == "copy")
        status = privhost::RunCopy(options);
    else if (options.command == "audit")
        status = privhost::RunAudit(options);
    else
        std::cerr << "privhost: unknown command " << options.command << '\n' << privhost::kUsage;
    fennix::Close();
    return status;
}
