#include "database.h"

#include "database_address.h"
#include "database_qt.h"
#include "native_statements.h"
#include "state.h"

#include "quillet/quillet.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>

#include <map>
#include <memory>
#include <set>
#include <utility>

namespace fennix::detail {
namespace {

std::string Utf8(const QString& text)
{
    return text.toUtf8().toStdString();
}

// What the host knows about a transaction it opened on a connection, and
// about reads that asked for one snapshot.
struct TransactionState {
    bool open = false;
    bool statementFailed = false;
    int reads = 0;                    // DBBeginRead calls not yet ended
    bool readsOwnTransaction = false; // the outermost read began the transaction
};

std::map<std::string, TransactionState>& Transactions()
{
    static auto* transactions = new std::map<std::string, TransactionState>;
    return *transactions;
}

// Connections whose server went away (restarted, ended the session): opened
// again before their next statement, once no transaction of theirs is open.
std::set<std::string>& LostConnections()
{
    static auto* lost = new std::set<std::string>;
    return *lost;
}

// How long each connection waits for a lock another one holds, for its
// messages.
std::map<std::string, int>& LockWaits()
{
    static auto* waits = new std::map<std::string, int>;
    return *waits;
}

constexpr const char* kTransactionLost = "与数据库的连接已断开，进行中的事务已失败，其中的更改均未保存。";

bool IsPostgres(const QSqlDatabase& db)
{
    return db.driverName() == QLatin1String("QPSQL");
}

// The runners on the drivers' own handles, by connection name.
std::map<std::string, std::unique_ptr<NativeStatements>>& Natives()
{
    static auto* natives = new std::map<std::string, std::unique_ptr<NativeStatements>>;
    return *natives;
}

NativeStatements* NativeFor(const std::string& name, const QSqlDatabase& db)
{
    std::unique_ptr<NativeStatements>& native = Natives()[name];
    if (!native || !native->Serves(db))
        native = NativeStatements::For(db);
    return native.get();
}
bool RunOn(const std::string& name, QSqlDatabase& db, const std::string& sql, priv::QueryResult* rows,
           std::string& error)
{
    if (NativeStatements* native = NativeFor(name, db))
        return native->Run(sql, rows, error);
    return RunOnQt(db, QString::fromStdString(sql), rows, error);
}

bool Database(const std::string& name, QSqlDatabase& db, std::string& error)
{
    db = QSqlDatabase::database(QString::fromStdString(name), false);
    // A lost connection that could not be opened again yet is still ours:
    // its next statement tries again.
    if (!db.isValid() || (!db.isOpen() && !LostConnections().count(name))) {
        error = "数据库连接“" + name + "”未打开。";
        return false;
    }
    return true;
}

// The module writes text values between single quotes with inner quotes
// doubled and nothing else. That is only safe while the server reads a
// backslash as an ordinary character (standard_conforming_strings) and
// exchanges UTF-8 with us; a server or database configured otherwise would
// let a backslash before a quote end the value early. Both are set for this
// session, whatever the defaults, and read back; a connection where they do
// not hold is not used.
bool PinSessionSettings(QSqlDatabase& db, int lockWaitMs, std::string& error)
{
    static const std::pair<const char*, const char*> kPinned[] = {
        {"standard_conforming_strings", "on"},
        {"client_encoding", "UTF8"},
    };
    for (const auto& [name, value] : kPinned) {
        if (!RunOnQt(db, QStringLiteral("SET %1 = '%2'").arg(QLatin1String(name), QLatin1String(value)),
                     nullptr, error)) {
            error = "无法设置会话参数 " + std::string(name) + "：" + error;
            return false;
        }
        priv::QueryResult shown;
        std::string readError;
        if (!RunOnQt(db, QStringLiteral("SHOW %1").arg(QLatin1String(name)), &shown, readError) ||
            shown.Eof() || shown.AsString(name) != value) {
            error = "会话参数 " + std::string(name) + " 未能设为 " + value + "，拒绝使用此连接。";
            return false;
        }
    }
    // A lock another workstation holds stalls a statement no longer than
    // this; the statement then fails and says so.
    if (!RunOnQt(db, QStringLiteral("SET lock_timeout = %1").arg(lockWaitMs), nullptr, error)) {
        error = "无法设置会话参数 lock_timeout：" + error;
        return false;
    }
    return true;
}

std::string Seconds(int milliseconds)
{
    return Utf8(QString::number(milliseconds / 1000.0, 'f', QLocale::FloatingPointShortest));
}

// Opens a connection whose server went away again, with the options it was
// first opened with. The connection stays registered when that fails, so
// that the next statement tries again.
bool Reopen(const std::string& name, const std::string& reason, std::string& error)
{
    Natives().erase(name);
    QSqlDatabase db = QSqlDatabase::database(QString::fromStdString(name), false);
    if (!db.isValid()) {
        error = "数据库连接“" + name + "”未打开。";
        return false;
    }
    db.close();
    std::string failure;
    bool opened = db.open();
    if (!opened)
        failure = Utf8(ErrorText(db.lastError()));
    else if (IsPostgres(db) && !PinSessionSettings(db, LockWaits()[name], failure)) {
        db.close();
        opened = false;
    }
    Transactions()[name] = TransactionState{};
    const std::string lost =
        "数据库连接“" + name + "”已断开" + (reason.empty() ? std::string() : "（" + reason + "）");
    if (!opened) {
        error = (reason.empty() ? std::string() : reason + "\n") + "与数据库的连接已断开，重新连接失败：" +
                failure;
        quillet::Error("0", lost + "，重新连接失败：" + failure);
        return false;
    }
    LostConnections().erase(name);
    quillet::Info("0", lost + "，已重新连接。");
    return true;
}

bool InTransaction(const std::string& name)
{
    const TransactionState& state = Transactions()[name];
    return state.open || state.reads > 0;
}

NativeStatements::Failure LastFailure(const std::string& name, const QSqlDatabase& db)
{
    const auto found = Natives().find(name);
    if (found == Natives().end() || !found->second || !found->second->Serves(db))
        return NativeStatements::Failure::Other;
    return found->second->LastFailure();
}

// Reports a database failure: the host's log keeps the database's own text,
// with the statement up to its first value (values may hold enciphered
// passwords), and the host application may show it.
void ReportFailure(const std::string& name, const std::string& sql, const std::string& error)
{
    std::string statement = sql.substr(0, sql.find('\''));
    if (statement.size() > 160)
        statement = Utf8(QString::fromStdString(statement).left(160)) + "…";
    else if (statement.size() < sql.size())
        statement += "…";
    quillet::Error("0", "数据库操作失败（" + name + "）：" + error + "\n语句：" + statement);
    if (const auto& handler = State().databaseFailureHandler)
        handler(error);
}

// Runs one statement. When the server turns out to be gone, the connection
// is opened again and the statement runs once more, but only when nothing
// is lost by it: outside a host transaction and a snapshot read (their work
// died with the old session, so the failure stands and the transaction is
// reported failed). A lock wait that ran out says which wait it was.
bool RunGuarded(const std::string& name, const std::string& sql, priv::QueryResult* rows, std::string& error)
{
    if (LostConnections().count(name)) {
        if (InTransaction(name)) {
            error = kTransactionLost;
            return false;
        }
        if (!Reopen(name, std::string(), error))
            return false;
    }
    for (int attempt = 0;; ++attempt) {
        QSqlDatabase db;
        if (!Database(name, db, error))
            return false;
        if (RunOn(name, db, sql, rows, error))
            return true;
        const NativeStatements::Failure failure = LastFailure(name, db);
        if (failure == NativeStatements::Failure::LockWait)
            error += "\n等待其他连接持有的数据库锁超过 " + Seconds(LockWaits()[name]) + " 秒，操作已放弃。";
        if (failure != NativeStatements::Failure::ConnectionLost) {
            ReportFailure(name, sql, error);
            return false;
        }
        LostConnections().insert(name);
        // A reader that takes its rows block by block may hold some of them
        // already: running the statement again would hand them over twice.
        // The next statement opens the connection again.
        const bool rowsHandedOver = rows && rows->HasRowSink();
        if (InTransaction(name) || attempt > 0 || rowsHandedOver) {
            if (InTransaction(name))
                error += "\n" + std::string(kTransactionLost);
            ReportFailure(name, sql, error);
            return false;
        }
        const std::string reason = error;
        if (!Reopen(name, reason, error)) {
            ReportFailure(name, sql, error);
            return false;
        }
    }
}

} // namespace

bool OpenNamedConnection(const std::string& name, const std::string& url, const std::string& appDir,
                         int busyTimeoutMs, std::string& error)
{
    CloseNamedConnection(name);
    DatabaseAddress address;
    if (!ParseDatabaseUrl(url, appDir, address, error))
        return false;
    if (!QSqlDatabase::isDriverAvailable(address.driver)) {
        error = "数据库驱动 " + Utf8(address.driver) + " 不可用。";
        return false;
    }
    const QString connection = QString::fromStdString(name);
    bool opened = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(address.driver, connection);
        db.setDatabaseName(address.databaseName);
        if (address.driver == QLatin1String("QSQLITE")) {
            // A new installation has no data folder yet; SQLite makes the
            // file but not the folders above it.
            if (address.databaseName != QLatin1String(":memory:")) {
                QDir().mkpath(QFileInfo(address.databaseName).absolutePath());
                // The operator table holds reversible passwords: a new file
                // is readable by its owner only (SQLite gives its journals
                // the database file's permissions).
                if (!QFileInfo::exists(address.databaseName)) {
                    QFile file(address.databaseName);
                    file.open(QIODevice::WriteOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
                }
            }
            // Several processes (or connections) share one SQLite file: a
            // writer that finds the file locked waits instead of failing.
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
        } else {
            if (!address.host.isEmpty())
                db.setHostName(address.host);
            if (address.port > 0)
                db.setPort(address.port);
            if (!address.user.isEmpty())
                db.setUserName(address.user);
            if (!address.password.isEmpty())
                db.setPassword(address.password);
            if (!address.options.isEmpty())
                db.setConnectOptions(address.options.join(QLatin1Char(';')));
        }
        opened = db.open();
        if (!opened)
            error = "无法打开数据库 " + UrlForDisplay(url) + "：" + Utf8(ErrorText(db.lastError()));
        else if (address.driver == QLatin1String("QPSQL") && !PinSessionSettings(db, busyTimeoutMs, error)) {
            error = "无法打开数据库 " + UrlForDisplay(url) + "：" + error;
            db.close();
            opened = false;
        }
    }
    if (!opened) {
        QSqlDatabase::removeDatabase(connection);
        return false;
    }
    Transactions()[name] = TransactionState{};
    LockWaits()[name] = busyTimeoutMs;
    return true;
}

void CloseNamedConnection(const std::string& name)
{
    const QString connection = QString::fromStdString(name);
    if (!QSqlDatabase::contains(connection))
        return;
    {
        // Kept statements must go before the connection they belong to.
        Natives().erase(name);
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        const TransactionState& state = Transactions()[name];
        if (db.isOpen() && (state.open || state.readsOwnTransaction))
            db.rollback();
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    Transactions().erase(name);
    LostConnections().erase(name);
    LockWaits().erase(name);
}

bool ConnectionOpen(const std::string& name)
{
    const QSqlDatabase db = QSqlDatabase::database(QString::fromStdString(name), false);
    return db.isValid() && db.isOpen();
}

std::string Product(const std::string& name)
{
    const QSqlDatabase db = QSqlDatabase::database(QString::fromStdString(name), false);
    if (!db.isValid())
        return {};
    if (IsPostgres(db))
        return "postgresql";
    return db.driverName() == QLatin1String("QSQLITE") ? "sqlite" : std::string();
}

bool Execute(const std::string& name, const std::string& sql, priv::QueryResult* rows, std::string& error)
{
    const bool ok = RunGuarded(name, sql, rows, error);
    if (!ok) {
        auto& transaction = Transactions()[name];
        if (transaction.open)
            transaction.statementFailed = true;
    }
    return ok;
}

namespace {

// A table or column name as it may stand unquoted in a statement.
bool PlainName(const std::string& name)
{
    if (name.empty() || (name[0] >= '0' && name[0] <= '9'))
        return false;
    for (const char c : name)
        if (!(c == '_' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
            return false;
    return true;
}

} // namespace

// A bulk load is one statement of the host transaction: it fails as a
// statement fails (reported, the transaction marked failed, a lost server
// remembered so that the connection is opened again once the transaction
// is over). It is never run a second time on a new connection: the open
// transaction died with the old one.
bool CopyRows(const std::string& name, const std::string& table, const std::vector<std::string>& columns,
              const fennix::CopyRowSource& next, std::size_t rowsPerBlock,
              const fennix::CopyProgress& progress, std::string& error)
{
    bool plain = PlainName(table) && !columns.empty();
    for (const std::string& column : columns)
        plain = plain && PlainName(column);
    if (!plain) {
        error = "成批写入的表名或列名无效：" + table;
        return false;
    }
    QSqlDatabase db;
    if (!Database(name, db, error))
        return false;
    TransactionState& transaction = Transactions()[name];
    if (!transaction.open) {
        error = "连接“" + name + "”上没有进行中的事务，成批写入只在事务中进行。";
        return false;
    }
    if (LostConnections().count(name)) {
        transaction.statementFailed = true;
        error = kTransactionLost;
        return false;
    }
    if (!IsPostgres(db)) {
        error = "连接“" + name + "”不是 PostgreSQL 数据库，不能成批写入（COPY）。";
        return false;
    }
    NativeStatements* native = NativeFor(name, db);
    if (!native) {
        error = "无法取得连接“" + name + "”的 PostgreSQL 客户端句柄，不能成批写入（COPY）。";
        return false;
    }
    if (native->Copy(table, columns, next, rowsPerBlock, progress, error))
        return true;
    transaction.statementFailed = true;
    switch (native->LastFailure()) {
    case NativeStatements::Failure::LockWait:
        error += "\n等待其他连接持有的数据库锁超过 " + Seconds(LockWaits()[name]) + " 秒，操作已放弃。";
        break;
    case NativeStatements::Failure::ConnectionLost:
        LostConnections().insert(name);
        error += "\n" + std::string(kTransactionLost);
        break;
    case NativeStatements::Failure::Other:
        break;
    }
    std::string statement = "COPY " + table + "(";
    for (std::size_t c = 0; c < columns.size(); ++c)
        statement += (c ? ", " : "") + columns[c];
    ReportFailure(name, statement + ") FROM STDIN", error);
    return false;
}

// Host transactions.
//
// PostgreSQL: several workstations share one database. The permission store
// inserts a node and then reads its new code back as "the greatest PRMS_DM
// with the same DYDM", both inside one host transaction. Under the default
// READ COMMITTED a node that another workstation inserts for the same DYDM and
// commits between our insert and our read-back would be visible, and being
// younger it would carry the greater code: we would read back its code, not
// ours. REPEATABLE READ takes one snapshot at the first statement of the
// transaction (our insert at the latest). Identity values are handed out in
// increasing order, so any code greater than ours was allocated after that
// snapshot and its row stays invisible to the read-back. The price is that two
// workstations updating the very same row at once get a serialization error
// for the second one, which the stores already report as a failed write.
//
// SQLite: "BEGIN IMMEDIATE" takes the write lock at once, so host
// transactions of several connections or processes run one after the other;
// a second writer waits up to the busy timeout instead of failing halfway
// through with a lock it cannot upgrade.
bool BeginTransaction(const std::string& name, std::string& error)
{
    QSqlDatabase db;
    if (!Database(name, db, error))
        return false;
    const TransactionState& current = Transactions()[name];
    if (current.open || current.readsOwnTransaction) {
        // PostgreSQL would only warn and go on inside the open transaction;
        // refuse on both databases so that the caller learns of its mistake.
        error = "连接“" + name + "”上已有进行中的事务。";
        return false;
    }
    const bool postgres = IsPostgres(db);
    const std::string begin = postgres ? "BEGIN" : "BEGIN IMMEDIATE";
    if (InjectedFailure(begin, error))
        return false;
    if (!RunGuarded(name, begin, nullptr, error))
        return false;
    // A reconnection gave the name a new handle.
    if (!Database(name, db, error))
        return false;
    if (postgres && !RunOn(name, db, "SET TRANSACTION ISOLATION LEVEL REPEATABLE READ", nullptr, error)) {
        std::string ignored;
        RunOn(name, db, "ROLLBACK", nullptr, ignored);
        return false;
    }
    Transactions()[name] = TransactionState{true, false};
    return true;
}

bool CommitTransaction(const std::string& name, std::string& error)
{
    QSqlDatabase db;
    if (!Database(name, db, error))
        return false;
    auto& transaction = Transactions()[name];
    if (!transaction.open) {
        error = "连接“" + name + "”上没有进行中的事务。";
        return false;
    }
    // The server ended the session inside the transaction: nothing of it
    // can be committed any more.
    if (LostConnections().count(name)) {
        transaction = TransactionState{};
        error = kTransactionLost;
        return false;
    }
    std::string injected;
    if (InjectedFailure("COMMIT", injected)) {
        // A commit that fails ends the transaction without its changes.
        std::string ignored;
        RunOn(name, db, "ROLLBACK", nullptr, ignored);
        transaction = TransactionState{};
        error = injected;
        return false;
    }
    // PostgreSQL answers COMMIT of a transaction in which a statement failed
    // with a silent rollback; say so instead of reporting a commit.
    if (transaction.statementFailed && IsPostgres(db)) {
        std::string ignored;
        RunOn(name, db, "ROLLBACK", nullptr, ignored);
        transaction = TransactionState{};
        error = "事务中有语句执行失败，所有更改已回滚。";
        return false;
    }
    const bool ok = RunOn(name, db, "COMMIT", nullptr, error);
    Transactions()[name] = TransactionState{};
    if (!ok) {
        if (LastFailure(name, db) == NativeStatements::Failure::ConnectionLost) {
            LostConnections().insert(name);
            error += "\n" + std::string(kTransactionLost);
        }
        ReportFailure(name, "COMMIT", error);
    }
    return ok;
}

bool RollbackTransaction(const std::string& name, std::string& error)
{
    QSqlDatabase db;
    if (!Database(name, db, error))
        return false;
    if (!Transactions()[name].open) {
        error = "连接“" + name + "”上没有进行中的事务。";
        return false;
    }
    // With the session gone the server has already dropped the changes.
    if (LostConnections().count(name)) {
        Transactions()[name] = TransactionState{};
        return true;
    }
    bool ok = RunOn(name, db, "ROLLBACK", nullptr, error);
    if (!ok && LastFailure(name, db) == NativeStatements::Failure::ConnectionLost) {
        LostConnections().insert(name);
        ok = true;
    }
    Transactions()[name] = TransactionState{};
    return ok;
}

bool TransactionOpen(const std::string& name)
{
    const auto found = Transactions().find(name);
    return found != Transactions().end() && found->second.open;
}

// Reads of one snapshot.
//
// PostgreSQL: a REPEATABLE READ transaction, read only, sees the state of its
// first statement throughout; it ends with a rollback, as it has nothing to
// keep (and a failed statement may have aborted it).
//
// SQLite: a deferred transaction takes the shared lock at its first read and
// holds it to the end, so no other connection commits in between (a writer
// waits up to its busy timeout). Every statement also skips taking and
// giving back the lock of its own, which is most of the cost of a small
// read. It ends with a commit, so that nothing written in it by mistake is
// lost.
//
// A host transaction already open serves as the snapshot; reads nest, and the
// outermost one ends the transaction it began. Not recorded in the statement
// log and not subject to statement failures.
bool BeginRead(const std::string& name, std::string& error)
{
    QSqlDatabase db;
    if (!Database(name, db, error))
        return false;
    TransactionState& state = Transactions()[name];
    if (state.reads > 0 || state.open) {
        ++state.reads;
        return true;
    }
    const bool postgres = IsPostgres(db);
    if (!RunGuarded(name, postgres ? "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY" : "BEGIN", nullptr,
                    error))
        return false;
    state.reads = 1;
    state.readsOwnTransaction = true;
    return true;
}

void EndRead(const std::string& name)
{
    TransactionState& state = Transactions()[name];
    if (state.reads == 0 || --state.reads > 0)
        return;
    if (!state.readsOwnTransaction)
        return;
    state.readsOwnTransaction = false;
    QSqlDatabase db;
    std::string ignored;
    if (LostConnections().count(name) || !Database(name, db, ignored))
        return;
    if (IsPostgres(db) || !RunOn(name, db, "COMMIT", nullptr, ignored))
        if (!RunOn(name, db, "ROLLBACK", nullptr, ignored) &&
            LastFailure(name, db) == NativeStatements::Failure::ConnectionLost)
            LostConnections().insert(name);
}

std::size_t CachedStatements(const std::string& name)
{
    const auto found = Natives().find(name);
    return found == Natives().end() || !found->second ? 0 : found->second->CachedStatements();
}

} // namespace fennix::detail
