// Whole-table reads and the few writes that moving privilege data between
// databases needs beyond the other stores: every department, post, operator
// (all columns, as stored) and company, and the operator columns that the
// operator store never writes (category, description, time limit, last
// sign-in). Like every store it speaks to nobody; failures are answers.
#pragma once

#include "boundary/host.h"

#include <optional>
#include <string>
#include <vector>

namespace priv {

struct DepartmentRow {
    std::string Code; // BM_DM
    std::string Name; // BM_MC, as stored (no "——")
};

struct PostRow {
    std::string Code; // JS_DM
    std::string Name; // JS_MC, as stored
};

// An operator as its columns hold it; texts whole (not cut to a record's
// 255 bytes), date-times in the module's written form ("yyyy-mm-dd hh:nn",
// seconds only when they are not zero), empty when null.
struct OperatorRow {
    std::string Code;           // CZY_DM
    std::string Name;           // CZY_MC
    std::string Password;       // PWD, enciphered
    std::string Category;       // CZY_LB
    std::string DepartmentText; // SSBM
    std::string Description;    // DESCRIPTION
    std::string Phone;          // DHHM
    std::string Email;          // EMAIL
    std::string Address;        // ZZ
    std::string ValidFlag;      // YXBZ
    std::string TimeLimitFlag;  // SFXZSJ
    std::string TimeLimit;      // XZSJ
    std::string LastSignIn;     // ZHDLSJ
    std::string DepartmentCode; // BM_DM
    std::string PostCode;       // QX_CZYRROLE.JS_DM
    bool operator==(const OperatorRow&) const = default;
};

struct CompanyRow {
    std::string Id; // QYID in decimal
    std::string TaxNumber;
    std::string Name;
    std::string Category; // LBDM in decimal
};

class TTransferStore {
public:
    TTransferStore() = default;
    TTransferStore(const TTransferStore&) = delete;
    TTransferStore& operator=(const TTransferStore&) = delete;

    // Each list in code order (byte order), so that two reads of the same
    // data give the same sequence on both databases. nullopt when the
    // statement fails (the database's text in LastMessage()).
    std::optional<std::vector<DepartmentRow>> Departments();
    std::optional<std::vector<PostRow>> Posts();
    // Operators that have a post row: every read of operators joins it, so
    // one without it is no operator the module knows.
    std::optional<std::vector<OperatorRow>> Operators();
    std::optional<std::vector<CompanyRow>> Companies();

    // Category, description, time-limit flag, time limit and last sign-in of
    // the operator stored exactly under `row.Code` (empty date-times written
    // as null).
    bool WriteOperatorExtras(const OperatorRow& row);

    // "yyyy-mm-dd hh:nn[:ss]" for a date-time text as either database gives
    // it back; other texts unchanged.
    static std::string DateTimeText(const std::string& stored);
    // Whether a text is a date-time that both databases take:
    // "yyyy-mm-dd hh:nn" or "yyyy-mm-dd hh:nn:ss".
    static bool IsDateTimeText(const std::string& text);

    const std::string& LastStatement() const { return FLastStatement; }
    const std::string& LastMessage() const { return FLastMessage; }

private:
    bool Open(const std::string& sql);

    QueryResult FQuery;
    std::string FLastStatement;
    std::string FLastMessage;
};

} // namespace priv
