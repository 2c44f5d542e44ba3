// The fixed records in which operators, departments and posts travel between
// the stores, the privilege manager, the session and the windows, and the
// 255-byte rule their text fields follow.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace priv {

class QueryResult;

// Every text field of a record holds at most this many bytes in the host's
// code page (GBK); a longer column value keeps its first bytes, never half a
// character.
inline constexpr std::size_t kRecordTextBytes = 255;

// `text` cut to kRecordTextBytes host code-page bytes.
std::string RecordText(std::string_view text);

// One operator. Copied whole; the texts obey the 255-byte rule when read from
// the database. Date-times are day counts from 1899-12-30 (0: no date).
struct OperatorInfo {
    std::string Code;           // CZY_DM
    std::string Name;           // CZY_MC
    std::string Password;       // PWD, enciphered
    std::string PostCode;       // "0" for a super administrator, else QX_CZYRROLE.JS_DM
    std::string PostName;       // display name of the post
    std::string DepartmentName; // XT_BMXX.BM_MC (the sign-in list: SSBM); written to SSBM
    std::string Description;    // DESCRIPTION
    std::string Phone;          // DHHM
    std::string Email;          // EMAIL
    std::string Address;        // ZZ
    std::string ValidFlag;      // YXBZ, "Y" active
    std::string TimeLimitFlag;  // SFXZSJ, read only
    double TimeLimit = 0.0;     // XZSJ, read only
    double LastSignIn = 0.0;    // ZHDLSJ
    std::string DepartmentCode; // BM_DM

    bool operator==(const OperatorInfo&) const = default;
};
using TOperatorInfoList = std::vector<OperatorInfo>;

// One row of the operator window's list: the six fields it shows and acts
// on, not the whole record. A list of a hundred thousand operators so
// takes less than half the memory (and the time) of as many OperatorInfo.
struct OperatorListEntry {
    std::string Code;           // CZY_DM
    std::string Name;           // CZY_MC
    std::string PostCode;       // "0" for a super administrator, else QX_CZYRROLE.JS_DM
    std::string PostName;       // display name of the post
    std::string DepartmentCode; // BM_DM
    std::string DepartmentName; // XT_BMXX.BM_MC, "——" for none

    bool operator==(const OperatorListEntry&) const = default;
};
using TOperatorListEntries = std::vector<OperatorListEntry>;

// The fields of the current row of an opened operator query (the operator
// load and the sign-in list share the columns): code, name, password, post
// code ("0" when CZY_LB is "0", else JS_DM), post name (display name of the
// post over JS_MC), telephone, e-mail, description, address, department name
// (BM_MC), valid flag, SFXZSJ, XZSJ, ZHDLSJ, department code (BM_DM). Nulls
// read as empty text or the zero date-time; texts are cut to 255 bytes.
OperatorInfo ReadOperatorRow(const QueryResult& query);

struct DepartmentInfo {
    std::string Code; // BM_DM
    std::string Name; // BM_MC, "——" when empty
    bool operator==(const DepartmentInfo&) const = default;
};
using TDepartmentList = std::vector<DepartmentInfo>;

struct UserPostInfo {
    std::string Code; // JS_DM
    std::string Name; // JS_MC or the built-in post's own name; "——" when blank
    bool IsBuiltIn = false;
    bool operator==(const UserPostInfo&) const = default;
};
using TUserPostList = std::vector<UserPostInfo>;

// One company a post can be granted (XT_QYXX), its texts as stored.
struct CompanyInfo {
    std::string Id;        // QYID
    std::string TaxNumber; // QYSBH
    std::string Name;      // QYMC
    bool operator==(const CompanyInfo&) const = default;
};
using TCompanyList = std::vector<CompanyInfo>;

// Shown for a name that is empty (departments) or blank (posts).
inline constexpr const char* kEmptyNameText = "——";

} // namespace priv
