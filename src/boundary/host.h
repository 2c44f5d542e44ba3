// The module's one window onto the world: every service it borrows from the
// host framework library and the host log library. Plain C++ only, so that the
// boundary and store layers can run against any host that implements it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The host interface's polymorphic classes below have their type information
// and virtual tables in one library of the process, the host's (libfennix,
// which exports them): the module and the host then agree on the dynamic type
// of every host object that crosses between them. A build without the
// substitute host (no Qt, as for Windows) keeps them in the plain layers.
#if defined(_WIN32)
#define PRIV_HOST_INTERFACE
#else
#define PRIV_HOST_INTERFACE __attribute__((visibility("default")))
#endif

namespace priv {

// An opaque window or control of the host's widget toolkit. The module's Qt
// windows turn it into a QWidget*; the plain C++ layers only pass it along.
using HostHandle = void*;

// A colour as the host's skin gives it: 0x00BBGGRR, as on the original desktop.
using HostColor = std::uint32_t;

// One opened result set, read fully into memory so that the row count and
// the end-of-data flag are exact on every driver. Column names are matched
// without regard to letter case (PostgreSQL hands them back in lower case).
// Like an ADO recordset's MaxRecords, a query object may ask for no more
// than its first rows; the row count then counts those.
//
// Rows are kept in blocks of a fixed number of rows and the cells' texts in
// blocks of their own, none of which ever moves: a result of a million rows
// grows by adding blocks, never by copying what it already holds.
class QueryResult {
public:
    QueryResult() = default;
    // The cells point into the result's own text blocks: a result moves, it
    // is not copied.
    // A result moved from is empty.
    QueryResult(QueryResult&& other) noexcept { *this = std::move(other); }
    QueryResult& operator=(QueryResult&& other) noexcept;
    QueryResult(const QueryResult&) = delete;
    QueryResult& operator=(const QueryResult&) = delete;

    // Empties the result and sets its columns; the row limit stays.
    void Reset(std::vector<std::string> columns);
    // 0 (the default) reads every row.
    void SetMaxRecords(int maxRecords) { maxRecords_ = maxRecords < 0 ? 0 : maxRecords; }
    int MaxRecords() const { return maxRecords_; }

    // Filling, for the host's statement runners: AddRow appends a row of
    // null cells, SetCell gives a cell of that last row its text (date-times
    // as "yyyy-mm-dd hh:nn:ss").
    void AddRow();
    void SetCell(std::size_t column, std::string_view text);
    // The number of rows to come, when the reader knows it ahead.
    void ReserveRows(std::size_t rows);

    // A reader that turns the rows into something of its own and needs
    // none of them afterwards takes them a block at a time: whenever a block
    // is full, the sink gets the result positioned on the block's first row
    // (Eof after its last), and the block is dropped before the next row
    // comes. However many rows a statement yields, the result then holds one
    // block. The rows of the last block stay until FlushRowSink hands them
    // over. With a sink, RecordCount counts the rows held, so a row limit
    // does not combine with it. A sink that throws gets no further rows;
    // SinkFailed tells the reader, which fails its work. The sink stays for
    // the statements that follow until it is replaced by an empty one.
    using RowSink = std::function<void(QueryResult&)>;
    void SetRowSink(RowSink sink);
    void FlushRowSink();
    bool HasRowSink() const { return static_cast<bool>(sink_); }
    bool SinkFailed() const { return sinkFailed_; }

    // A reader that needs a few of a statement's columns names them (in any
    // letter case): the runner keeps only those, and every other column
    // reads as null. Empty (the default): every column. It stays for the
    // statements that follow until it is set again.
    void KeepColumns(std::vector<std::string> names);
    // Whether the runner should read column `column` at all.
    bool Keeps(std::size_t column) const { return column < slotOf_.size() && slotOf_[column] >= 0; }

    bool Eof() const { return current_ >= rowCount_; }
    void Next()
    {
        if (current_ < rowCount_)
            ++current_;
    }
    void First() { current_ = 0; }
    // Makes row `row` (counted from 0) the current one; past the end: Eof.
    void MoveTo(std::size_t row) { current_ = row < rowCount_ ? row : rowCount_; }
    int RecordCount() const { return static_cast<int>(rowCount_); }
    const std::vector<std::string>& Columns() const { return columns_; }

    bool IsNull(std::string_view name) const;
    // A null or missing field reads as empty text, 0 or the zero date-time.
    std::string AsString(std::string_view name) const;
    // The same text without a copy, valid while the row is held.
    std::string_view AsText(std::string_view name) const;
    std::int64_t AsInteger(std::string_view name) const;
    // Day count from 1899-12-30, the fraction being the time of day.
    double AsDateTime(std::string_view name) const;

private:
    struct Cell {
        const char* text = nullptr; // in a text block; none when empty
        std::uint32_t size = 0;
        bool isNull = true;
    };
    static constexpr std::size_t kRowsPerBlock = 1024;

