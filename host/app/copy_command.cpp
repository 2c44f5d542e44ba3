// `privhost copy --to URL`: moves an office's privilege data to another
// database, typically from the first workstation's SQLite file to the
// PostgreSQL server the workstations come to share. Every code is kept,
// the permission nodes' too, and the target's node codes continue after the
// highest one copied. The target is written in one transaction that commits
// only after every table's row count and checksum agree on both sides.
#include "commands.h"
#include "host_database.h"

#include "store/audit_record.h"
#include "store/transfer_store.h"

#include <fennix/fennix.h>

#include <QCryptographicHash>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <unistd.h>
#include <vector>

namespace privhost {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTarget = "PrivhostCopyTarget";
// Rows per INSERT statement (a SQLite target) or per block of a COPY (a
// PostgreSQL target): few round trips, statements of a modest size, and a
// progress line redrawn per block.
constexpr std::size_t kRowsPerStatement = 500;

enum class Kind { Text, Integer, DateTime };

struct Column {
    const char* name;
    Kind kind;
};

struct Table {
    const char* name;
    std::vector<Column> columns;
};

const std::vector<Table>& Tables()
{
    static const std::vector<Table> tables = {
        {"XT_QYXX",
         {{"QYID", Kind::Integer}, {"QYSBH", Kind::Text}, {"QYMC", Kind::Text}, {"LBDM", Kind::Integer}}},
        {"XT_BMXX", {{"QYID", Kind::Integer}, {"BM_DM", Kind::Text}, {"BM_MC", Kind::Text}}},
        {"QX_ROLES", {{"JS_DM", Kind::Text}, {"JS_MC", Kind::Text}}},
        {"QX_CZY",
         {{"CZY_DM", Kind::Text},
          {"CZY_MC", Kind::Text},
          {"PWD", Kind::Text},
          {"CZY_LB", Kind::Text},
          {"SSBM", Kind::Text},
          {"DESCRIPTION", Kind::Text},
          {"DHHM", Kind::Text},
          {"EMAIL", Kind::Text},
          {"ZZ", Kind::Text},
          {"YXBZ", Kind::Text},
          {"SFXZSJ", Kind::Text},
          {"XZSJ", Kind::DateTime},
          {"ZHDLSJ", Kind::DateTime},
          {"BM_DM", Kind::Text}}},
        {"QX_CZYRROLE", {{"CZY_DM", Kind::Text}, {"JS_DM", Kind::Text}}},
        {"QX_PRMSMAP",
         {{"PRMS_DM", Kind::Integer},
          {"DYDM", Kind::Text},
          {"DYMC", Kind::Text},
          {"PARENT_DM", Kind::Integer},
          {"PRMS_TYPE", Kind::Text},
          {"KZDM", Kind::Integer}}},
        {"QX_ROLEPRMS", {{"JS_DM", Kind::Text}, {"PRMS_DM", Kind::Integer}}},
        {"QX_CZYQY", {{"CZY_DM", Kind::Text}, {"QYID", Kind::Integer}}},
        {"QX_CZYZXT", {{"CZY_DM", Kind::Text}, {"QYID", Kind::Integer}, {"CPBM", Kind::Text}}},
    };
    return tables;
}

std::string SelectAll(const Table& table)
{
    std::string sql = "SELECT ";
    for (std::size_t c = 0; c < table.columns.size(); ++c)
        sql += (c ? ", " : "") + std::string(table.columns[c].name);
    return sql + " FROM " + table.name;
}

bool IsInteger(const std::string& text)
{
    std::size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
    if (i == text.size() || text.size() > 20)
        return false;
    for (; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    return true;
}

// A value as both databases give it back for the same stored value: date-
// times in one written form, integers in decimal.
std::string Canonical(const priv::QueryResult& rows, const Column& column, bool& isNull)
{
    isNull = rows.IsNull(column.name);
    if (isNull)
        return {};
    const std::string text = rows.AsString(column.name);
    return column.kind == Kind::DateTime ? priv::TTransferStore::DateTimeText(text) : text;
}

// Whether the value goes as NULL: a null cell, and a date-time that is no
// text at all.
bool WritesNull(const Column& column, bool isNull, const std::string& value)
{
    return isNull || (column.kind == Kind::DateTime && value.empty());
}

// The value as it is written into the INSERT; a value its column cannot
// hold goes as it is, for the target to refuse by name.
std::string Literal(const priv::QueryResult& rows, const Column& column)
{
    bool isNull = false;
    std::string value = Canonical(rows, column, isNull);
    if (WritesNull(column, isNull, value))
        return "NULL";
    if (column.kind == Kind::Integer && IsInteger(value))
        return value;
    return Quoted(value);
}

struct Summary {
    std::size_t rows = 0;
    QByteArray checksum;
};

// Row count and a checksum that does not depend on the order rows come in:
// the hash of the sorted hashes of the rows.
Summary Summarize(const Table& table, priv::QueryResult& rows)
{
    std::vector<QByteArray> hashes;
    hashes.reserve(static_cast<std::size_t>(rows.RecordCount()));
    for (rows.First(); !rows.Eof(); rows.Next()) {
        QByteArray row;
        for (const Column& column : table.columns) {
            bool isNull = false;
            const std::string value = Canonical(rows, column, isNull);
            // Null and empty text differ; the separators cannot occur in values.
            row += isNull ? QByteArray("\x01") : QByteArray::fromStdString(value);
            row += '\x1f';
        }
        hashes.push_back(QCryptographicHash::hash(row, QCryptographicHash::Sha256));
    }
    std::sort(hashes.begin(), hashes.end());
    QCryptographicHash all(QCryptographicHash::Sha256);
    for (const QByteArray& hash : hashes)
        all.addData(hash);
    return {hashes.size(), all.result()};
}

// The table a CREATE TABLE or CREATE INDEX statement is about; empty for
// any other statement (the built-in posts' rows come with the copy).
std::string TableOfStatement(const std::string& statement)
{
    if (statement.rfind("CREATE TABLE ", 0) == 0) {
        const std::size_t from = std::string("CREATE TABLE ").size();
        return statement.substr(from, statement.find_first_of(" (", from) - from);
    }
    if (statement.rfind("CREATE INDEX ", 0) == 0) {
        const std::size_t on = statement.find(" ON ");
        if (on == std::string::npos)
            return {};
        return statement.substr(on + 4, statement.find_first_of(" (", on + 4) - on - 4);
    }
    return {};
}

class Copier {
public:
    Copier(bool postgresTarget, bool progress) : postgres_(postgresTarget), progress_(progress) {}

    bool Run(const std::string& sql, priv::QueryResult* rows = nullptr)
    {
        if (fennix::RunStatement(kTarget, sql, rows, error_))
            return true;
        return false;
    }
    const std::string& Error() const { return error_; }
    void Fail(std::string error) { error_ = std::move(error); }

    // The target's tables, in upper case; false when it cannot be asked.
    bool ExistingTables(std::vector<std::string>& names)
    {
        priv::QueryResult rows;
        if (!Run(postgres_ ? "SELECT table_name FROM information_schema.tables WHERE table_schema = "
                             "current_schema()"
                           : "SELECT name AS table_name FROM sqlite_master WHERE type = 'table'",
                 &rows))
            return false;
        for (rows.First(); !rows.Eof(); rows.Next()) {
            std::string name = rows.AsString("table_name");
            std::transform(name.begin(), name.end(), name.begin(),
                           [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
            names.push_back(name);
        }
        return true;
    }

    bool CreateMissing(const std::vector<std::string>& missing, const std::string& schemaPath)
    {
        const std::vector<std::string> statements = SchemaStatements(schemaPath);
        if (statements.empty()) {
            error_ = "无法读取表结构文件 " + schemaPath;
            return false;
        }
        for (const std::string& statement : statements) {
            const std::string table = TableOfStatement(statement);
            if (!table.empty() && std::find(missing.begin(), missing.end(), table) != missing.end() &&
                !Run(statement))
                return false;
        }
        return true;
    }

    // A table's rows onto the target: on PostgreSQL with COPY, whose server
    // reads each value with its column's type as it reads a quoted literal
    // (the same values arrive, and the same ones are refused, as with
    // INSERT); on SQLite with INSERT statements of many rows each.
    bool Write(const Table& table, priv::QueryResult& rows, std::size_t& done, std::size_t total)
    {
        return postgres_ ? Copy(table, rows, done, total) : Insert(table, rows, done, total);
    }

    bool Copy(const Table& table, priv::QueryResult& rows, std::size_t& done, std::size_t total)
    {
        std::vector<std::string> columns;
        for (const Column& column : table.columns)
            columns.emplace_back(column.name);
        const std::size_t count = static_cast<std::size_t>(rows.RecordCount());
        const std::size_t before = done;
        rows.First();
        const auto next = [&](fennix::CopyRow& row) {
            if (rows.Eof())
                return false;
            for (const Column& column : table.columns) {
                // Texts and integers go as stored, without a copy of their own.
                if (column.kind != Kind::DateTime && !rows.IsNull(column.name)) {
                    row.Text(rows.AsText(column.name));
                    continue;
                }
                bool isNull = false;
                const std::string value = Canonical(rows, column, isNull);
                if (WritesNull(column, isNull, value))
                    row.Null();
                else
                    row.Text(value);
            }
            rows.Next();
            return true;
        };
        bool drawnWhole = false;
        const auto progress = [&](std::size_t sent) {
            done = before + sent;
            Progress(table, sent, count, done, total);
            drawnWhole = sent == count;
        };
        if (!fennix::CopyRows(kTarget, table.name, columns, next, kRowsPerStatement, progress, error_))
            return false;
        done = before + count;
        if (!drawnWhole) // an empty table sends no block
            Progress(table, count, count, done, total);
        EndLine();
        return true;
    }

    bool Insert(const Table& table, priv::QueryResult& rows, std::size_t& done, std::size_t total)
    {
        std::string head = "INSERT INTO " + std::string(table.name) + "(";
        for (std::size_t c = 0; c < table.columns.size(); ++c)
            head += (c ? ", " : "") + std::string(table.columns[c].name);
        head += ") VALUES ";
        std::size_t inStatement = 0, copied = 0;
        std::string sql = head;
        for (rows.First(); !rows.Eof(); rows.Next()) {
            sql += inStatement ? ",(" : "(";
            for (std::size_t c = 0; c < table.columns.size(); ++c)
                sql += (c ? "," : "") + Literal(rows, table.columns[c]);
            sql += ')';
            ++copied;
            if (++inStatement == kRowsPerStatement) {
                if (!Run(sql))
                    return false;
                done += inStatement;
                Progress(table, copied, static_cast<std::size_t>(rows.RecordCount()), done, total);
                sql = head;
                inStatement = 0;
            }
        }
        if (inStatement) {
            if (!Run(sql))
                return false;
            done += inStatement;
        }
        Progress(table, copied, static_cast<std::size_t>(rows.RecordCount()), done, total);
        EndLine();
        return true;
    }

    // The target's own operation log, made as init makes it when missing
    // (the source's log is the source's history and is not copied).
    bool CreateLog(const std::string& schemaPath)
    {
        for (const std::string& statement : SchemaStatements(schemaPath))
            if (statement.rfind("CREATE ", 0) == 0 &&
                statement.find(priv::audit::kLogTable) != std::string::npos && !Run(statement))
                return false;
        return true;
    }

    // The phases without row counts, reading the source and reading the copy
    // back: one line each, redrawn per table, so that a large copy does not
    // sit silent on the terminal while it reads or checks.
    void Phase(const char* what, std::size_t index)
    {
        if (!progress_)
            return;
        std::size_t longest = 0;
        for (const Table& table : Tables())
            longest = std::max(longest, std::string(table.name).size());
        std::string name = Tables()[index].name;
        name.resize(longest, ' '); // the next table's line covers this one's
        Draw("\r" + std::string(what) + " " + name + "（" + std::to_string(index + 1) + "/" +
             std::to_string(Tables().size()) + "）");
    }

    // Ends a progress line, so that what follows starts on a line of its own.
    void EndLine()
    {
        if (lineOpen_)
            std::cerr << '\n' << std::flush;
        lineOpen_ = false;
    }

    // New nodes on the target get codes above every copied one.
    bool ContinueIdentity(std::int64_t highest)
    {
        if (!postgres_ || highest <= 0)
            return true; // SQLite's AUTOINCREMENT already counts from the greatest code inserted
        return Run("ALTER TABLE QX_PRMSMAP ALTER COLUMN PRMS_DM RESTART WITH " + std::to_string(highest + 1));
    }

private:
    void Progress(const Table& table, std::size_t copied, std::size_t count, std::size_t done,
                  std::size_t total)
    {
        if (progress_)
            Draw("\r复制 " + std::string(table.name) + "：" + std::to_string(copied) + "/" +
                 std::to_string(count) + " 行（共 " + std::to_string(done) + "/" + std::to_string(total) +
                 " 行）");
    }

    // A line drawn in one write: the terminal never shows half of it.
    void Draw(const std::string& line)
    {
        std::cerr << line << std::flush;
        lineOpen_ = true;
    }

    bool postgres_;
    bool progress_;
    bool lineOpen_ = false;
    std::string error_;
};

std::string SchemaPathFor(bool postgres)
{
    return ResourceDir() + (postgres ? "/db/schema-postgresql.sql" : "/db/schema-sqlite.sql");
}

} // namespace

int RunCopy(const AppOptions& options)
{
    std::string target;
    bool replace = false;
    for (std::size_t i = 0; i < options.args.size(); ++i) {
        if (options.args[i] == "--to" && i + 1 < options.args.size() && !options.args[i + 1].empty())
            target = options.args[++i];
        else if (options.args[i] == "--replace")
            replace = true;
        else {
            std::cerr << "privhost: copy: unknown argument " << options.args[i] << '\n' << kCopyUsage;
            return kExitSetup;
        }
    }
    if (target.empty()) {
        std::cerr << "privhost: copy needs --to URL\n" << kCopyUsage;
        return kExitSetup;
    }
    const bool postgres = IsPostgreSqlUrl(target);
    if (!postgres && target.rfind("sqlite:", 0) != 0) {
        std::cerr << "privhost: copy: 目标数据库地址应为 sqlite:PATH 或 postgresql://...：" << target << '\n';
        return kExitSetup;
    }
    if (!OpenHost(options, true))
        return kExitSetup;
    const std::string sourceUrl = fennix::CurrentSettings().databaseUrl;
    const std::string shown = fennix::UrlForDisplay(target);

    fs::path sqliteFile;
    bool fileIsNew = false;
    if (!postgres) {
        sqliteFile = fs::absolute(target.substr(std::string("sqlite:").size())).lexically_normal();
        std::error_code ec;
        if (!sourceUrl.empty() && sourceUrl.rfind("sqlite:", 0) == 0 &&
            fs::equivalent(sqliteFile, fs::path(sourceUrl.substr(7)), ec)) {
            std::cerr << "privhost: copy: 目标与源是同一个数据库\n";
            return kExitSetup;
        }
        fileIsNew = !fs::exists(sqliteFile, ec);
        fs::create_directories(sqliteFile.parent_path(), ec);
        target = "sqlite:" + sqliteFile.string();
    }
    std::string error;
    if (!fennix::OpenConnection(kTarget, target, error)) {
        std::cerr << "privhost: 无法打开目标数据库 " << shown << "：" << error << '\n';
        return kExitSetup;
    }
    priv::Host& host = fennix::Services();
    Copier copier(postgres, isatty(STDERR_FILENO) != 0);
    const auto failWith = [&](const std::string& what, const std::string& why, int status) {
        copier.EndLine();
        if (host.DBInTransaction(kTarget)) {
            std::string ignored;
            host.DBRollbackTrans(kTarget, ignored);
        }
        fennix::CloseConnection(kTarget);
        if (fileIsNew) {
            std::error_code ec;
            for (const char* suffix : {"", "-journal", "-wal", "-shm"})
                fs::remove(sqliteFile.string() + suffix, ec);
        }
        std::cerr << "privhost: " << what << (why.empty() ? "" : "：" + why) << '\n'
                  << "privhost: 目标数据库 " << shown << " 未作任何更改\n";
        return status;
    };

    // The source, read in one snapshot.
    if (!host.DBBeginRead(priv::kMainConnection, error))
        return failWith("无法读取源数据库", error, kExitSetup);
    std::map<std::string, priv::QueryResult> source;
    std::map<std::string, Summary> sourceSums;
    std::size_t total = 0;
    for (std::size_t t = 0; t < Tables().size(); ++t) {
        const Table& table = Tables()[t];
        copier.Phase("读取源表", t);
        priv::QueryResult& rows = source[table.name];
        if (!fennix::RunStatement(priv::kMainConnection, SelectAll(table), &rows, error)) {
            host.DBEndRead(priv::kMainConnection);
            return failWith("无法读取源数据库的表 " + std::string(table.name), error, kExitSetup);
        }
        sourceSums[table.name] = Summarize(table, rows);
        total += sourceSums[table.name].rows;
    }
    host.DBEndRead(priv::kMainConnection);
    copier.EndLine();

    if (!host.DBBeginTrans(kTarget, error))
        return failWith("无法在目标数据库上开始事务", error, kExitSetup);
    std::vector<std::string> existing;
    if (!copier.ExistingTables(existing))
        return failWith("无法读取目标数据库", copier.Error(), kExitSetup);
    std::vector<std::string> missing;
    for (const Table& table : Tables())
        if (std::find(existing.begin(), existing.end(), table.name) == existing.end())
            missing.emplace_back(table.name);
    if (!missing.empty() && !copier.CreateMissing(missing, SchemaPathFor(postgres)))
        return failWith("无法在目标数据库中建表", copier.Error(), kExitFalse);

    // The copy is recorded in the target's log, in this transaction.
    if (!copier.CreateLog(SchemaPathFor(postgres)))
        return failWith("无法在目标数据库中建立操作日志表", copier.Error(), kExitFalse);
    priv::audit::RecordedChange record(true, kTarget);
    if (!record.Begin())
        return failWith("无法写入目标数据库的操作日志", record.Failure(), kExitFalse);

    // A target that holds rows is another office's data, unless told.
    std::vector<std::string> held;
    for (const Table& table : Tables()) {
        if (std::find(missing.begin(), missing.end(), table.name) != missing.end())
            continue;
        priv::QueryResult count;
        if (!copier.Run("SELECT COUNT(*) AS N FROM " + std::string(table.name), &count))
            return failWith("无法读取目标数据库", copier.Error(), kExitSetup);
        const std::int64_t n = count.AsInteger("N");
        if (n == 0)
            continue;
        if (!replace)
            held.push_back(std::string(table.name) + " " + std::to_string(n) + " 行");
        else if (!copier.Run("DELETE FROM " + std::string(table.name)))
            return failWith("无法清空目标表 " + std::string(table.name), copier.Error(), kExitFalse);
    }
    if (!held.empty()) {
        std::string list;
        for (const std::string& item : held)
            list += (list.empty() ? "" : "、") + item;
        return failWith("目标数据库已有数据（" + list + "），要替换请加 --replace", "", kExitFalse);
    }

    std::size_t done = 0;
    for (const Table& table : Tables())
        if (!copier.Write(table, source[table.name], done, total))
            return failWith("复制表 " + std::string(table.name) + " 失败", copier.Error(), kExitFalse);

    std::int64_t highest = 0;
    {
        priv::QueryResult& nodes = source["QX_PRMSMAP"];
        for (nodes.First(); !nodes.Eof(); nodes.Next())
            highest = std::max(highest, nodes.AsInteger("PRMS_DM"));
    }
    if (!copier.ContinueIdentity(highest))
        return failWith("无法调整目标数据库的节点代码序列", copier.Error(), kExitFalse);

    // What the target now holds, read back inside the transaction.
    for (std::size_t t = 0; t < Tables().size(); ++t) {
        const Table& table = Tables()[t];
        copier.Phase("核对目标表", t);
        priv::QueryResult rows;
        if (!copier.Run(SelectAll(table), &rows))
            return failWith("无法读回目标表 " + std::string(table.name), copier.Error(), kExitFalse);
        const Summary copied = Summarize(table, rows);
        const Summary& expected = sourceSums[table.name];
        if (copied.rows != expected.rows || copied.checksum != expected.checksum)
            return failWith("复制后表 " + std::string(table.name) + " 与源不一致（源 " +
                                std::to_string(expected.rows) + " 行，目标 " + std::to_string(copied.rows) +
                                " 行" + (copied.rows == expected.rows ? "，内容校验值不同" : "") + "）",
                            "", kExitFalse);
    }
    copier.EndLine();
    std::string detail = "来源：" + fennix::UrlForDisplay(sourceUrl) + (replace ? "；替换目标原有数据" : "");
    for (const Table& table : Tables())
        detail += "；" + std::string(table.name) + " " + std::to_string(sourceSums[table.name].rows) + " 行";
    if (!record.Record({priv::audit::kCopy, priv::audit::kObjectDatabase, "", detail}))
        return failWith("无法写入目标数据库的操作日志", record.Failure(), kExitFalse);
    if (!host.DBCommitTrans(kTarget, error))
        return failWith("提交目标数据库的事务失败", error, kExitFalse);
    fennix::CloseConnection(kTarget);

    std::cout << "已复制到 " << shown << "：\n";
    for (const Table& table : Tables())
        std::cout << "  " << table.name << " " << sourceSums[table.name].rows << " 行，校验值 "
                  << sourceSums[table.name].checksum.toHex().left(16).toStdString() << '\n';
    return kExitOk;
}

} // namespace privhost
