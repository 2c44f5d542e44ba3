// The substitute host's public entry points: opening and closing, and the
// settings the host application makes. The tests' seams are in testing.cpp.
#include "fennix/fennix.h"
#include "fennix/testing.h"

#include "accessibility.h"
#include "database.h"
#include "framework_host.h"
#include "messages.h"
#include "settings.h"
#include "state.h"

#include "quillet/quillet.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace fennix {

namespace detail {

HostState& State()
{
    // Never destroyed: records may hold objects of a module that is already
    // unloaded when static destructors run, and Qt SQL must not be torn down
    // after the application object. Close() is the orderly end.
    static HostState* state = new HostState;
    return *state;
}

} // namespace detail

using detail::State;

namespace {

std::string EffectiveAppDir(const std::string& appDir)
{
    QString dir = QString::fromStdString(appDir);
    if (dir.isEmpty())
        dir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    dir = QDir::fromNativeSeparators(dir.replace(QLatin1Char('\\'), QLatin1Char('/')));
    while (dir.size() > 1 && dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    return dir.toUtf8().toStdString();
}

// The lock wait of the host's system settings, in milliseconds.
int ConfiguredLockTimeout(const std::string& appDir)
{
    const std::string text = detail::ReadIniValue(detail::ResolveHostPath(appDir, "Config/System.ini"),
                                                  "Database", "LockTimeout", std::string());
    if (text.empty())
        return kDefaultLockTimeoutMs;
    bool ok = false;
    const double seconds = QString::fromStdString(text).toDouble(&ok);
    // Up to a day; 0 would mean "wait for ever" to both databases.
    if (!ok || !(seconds > 0) || seconds > 86400) {
        quillet::Error("0", "Config/System.ini [Database] LockTimeout=" + text + " 不是有效的秒数，按 " +
                                std::to_string(kDefaultLockTimeoutMs / 1000) + " 秒等待数据库锁。");
        return kDefaultLockTimeoutMs;
    }
    return seconds * 1000 < 1 ? 1 : static_cast<int>(seconds * 1000);
}

void ResetSessionState(detail::HostState& state)
{
    state.userInfo = std::make_unique<detail::NamedRecord>();
    state.companyInfo = std::make_unique<detail::NamedRecord>();
    state.withdrawnProducts.clear();
    state.answers.clear();
    state.shown.clear();
    state.failures.clear();
    state.executed.clear();
    state.statementHook = nullptr;
    state.keepStatements = false;
}

} // namespace

bool Open(const Settings& settings, std::string& error)
{
    Close();
    detail::HostState& state = State();
    if (settings.databaseUrl.empty()) {
        error = "未指定数据库地址。";
        return false;
    }
    Settings effective = settings;
    effective.appDir = EffectiveAppDir(settings.appDir);
    if (effective.logFolder.empty())
        effective.logFolder = effective.appDir + "/Log";
    if (effective.busyTimeoutMs < 0)
        effective.busyTimeoutMs = ConfiguredLockTimeout(effective.appDir);

    detail::Applications applications;
    if (!applications.Load(settings.appsFile, error))
        return false;
    if (!detail::OpenNamedConnection(priv::kMainConnection, effective.databaseUrl, effective.appDir,
                                     effective.busyTimeoutMs, error))
        return false;

    state.settings = std::move(effective);
    state.applications = std::move(applications);
    ResetSessionState(state);
    state.companyInfo->Append("QYID").text = state.settings.companyId;
    quillet::SetLogFolder(state.settings.logFolder);
    state.open = true;
    detail::InstallAccessibility();
    return true;
}

void Close()
{
    detail::HostState& state = State();
    // The records go first: what they own may still want the database.
    state.userInfo = std::make_unique<detail::NamedRecord>();
    state.companyInfo = std::make_unique<detail::NamedRecord>();
    detail::CloseNamedConnection(priv::kMainConnection);
    state.applications.Clear();
    state.open = false;
}

bool IsOpen()
{
    return State().open;
}

const Settings& CurrentSettings()
{
    return State().settings;
}

priv::Host& Services()
{
    static FrameworkHost* host = new FrameworkHost;
    return *host;
}

bool ApplySqlScript(const std::string& path, std::string& error)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        error = "无法读取脚本 " + path + "：" + file.errorString().toUtf8().toStdString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    const std::vector<std::string> statements =
        detail::SplitSqlScript(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    // All or nothing: a script that stops halfway leaves no half-made schema.
    // Inside the caller's transaction the script is one step of a larger
    // whole, which the caller ends.
    const std::string connection = priv::kMainConnection;
    const bool own = !detail::TransactionOpen(connection);
    if (own && !detail::BeginTransaction(connection, error))
        return false;
    for (const std::string& statement : statements) {
        std::string message;
        if (!detail::Execute(connection, statement, nullptr, message)) {
            std::string ignored;
            if (own)
                detail::RollbackTransaction(connection, ignored);
            error = "脚本 " + path + " 执行失败：" + message + "\n语句：" + statement;
            return false;
        }
    }
    return !own || detail::CommitTransaction(connection, error);
}

bool OpenConnection(const std::string& connectionName, const std::string& databaseUrl, std::string& error)
{
    if (connectionName.empty() || connectionName == priv::kMainConnection) {
        error = "连接名无效（MainAppCon 由 Open 打开）：" + connectionName;
        return false;
    }
    // A connection opened before the host's own (a tool's second database,
    // a test's administrator) has no configured wait yet: it waits the
    // default rather than handing the server a negative limit.
    const int lockWaitMs =
        State().settings.busyTimeoutMs < 0 ? kDefaultLockTimeoutMs : State().settings.busyTimeoutMs;
    return detail::OpenNamedConnection(connectionName, databaseUrl, State().settings.appDir, lockWaitMs,
                                       error);
}

void CloseConnection(const std::string& connectionName)
{
    detail::CloseNamedConnection(connectionName);
}

bool RunStatement(const std::string& connectionName, const std::string& sql, priv::QueryResult* rows,
                  std::string& error)
{
    return detail::Execute(connectionName, sql, rows, error);
}

bool CopyRows(const std::string& connectionName, const std::string& table,
              const std::vector<std::string>& columns, const CopyRowSource& next, std::size_t rowsPerBlock,
              const CopyProgress& progress, std::string& error)
{
    return detail::CopyRows(connectionName, table, columns, next, rowsPerBlock, progress, error);
}

// --- Messages ----------------------------------------------------------------

void SetInteractive(bool interactive)
{
    State().interactive = interactive;
}

std::string CatalogueText(int number)
{
    return detail::CatalogueEntry(number);
}

// --- Database failures -----------------------------------------------------------

void SetDatabaseFailureHandler(std::function<void(const std::string& text)> handler)
{
    State().databaseFailureHandler = std::move(handler);
}

std::string UrlForDisplay(const std::string& url)
{
    return detail::UrlForDisplay(url);
}

// --- Applications ----------------------------------------------------------------

std::vector<std::string> WithdrawnProducts()
{
    return State().withdrawnProducts;
}

std::vector<priv::SubAppDescriptor*> AllDescriptors()
{
    std::vector<priv::SubAppDescriptor*> all;
    const detail::Applications& applications = State().applications;
    if (applications.MainFrame())
        all.push_back(applications.MainFrame());
    for (const auto& app : applications.SubApps())
        all.push_back(app.get());
    return all;
}

// --- Windows and the main-frame channel ---------------------------------------------

void SetAppHandle(void* window)
{
    State().appHandle = window;
}

void SetMainFrame(void* window)
{
    State().mainFrame = window;
}

void RegisterWindowClass(const std::string& className, void* window)
{
    if (window)
        State().windowClasses[className] = window;
    else
        State().windowClasses.erase(className);
}

void SetMainFrameHandlers(MessageHandler onMessage, CopyDataHandler onCopyData)
{
    State().onMessage = std::move(onMessage);
    State().onCopyData = std::move(onCopyData);
}

void RegisterFunction(const std::string& functionCode, HostFunction function)
{
    if (function)
        State().functions[functionCode] = std::move(function);
    else
        State().functions.erase(functionCode);
}

void SetCurrentFunction(const std::string& functionCode)
{
    State().currentFunction = functionCode;
}

void SetCurrentSubApp(const std::string& subAppCode)
{
    State().currentSubApp = subAppCode;
}

void SetCurrentParentForm(void* form)
{
    State().currentParentForm = form;
}

void SetMainFrameParentForm(void* form)
{
    State().mainFrameParentForm = form;
}

void ResetHostContext()
{
    detail::HostState& state = State();
    state.appHandle = nullptr;
    state.mainFrame = nullptr;
    state.windowClasses.clear();
    state.onMessage = nullptr;
    state.onCopyData = nullptr;
    state.functions.clear();
    state.currentFunction.clear();
    state.currentSubApp.clear();
    state.currentParentForm = nullptr;
    state.mainFrameParentForm = nullptr;
    state.interactive = false;
    SetCapsLock(std::nullopt);
    SetNow(std::nullopt);
}

} // namespace fennix