    int ColumnIndex(std::string_view name) const;
    const Cell* CurrentCell(std::string_view name) const;
    const char* KeepText(std::string_view text);
    // Drops every row and its texts, keeping the columns.
    void DropRows();
    void HandOverRows();

    std::vector<std::string> columns_;
    // The names KeepColumns asked for; empty: all.
    std::vector<std::string> kept_;
    // For each column, its cell in a row, or -1 when it is not kept.
    std::vector<int> slotOf_;
    std::size_t cellsPerRow_ = 0;
    // Block b holds rows b * kRowsPerBlock onwards, cellsPerRow_ cells each.
    // Only the first block grows as rows come (a small result takes little);
    // every later one is made to its full size at once.
    std::vector<std::vector<Cell>> rows_;
    // The cells' texts, end to end; a block is never enlarged, a new one is
    // begun (twice the size of the last, up to a limit) when one is full.
    std::vector<std::unique_ptr<char[]>> texts_;
    char* textFree_ = nullptr;
    std::size_t textLeft_ = 0;
    std::size_t nextTextBlock_ = 0;
    std::size_t rowCount_ = 0;
    std::size_t current_ = 0;
    int maxRecords_ = 0;
    // The last names asked for and their columns: readers ask for the same
    // few fields on every row.
    struct NameMemo {
        const char* data = nullptr;
        std::size_t size = 0;
        int column = -1;
    };
    mutable NameMemo memo_[4];
    mutable unsigned memoNext_ = 0;
    RowSink sink_;
    bool sinkFailed_ = false;
};

// The kinds of entries in the host's named-value records.
enum class EntryKind : int { Text = 0, Number = 4, OwnedObject = 7, BorrowedObject = 8 };

// Frees an object that a record owns; kept beside the object because the
// record cannot know the object's type.
using ObjectRelease = void (*)(void*);

struct RecordEntry {
    std::string name;
    EntryKind kind = EntryKind::Text;
    std::string text;
    double number = 0.0;
    void* object = nullptr;
    ObjectRelease release = nullptr;
};

// A host record (user information, company information): an ordered
// collection of named entries. The host owns it and frees owned objects when
// the record itself goes; replacing values is the module's own business.
class PRIV_HOST_INTERFACE HostRecord {
public:
    virtual ~HostRecord(); // out of line: it places the type information
    // The entry whose name equals `name` without regard to ASCII case.
    virtual RecordEntry* Find(std::string_view name) = 0;
    virtual RecordEntry& Append(std::string name) = 0;
};

// One function of a sub-application as the host describes it.
struct FunctionRecord {
    std::string code;
    std::string name;
    std::string posts;    // post codes allowed to use it, e.g. "SYSTEM,BUSINESS"
    std::string versions; // comma-separated version-type codes; empty: every version
    bool enabled = true;  // the flag the filters test and clear
    bool visible = true;
};

// The host's descriptor of a sub-application (or of its main frame).
struct SubAppDescriptor {
    std::string code;
    std::string product;
    std::string name;
    bool enabled = true;
    std::vector<FunctionRecord> functions;
};

using TextList = std::vector<std::string>;

// The services of the host framework library (Fennix) and the host log
// library (Quillet), named as the host names them. All texts are UTF-8.
class PRIV_HOST_INTERFACE Host {
public:
    virtual ~Host(); // out of line: it places the type information

    // --- Database, always on the connection MainAppCon -----------------------
    virtual bool ExecADOQueryMsg(const std::string& connection, const std::string& sql, QueryResult& query,
                                 std::string& message, bool open) = 0;
    virtual bool DBBeginTrans(const std::string& connection, std::string& message) = 0;
    virtual bool DBCommitTrans(const std::string& connection, std::string& message) = 0;
    virtual bool DBRollbackTrans(const std::string& connection, std::string& message) = 0;
    // Whether a transaction that someone (the host or the module) began is
    // open on the connection: work done then belongs to that transaction.
    virtual bool DBInTransaction(const std::string& connection) = 0;
    // A read of several statements that must see one state of the database
    // while other workstations write: between DBBeginRead and DBEndRead every
    // statement reads the same snapshot (a host transaction already open on
    // the connection serves as it). Writes do not belong in a read. A host
    // that cannot hold a snapshot runs the statements as they come.
    virtual bool DBBeginRead(const std::string& /*connection*/, std::string& /*message*/) { return true; }
    virtual void DBEndRead(const std::string& /*connection*/) {}
    // The database product behind the connection, for the few statements
    // whose form differs between products (the catalogue, table locks):
    // "sqlite", "postgresql", or empty when the host cannot tell.
    virtual std::string DBProduct(const std::string& /*connection*/) { return std::string(); }

