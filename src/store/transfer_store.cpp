#include "store/transfer_store.h"

#include "store/store_common.h"

#include <algorithm>
#include <cctype>

namespace priv {
namespace {

bool Digits(const std::string& text, std::size_t from, std::size_t count)
{
    if (from + count > text.size())
        return false;
    for (std::size_t i = from; i < from + count; ++i)
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
    return true;
}

// The database's own order depends on its collation; byte order is the same
// everywhere.
template <class Row> void SortByCode(std::vector<Row>& rows)
{
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.Code < b.Code; });
}

std::string DateTimeOrNull(const std::string& text)
{
    return text.empty() ? std::string("NULL") : "'" + store::Text(text) + "'";
}

} // namespace

bool TTransferStore::Open(const std::string& sql)
{
    FLastMessage.clear();
    return store::Run(FLastStatement, FQuery, sql, true, FLastMessage);
}

std::optional<std::vector<DepartmentRow>> TTransferStore::Departments()
{
    if (!Open("SELECT BM_DM, BM_MC FROM XT_BMXX"))
        return std::nullopt;
    std::vector<DepartmentRow> rows;
    for (FQuery.First(); !FQuery.Eof(); FQuery.Next())
        rows.push_back({FQuery.AsString("BM_DM"), FQuery.AsString("BM_MC")});
    SortByCode(rows);
    return rows;
}

std::optional<std::vector<PostRow>> TTransferStore::Posts()
{
    if (!Open("SELECT JS_DM, JS_MC FROM QX_ROLES"))
        return std::nullopt;
    std::vector<PostRow> rows;
    for (FQuery.First(); !FQuery.Eof(); FQuery.Next())
        rows.push_back({FQuery.AsString("JS_DM"), FQuery.AsString("JS_MC")});
    SortByCode(rows);
    return rows;
}

std::optional<std::vector<OperatorRow>> TTransferStore::Operators()
{
    if (!Open("SELECT t1.CZY_DM, t1.CZY_MC, t1.PWD, t1.CZY_LB, t1.SSBM, t1.DESCRIPTION, t1.DHHM, t1.EMAIL, "
              "t1.ZZ, t1.YXBZ, t1.SFXZSJ, t1.XZSJ, t1.ZHDLSJ, t1.BM_DM, t3.JS_DM FROM QX_CZY t1, QX_CZYRROLE "
              "t3 "
              "WHERE t3.CZY_DM=t1.CZY_DM"))
        return std::nullopt;
    std::vector<OperatorRow> rows;
    rows.reserve(static_cast<std::size_t>(FQuery.RecordCount()));
    for (FQuery.First(); !FQuery.Eof(); FQuery.Next()) {
        OperatorRow row;
        row.Code = FQuery.AsString("CZY_DM");
        row.Name = FQuery.AsString("CZY_MC");
        row.Password = FQuery.AsString("PWD");
        row.Category = FQuery.AsString("CZY_LB");
        row.DepartmentText = FQuery.AsString("SSBM");
        row.Description = FQuery.AsString("DESCRIPTION");
        row.Phone = FQuery.AsString("DHHM");
        row.Email = FQuery.AsString("EMAIL");
        row.Address = FQuery.AsString("ZZ");
        row.ValidFlag = FQuery.AsString("YXBZ");
        row.TimeLimitFlag = FQuery.AsString("SFXZSJ");
        row.TimeLimit = DateTimeText(FQuery.AsString("XZSJ"));
        row.LastSignIn = DateTimeText(FQuery.AsString("ZHDLSJ"));
        row.DepartmentCode = FQuery.AsString("BM_DM");
        row.PostCode = FQuery.AsString("JS_DM");
        rows.push_back(std::move(row));
    }
    SortByCode(rows);
    return rows;
}

std::optional<std::vector<CompanyRow>> TTransferStore::Companies()
{
    if (!Open("SELECT QYID, QYSBH, QYMC, LBDM FROM XT_QYXX"))
        return std::nullopt;
    std::vector<CompanyRow> rows;
    for (FQuery.First(); !FQuery.Eof(); FQuery.Next())
        rows.push_back({std::to_string(FQuery.AsInteger("QYID")), FQuery.AsString("QYSBH"),
                        FQuery.AsString("QYMC"), std::to_string(FQuery.AsInteger("LBDM"))});
    std::sort(rows.begin(), rows.end(),
              [](const CompanyRow& a, const CompanyRow& b) { return std::stoll(a.Id) < std::stoll(b.Id); });
    return rows;
}

bool TTransferStore::WriteOperatorExtras(const OperatorRow& row)
{
    FLastMessage.clear();
    return store::Run(FLastStatement, FQuery,
                      "UPDATE QX_CZY SET CZY_LB='" + store::Text(row.Category) + "', DESCRIPTION='" +
                          store::Text(row.Description) + "', SFXZSJ='" + store::Text(row.TimeLimitFlag) +
                          "', XZSJ=" + DateTimeOrNull(row.TimeLimit) + ", ZHDLSJ=" +
                          DateTimeOrNull(row.LastSignIn) + " where CZY_DM='" + store::Text(row.Code) + "'",
                      false, FLastMessage);
}

bool TTransferStore::IsDateTimeText(const std::string& text)
{
    const bool minutes = text.size() == 16 || (text.size() == 19 && text[16] == ':' && Digits(text, 17, 2));
    return minutes && Digits(text, 0, 4) && text[4] == '-' && Digits(text, 5, 2) && text[7] == '-' &&
           Digits(text, 8, 2) && text[10] == ' ' && Digits(text, 11, 2) && text[13] == ':' &&
           Digits(text, 14, 2);
}

std::string TTransferStore::DateTimeText(const std::string& stored)
{
    std::string text = stored;
    // PostgreSQL's timestamps come back with seconds (and ISO's "T" in
    // some drivers); SQLite keeps the text the module wrote.
    if (text.size() >= 19 && text[10] == 'T')
        text[10] = ' ';
    if (text.size() > 19 && text[19] == '.')
        text.resize(19);
    if (IsDateTimeText(text) && text.size() == 19 && text.compare(16, 3, ":00") == 0)
        text.resize(16);
    return text;
}

} // namespace priv
