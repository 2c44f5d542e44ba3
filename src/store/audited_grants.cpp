#include "store/audited_grants.h"

#include "boundary/host.h"
#include "boundary/utilities.h"
#include "store/schema.h"
#include "store/store_common.h"

#include <charconv>
#include <optional>

namespace priv::audit {
namespace {

constexpr const char* kReadFailedText = "无法读取岗位的现有权限";

std::string Joined(const std::set<std::string>& codes)
{
    std::string text;
    for (const std::string& code : codes)
        text += (text.empty() ? "" : "、") + code;
    return text.empty() ? "无" : text;
}

// "02（功能：a、b）、03（功能：无）"
std::string ApplicationsText(const std::map<std::string, std::set<std::string>>& applications)
{
    std::string text;
    for (const auto& [code, functions] : applications)
        text += (text.empty() ? "" : "、") + code + "（功能：" + Joined(functions) + "）";
    return text;
}

void Add(std::string& detail, const std::string& piece)
{
    detail += "；" + piece;
}

// What became of one company that the post holds both before and after.
std::string CompanyChange(const CompanyGrant& before, const CompanyGrant& after)
{
    std::string detail;
    if (before.whole && !after.whole) {
        Add(detail, "整个单位→部分应用：" + ApplicationsText(after.applications));
        return detail;
    }
    if (!before.whole && after.whole) {
        Add(detail, "部分应用→整个单位");
        return detail;
    }
    std::map<std::string, std::set<std::string>> added, withdrawn;
    for (const auto& [code, functions] : after.applications)
        if (!before.applications.contains(code))
            added.emplace(code, functions);
    for (const auto& [code, functions] : before.applications)
        if (!after.applications.contains(code))
            withdrawn.emplace(code, functions);
    if (!added.empty())
        Add(detail, "新增应用：" + ApplicationsText(added));
    if (!withdrawn.empty()) {
        std::set<std::string> codes;
        for (const auto& entry : withdrawn)
            codes.insert(entry.first);
        Add(detail, "收回应用：" + Joined(codes));
    }
    for (const auto& [code, functions] : after.applications) {
        const auto was = before.applications.find(code);
        if (was == before.applications.end())
            continue;
        std::set<std::string> gained, lost;
        for (const std::string& function : functions)
            if (!was->second.contains(function))
                gained.insert(function);
        for (const std::string& function : was->second)
            if (!functions.contains(function))
                lost.insert(function);
        if (!gained.empty())
            Add(detail, "应用 " + code + " 新增功能：" + Joined(gained));
        if (!lost.empty())
            Add(detail, "应用 " + code + " 收回功能：" + Joined(lost));
    }
    return detail;
}

// KZDM as the database hands it back for a code the save writes bare;
// nothing for a code that does not fit the column's integers.
std::optional<std::string> CanonicalCompanyId(const std::string& code)
{
    if (!store::IsDecimalInteger(code))
        return std::nullopt;
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(code.data(), code.data() + code.size(), value);
    if (error != std::errc() || end != code.data() + code.size())
        return std::nullopt;
    return std::to_string(value);
}

// Whether the save may write beneath a company it neither adds nor
// withdraws, as the log sees it: sub-applications or functions added or
// withdrawn, or a company or sub-application granted whole, whose rows
// beneath the save clears.
bool MayWriteBeneath(const TCompPermit& company)
{
    if (company.AllGranted())
        return company.PermitCode() > 0;
    for (int a = 0; a < company.Count(); ++a) {
        const TAppPermit* application = company.Items(a);
        if (application->PermitState() != kPermitUnchanged || application->AllGranted())
            return true;
        for (int f = 0; f < application->Count(); ++f)
            if (application->Items(f)->PermitState() != kPermitUnchanged)
                return true;
    }
    return false;
}

// What a company the save adds holds once written: exactly the nodes of
// the tree that the save inserts beneath it.
CompanyGrant SavedGrant(const TCompPermit& company)
{
    CompanyGrant grant;
    if (company.AllGranted())
        return grant;
    for (int a = 0; a < company.Count(); ++a) {
        const TAppPermit* application = company.Items(a);
        if (application->PermitState() != kPermitAdded || application->PermitType() != schema::kPermitTypeApp)
            continue;
        std::set<std::string>& functions = grant.applications[application->GetCode()];
        if (application->AllGranted())
            continue;
        for (int f = 0; f < application->Count(); ++f) {
            const TAppFuncPermit* function = application->Items(f);
            if (function->PermitState() == kPermitAdded &&
                function->PermitType() == schema::kPermitTypeFunction)
                functions.insert(function->GetCode());
        }
    }
    grant.whole = grant.applications.empty();
    return grant;
}

} // namespace

bool ReadPostGrants(const std::string& postCode, const std::set<std::string>& companyIds, PostGrants& grants)
{
    grants.clear();
    std::string idList;
    for (const std::string& id : companyIds)
        if (store::IsDecimalInteger(id)) // written bare, as the save writes KZDM
            idList += (idList.empty() ? "" : ",") + id;
    if (idList.empty())
        return true;
    const std::string post = store::Text(postCode);
    std::string statement;
    QueryResult rows;
    // Company nodes by their code, so that the levels below find them.
    std::map<std::int64_t, CompanyGrant*> companies;
    if (!store::Run(
            statement, rows,
            "SELECT t1.PRMS_DM, t3.KZDM FROM QX_ROLEPRMS t1, QX_PRMSMAP t3 WHERE t3.PRMS_DM=t1.PRMS_DM "
            "AND t1.JS_DM='" +
                post + "' AND t3.PRMS_TYPE='" + schema::kPermitTypeCompany + "' AND t3.KZDM IN (" + idList +
                ")",
            true))
        return false;
    std::string nodeList;
    for (; !rows.Eof(); rows.Next()) {
        const std::int64_t node = rows.AsInteger(schema::kPermitCode);
        companies[node] = &grants[rows.AsString("KZDM")];
        nodeList += (nodeList.empty() ? "" : ",") + std::to_string(node);
    }
    if (nodeList.empty())
        return true;

    std::map<std::int64_t, std::set<std::string>*> applications;
    if (!store::Run(statement, rows,
                    "SELECT t2.PRMS_DM, t2.PARENT_DM, t2.DYDM FROM QX_ROLEPRMS t1, QX_PRMSMAP t2 WHERE "
                    "t2.PARENT_DM=t1.PRMS_DM AND t1.JS_DM='" +
                        post + "' AND t1.PRMS_DM IN (" + nodeList + ") AND t2.PRMS_TYPE='" +
                        schema::kPermitTypeApp + "'",
                    true))
        return false;
    for (; !rows.Eof(); rows.Next()) {
        const auto company = companies.find(rows.AsInteger("PARENT_DM"));
        if (company == companies.end())
            continue;
        company->second->whole = false;
        applications[rows.AsInteger(schema::kPermitCode)] =
            &company->second->applications[rows.AsString("DYDM")];
    }
    if (applications.empty())
        return true;

    if (!store::Run(statement, rows,
                    "SELECT t4.PARENT_DM, t4.DYDM FROM QX_ROLEPRMS t1, QX_PRMSMAP t2, QX_PRMSMAP t4 WHERE "
                    "t2.PARENT_DM=t1.PRMS_DM AND t4.PARENT_DM=t2.PRMS_DM AND t1.JS_DM='" +
                        post + "' AND t1.PRMS_DM IN (" + nodeList + ") AND t2.PRMS_TYPE='" +
                        schema::kPermitTypeApp + "' AND t4.PRMS_TYPE='" + schema::kPermitTypeFunction + "'",
                    true))
        return false;
    for (; !rows.Eof(); rows.Next()) {
        const auto application = applications.find(rows.AsInteger("PARENT_DM"));
        if (application != applications.end())
            application->second->insert(rows.AsString("DYDM"));
    }
    return true;
}

std::vector<Event> GrantChanges(const std::string& postCode, const PostGrants& before,
                                const PostGrants& after)
{
    std::set<std::string> companies;
    for (const auto& entry : before)
        companies.insert(entry.first);
    for (const auto& entry : after)
        companies.insert(entry.first);
    std::vector<Event> events;
    for (const std::string& company : companies) {
        const auto was = before.find(company);
        const auto is = after.find(company);
        std::string detail = "单位：" + company;
        if (was == before.end()) {
            Add(detail, is->second.whole ? "授予整个单位"
                                         : "授予单位，应用：" + ApplicationsText(is->second.applications));
        } else if (is == after.end()) {
            Add(detail, "收回单位");
        } else if (was->second == is->second) {
            continue;
        } else {
            detail += CompanyChange(was->second, is->second);
        }
        events.push_back(Event{kGrantsSave, kObjectPost, postCode, detail});
    }
    return events;
}

bool RecordedGrantSave::Begin(const TRolePermissions& tree, std::string& message)
{
    postCode_ = tree.PostCode();
    if (!change_.Begin()) {
        message = "权限分配失败：操作日志不可用：" + change_.Failure();
        return false;
    }
    if (!change_.Recording())
        return true;
    ScopeOf(tree);
    if (!ReadPostGrants(postCode_, readBack_, before_)) {
        message = std::string("权限分配失败：") + kReadFailedText + "。";
        return false;
    }
    return true;
}

void RecordedGrantSave::ScopeOf(const TRolePermissions& tree)
{
    readBack_.clear();
    added_.clear();
    // A company the save adds is taken from the tree, under its code as the
    // database hands KZDM back; a code that does not fit is read back.
    std::map<std::string, const TCompPermit*> added;
    for (int i = 0; i < tree.Count(); ++i) {
        const TCompPermit* company = tree.Items(i);
        switch (company->PermitState()) {
        case kPermitAdded:
            if (const std::optional<std::string> id = CanonicalCompanyId(company->GetCode()))
                added.emplace(*id, company);
            else
                readBack_.insert(company->GetCode());
            break;
        case kPermitRemoved:
            if (company->PermitCode() > 0)
                readBack_.insert(company->GetCode());
            break;
        default:
            if (MayWriteBeneath(*company))
                readBack_.insert(company->GetCode());
            break;
        }
    }
    std::set<std::string> readIds;
    for (const std::string& code : readBack_)
        if (const std::optional<std::string> id = CanonicalCompanyId(code))
            readIds.insert(*id);
    // A company the tree both withdraws and adds again under another node
    // is read back whole, as the database then holds it.
    for (const auto& [id, company] : added) {
        if (readIds.contains(id))
            readBack_.insert(company->GetCode());
        else
            added_.emplace(id, company);
    }
}

bool RecordedGrantSave::Finish(std::string& message)
{
    if (!change_.Recording())
        return true;
    PostGrants after;
    if (!ReadPostGrants(postCode_, readBack_, after)) {
        message = std::string("权限分配失败：") + kReadFailedText + "。";
        return false;
    }
    for (const auto& [id, company] : added_)
        after[id] = SavedGrant(*company);
    if (!change_.RecordAll(GrantChanges(postCode_, before_, after))) {
        message = "权限分配失败：操作日志写入失败：" + change_.Failure();
        return false;
    }
    return true;
}

bool RecordedGrantSave::Commit(std::string& message)
{
    if (change_.Commit())
        return true;
    message = change_.Failure();
    return false;
}

} // namespace priv::audit