    // --- Message boxes and the message catalogue ------------------------------
    virtual void InfoMsgBox(const std::string& text) = 0;
    virtual void ErrorMsgBox(const std::string& text) = 0;
    virtual bool ConfirmMsgBoxA(const std::string& text) = 0;
    // Arguments are joined by the character of code 1. Returns the button
    // pressed, 1 for yes/OK.
    virtual int InforMsg(int number, const std::string& arguments) = 0;
    virtual std::string GetMsg(int number, const std::string& arguments) = 0;

    // --- Log (Quillet) ---------------------------------------------------------
    virtual void Info(const std::string& flag, const std::string& line) = 0;
    virtual void Error(const std::string& flag, const std::string& line) = 0;

    // --- Records ---------------------------------------------------------------
    virtual HostRecord& GetUserInfoVO() = 0;
    virtual HostRecord& GetCompanyInfoVO() = 0;

    // --- Sub-applications ------------------------------------------------------
    virtual SubAppDescriptor* GetMainFrameInfo() = 0;
    virtual SubAppDescriptor* GetpSubAppInfo(const std::string& subAppCode) = 0;
    virtual std::string GetSubAppCode(const std::string& productCode) = 0;
    virtual void GetALLSubAppCodeList(TextList& codes) = 0;
    virtual void GetEnabledSubAppCodeList(TextList& codes) = 0;
    virtual void SetSubAppPerms(const std::string& productCode, bool withdrawn, int reserved) = 0;
    virtual bool CheckFunctionCanUse(const std::string& functionCode) = 0;
    virtual bool CheckAgencyExist() = 0;
    virtual std::string gsAppVerTypeCode() = 0;

    // --- Settings --------------------------------------------------------------
    virtual std::string ReadIniValueStr(const std::string& file, const std::string& section,
                                        const std::string& key, const std::string& defaultValue) = 0;
    // The platform's INI writer: creates file, section and key as needed.
    virtual bool WriteIniValueStr(const std::string& file, const std::string& section, const std::string& key,
                                  const std::string& value) = 0;
    virtual std::string GetUserConfigParam(const std::string& section, const std::string& key,
                                           const std::string& defaultValue) = 0;
    virtual std::string GetSysConfigParam(const std::string& section, const std::string& key,
                                          const std::string& defaultValue) = 0;

    // --- Windows, paths and appearance ----------------------------------------
    virtual std::string GetAppPath() = 0; // ends with a path separator
    virtual HostHandle GetAppHandle() = 0;
    virtual HostHandle GetMainFrameHandle() = 0;
    virtual std::string GetCurFuncCode() = 0;
    virtual std::string GetCurSubAppCode() = 0;
    virtual std::string GetCurSubAppPath() = 0;
    virtual SubAppDescriptor* GetCurSubAppInfo() = 0;
    virtual void* GetCurSubAppVo() = 0;
    virtual HostHandle GetCurParentForm() = 0;
    virtual HostHandle GetgsMainFrameParentForm() = 0;
    // `buffer` points at the buffer pointer, exactly as the host passes argv.
    virtual bool ExecuteFunc(HostHandle owner, const std::string& functionCode, char** buffer) = 0;
    virtual void SetSkinSchemeCtrls(HostHandle window) = 0;
    virtual HostColor gclModuleBackColor() = 0;
    virtual HostColor gclModuleToolBarColor() = 0;
    virtual HostColor gclTopBarColor() = 0;
    virtual HostColor gclFrameBackColor() = 0;
    virtual HostColor gclSysFontColor() = 0;
    virtual int giSysFontSize() = 0;
    virtual int giSysFontCharSet() = 0;

    // --- Main-frame channel (window messages and copy-data) -------------------
    // The window registered under a class name ("Tfrm_MainFrame"), or none.
    virtual HostHandle FindWindowByClass(const std::string& className) = 0;
    // Synchronous: returns once the target handled the message.
    virtual void SendWindowMessage(HostHandle target, unsigned message, std::intptr_t wParam,
                                   std::intptr_t lParam) = 0;
    // Copy-data: `bytes` are sent as they are (host code page, NUL included).
    virtual void SendCopyData(HostHandle target, HostHandle sender, std::uintptr_t kind,
                              const std::vector<char>& bytes) = 0;

    // --- Text ------------------------------------------------------------------
    virtual std::string ReplaceStr(const std::string& text, const std::string& oldText,
                                   const std::string& newText) = 0;
    virtual std::string GetCol(const std::string& text, int index, int separator) = 0;
    virtual bool CapsLockStatus() = 0;

    // --- The toolkit's event loop and clock ------------------------------------
    // Lets pending window messages run (long reads keep the host responsive).
    virtual void ProcessMessages() = 0;
    // Local time now, as a day count from 1899-12-30; tests set it.
    virtual double Now() = 0;
};

// The name of the host's connection every statement runs on.
inline constexpr const char* kMainConnection = "MainAppCon";

// The host the module is bound to. Set once by the binding at load (or by a
// test fixture); every layer reaches the host through it.
Host& CurrentHost();
void BindHost(Host* host);

} // namespace priv
