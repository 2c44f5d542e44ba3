#include "store/post_store.h"

#include "boundary/status_display.h"
#include "boundary/text.h"
#include "boundary/utilities.h"
#include "store/schema.h"
#include "store/store_common.h"

#include <algorithm>
#include <functional>
#include <unordered_map>

namespace priv {

using store::Text;

namespace {

std::string SaveFailedText(const std::string& what)
{
    return "权限分配失败：保存[" + what + "]信息出错。";
}

std::string DisplayName(const TAbstractPermit& node)
{
    return node.GetName().empty() ? node.GetCode() : node.GetName();
}

// Another workstation got there first: the window reloads the post and the
// administrator decides again on what is really stored.
std::string GrantedElsewhereText(const TAbstractPermit& node)
{
    return "权限分配失败：[" + DisplayName(node) +
           "]已在其他工作站上授予该岗位，请重新打开该岗位的权限后再保存。";
}

std::string RevokedElsewhereText(const TAbstractPermit& node)
{
    return "权限分配失败：[" + DisplayName(node) + "]已在其他工作站上撤销，请重新打开该岗位的权限后再保存。";
}

// The applications this save keeps in a partly granted company were
// withdrawn elsewhere meanwhile: saving would leave the company node bare,
// which grants the whole company.
std::string WidenedElsewhereText(const TAbstractPermit& company)
{
    return "权限分配失败：[" + DisplayName(company) +
           "]的其他应用已在其他工作站上撤销，保存后该单位将被整体授予，请重新打开该岗位的权限后再保存。";
}

// The tree itself keeps no application of a company that it does not grant
// whole.
std::string NothingKeptText(const TAbstractPermit& company)
{
    return "权限分配失败：[" + DisplayName(company) +
           "]已没有任何应用，保存后该单位将被整体授予；请撤销该单位或勾选其应用后再保存。";
}

// Whether the tree still holds a child of the node that this save does not
// withdraw.
bool KeepsAnyChild(const TAbstractPermit& node)
{
    for (int i = 0; i < node.Count(); ++i)
        if (node.Items(i)->PermitState() != kPermitRemoved)
            return true;
    return false;
}

// One sub-application as a built-in post sees it, worked out once per load
// and shared by every company's node of that sub-application.
struct BuiltInSubApp {
    const SubAppDescriptor* descriptor = nullptr;
    std::shared_ptr<const TAppPermit::Texts> texts;
    std::vector<std::shared_ptr<const TAppFuncPermit::Texts>> functions;
};

class BuiltInSubApps {
public:
    BuiltInSubApps(std::string builtInPost, bool everyFunction)
        : post_(std::move(builtInPost)), everyFunction_(everyFunction)
    {
    }

    const BuiltInSubApp& Get(const std::string& code, const SubAppDescriptor& descriptor)
    {
        BuiltInSubApp& entry = entries_[code];
        if (entry.descriptor != &descriptor) {
            entry.descriptor = &descriptor;
            entry.texts = PermitTexts<3>::Make({code, descriptor.product, descriptor.name});
            entry.functions.clear();
            for (const FunctionRecord& function : descriptor.functions)
                if (BuiltInPostHasFunction(function, post_, everyFunction_))
                    entry.functions.push_back(PermitTexts<2>::Make({function.code, function.name}));
        }
        return entry;
    }

private:
    std::string post_;
    bool everyFunction_;
    std::unordered_map<std::string, BuiltInSubApp> entries_;
};

} // namespace

// --- Post table ------------------------------------------------------------------------

bool TRolesMgr::GetPostList(TUserPostList& list)
{
    try {
        if (!store::Run(FLastStatement, FQuery,
                        "select * from QX_ROLES where JS_DM not in('0' ,'SYSTEM' ,'BUSINESS' ,'AUDITOR')",
                        true))
            return false;
        TUserPostList posts;
        posts.reserve(static_cast<std::size_t>(FQuery.RecordCount()) + 3);
        for (const char* code : {schema::kSystemPost, schema::kBusinessPost, schema::kAuditorPost})
            posts.push_back({code, PostDisplayName(code, ""), true});
        for (; !FQuery.Eof(); FQuery.Next()) {
            UserPostInfo post;
            post.Code = RecordText(FQuery.AsString(schema::kPostCode));
            post.Name = RecordText(FQuery.AsString(schema::kPostName));
            if (TrimText(post.Name).empty())
                post.Name = kEmptyNameText;
            posts.push_back(std::move(post));
        }
        list = std::move(posts);
        return true;
    } catch (...) {
        return false;
    }
}

std::optional<std::string> TRolesMgr::StoredPostCode(const std::string& code)
{
    return store::FindStoredCode(FLastStatement, FQuery,
                                 "SELECT JS_DM FROM QX_ROLES WHERE UPPER(JS_DM)=UPPER('", code,
                                 schema::kPostCode);
}

bool TRolesMgr::PostCodeExists(const std::string& code)
{
    return StoredPostCode(code).has_value();
}

bool TRolesMgr::PostNameExists(const std::string& name)
{
    return store::ExistsWithText(FLastStatement, FQuery, "SELECT JS_MC FROM QX_ROLES WHERE JS_MC='", name);
}

bool TRolesMgr::PostInUse(const std::string& code)
{
    // An operator holding the post under another letter case holds it too.
    return store::ExistsWithCode(FLastStatement, FQuery,
                                 "SELECT CZY_DM FROM QX_CZYRROLE WHERE UPPER(JS_DM)=UPPER('", code);
}

bool TRolesMgr::AddPost(const UserPostInfo& post)
{
    try {
        return store::Run(FLastStatement, FQuery,
                          "INSERT INTO QX_ROLES(JS_DM, JS_MC) VALUES('" + Text(post.Code) + "','" +
                              Text(post.Name) + "')",
                          false);
    } catch (...) {
        return false;
    }
}

bool TRolesMgr::ModifyPost(const UserPostInfo& post)
{
    try {
        return store::Run(FLastStatement, FQuery,
                          "UPDATE QX_ROLES SET JS_MC ='" + Text(post.Name) + "' where JS_DM='" +
                              Text(post.Code) + "'",
                          false);
    } catch (...) {
        return false;
    }
}

bool TRolesMgr::DeletePost(const std::string& code)
{
    try {
        const std::optional<std::string> stored = StoredPostCode(code);
        if (!stored)
            return false;
        return store::Run(FLastStatement, FQuery, "DELETE FROM QX_ROLES WHERE JS_DM='" + Text(*stored) + "'",
                          false);
    } catch (...) {
        return false;
    }
}

// --- Single nodes ----------------------------------------------------------------------

bool TRolesMgr::AddPermission(const std::string& postCode, const std::string& targetCode,
                              const std::string& targetName, const std::string& extensionCode,
                              const std::string& parentCode, const std::string& permitType,
                              std::string& newCode)
{
    newCode.clear();
    try {
        const std::string extension = extensionCode.empty() ? "0" : extensionCode;
        const std::string parent = parentCode.empty() ? "0" : parentCode;
        // Both are written bare into the statement.
        if (!store::IsDecimalInteger(extension) || !store::IsDecimalInteger(parent))
            return false;
        if (!store::Run(FLastStatement, FQuery,
                        "INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) VALUES('" +
                            Text(targetCode) + "','" + Text(targetName) + "'," + parent + ",'" +
                            Text(permitType) + "'," + extension + ")",
                        false))
            return false;
        // A read-back that found nothing would make the node's children
        // hang under 0, where the companies of every post live.
        const auto code = store::ParseInt32(FindNewPermissionCode(targetCode));
        if (!code || *code <= 0)
            return false;
        const std::string codeText = std::to_string(*code);
        if (permitType == schema::kPermitTypeCompany &&
            !store::Run(FLastStatement, FQuery,
                        "INSERT INTO QX_ROLEPRMS(JS_DM, PRMS_DM) VALUES('" + Text(postCode) + "'," +
                            codeText + ")",
                        false))
            return false;
        newCode = codeText;
        return true;
    } catch (...) {
        newCode.clear();
        return false;
    }
}

bool TRolesMgr::RemovePermission(const std::string& postCode, const std::string& permitCode)
{
    try {
        if (!store::IsDecimalInteger(permitCode))
            return false;
        if (!store::Run(FLastStatement, FQuery,
                        "DELETE FROM QX_ROLEPRMS WHERE JS_DM='" + Text(postCode) +
                            "' AND PRMS_DM=" + permitCode,
                        false))
            return false;
        DeletePermissionChildren(permitCode);
        return store::Run(FLastStatement, FQuery, "DELETE FROM QX_PRMSMAP WHERE PRMS_DM=" + permitCode,
                          false);
    } catch (...) {
        return false;
    }
}

bool TRolesMgr::DeletePermissionChildren(const std::string& permitCode)
{
    try {
        std::unordered_set<std::string> visited;
        DeleteDescendants(permitCode, visited);
    } catch (...) {
    }
    return true;
}

void TRolesMgr::DeleteDescendants(const std::string& permitCode, std::unordered_set<std::string>& visited)
{
    // Parent 0 is where the company nodes of every post hang: a node that was
    // never stored has no descendants of its own, and asking for the
    // children of 0 would delete every post's grants.
    const auto code = store::ParseInt32(permitCode);
    if (!code || *code <= 0)
        return;
    // A damaged tree whose parents loop back must not recurse for ever.
    if (!visited.insert(permitCode).second)
        return;
    TextList children;
    if (!GetChildPermissionCodes(permitCode, children))
        return;
    for (const std::string& child : children)
        DeleteDescendants(child, visited);
    store::Run(FLastStatement, FQuery, "DELETE FROM QX_PRMSMAP WHERE PARENT_DM=" + permitCode, false);
}

bool TRolesMgr::GetChildPermissionCodes(const std::string& permitCode, TextList& codes)
{
    try {
        if (!store::IsDecimalInteger(permitCode))
            return false;
        if (!store::Run(FLastStatement, FQuery,
                        "SELECT PRMS_DM FROM QX_PRMSMAP WHERE PARENT_DM=" + permitCode, true))
            return false;
        codes.clear();
        for (; !FQuery.Eof(); FQuery.Next())
            codes.push_back(FQuery.AsString(schema::kPermitCode));
        return !codes.empty();
    } catch (...) {
        return false;
    }
}

std::string TRolesMgr::FindNewPermissionCode(const std::string& targetCode)
{
    std::string code = "0";
    try {
        // Only the greatest code counts: a code shared by many posts' nodes
        // must not make every insert read all of them back.
        QueryResult query;
        query.SetMaxRecords(1);
        if (store::Run(FLastStatement, query,
                       "SELECT PRMS_DM FROM QX_PRMSMAP WHERE DYDM='" + Text(targetCode) +
                           "' order by PRMS_DM desc",
                       true))
            code = query.Eof() ? std::string() : query.AsString(schema::kPermitCode);
    } catch (...) {
    }
    return code;
}

// --- Loading ---------------------------------------------------------------------------

bool TRolesMgr::ReadPostTree(const std::string& postCode, TRolePermissions* permissions,
                             const std::function<bool(const std::string&, TRolePermissions&)>& read)
{
    if (!permissions)
        return false;
    // A copy: the caller may hand over the tree's own post code, which
    // setting it afresh replaces.
    const std::string post = postCode; // NOLINT(performance-unnecessary-copy-initialization)
    try {
        permissions->SetPostCode(post);
        permissions->Clear();
        store::ReadSnapshot snapshot;
        const bool loaded = snapshot.Begin() && PostCodeExists(post) && read(post, *permissions);
        if (!loaded)
            permissions->Clear();
        return loaded;
    } catch (...) {
        permissions->Clear();
        return false;
    }
}

bool TRolesMgr::LoadPostPermissions(const std::string& postCode, TRolePermissions* permissions)
{
    return ReadPostTree(postCode, permissions, [this](const std::string& post, TRolePermissions& tree) {
        if (post == schema::kSuperAdminPost)
            return LoadBuiltInPermissions(tree, schema::kSystemPost, true);
        if (post == schema::kSystemPost)
            return LoadBuiltInPermissions(tree, schema::kSystemPost, false);
        if (post == schema::kBusinessPost)
            return LoadBuiltInPermissions(tree, schema::kBusinessPost, false);
        if (FStoredLoad == StoredLoad::InSets)
            return LoadStoredPermissionsInSets(tree, post);
        return LoadStoredPermissions(tree, post);
    });
}

bool TRolesMgr::LoadBuiltInPermissions(TRolePermissions& permissions, const std::string& builtInPost,
                                       bool everyFunction)
{
    if (!store::Run(FLastStatement, FQuery, CompanyListStatement(), true))
        return false;
    Host& host = CurrentHost();
    const bool large = LargeLoad(FQuery.RecordCount());
    ScopedStatus status(large, kLoadingPermissionsText);

    permissions.ReserveChildren(static_cast<std::size_t>(FQuery.RecordCount()));
    for (; !FQuery.Eof(); FQuery.Next()) {
        TCompPermit* company = permissions.AddCompany(kPermitUnchanged);
        company->SetTexts(FQuery.AsString(schema::kCompanyId), FQuery.AsString(schema::kCompanyTaxNumber),
                          FQuery.AsString(schema::kCompanyName));
        if (large)
            host.ProcessMessages();
    }

    BuiltInSubApps subApps(builtInPost, everyFunction);
    TextList codes;
    for (int i = 0; i < permissions.Count(); ++i) {
        TCompPermit* company = permissions.Items(i);
        GetCompanySubAppCodes(codes);
        company->ReserveChildren(codes.size());
        for (const std::string& code : codes) {
            if (const SubAppDescriptor* descriptor = FindSubAppDescriptor(code)) {
                const BuiltInSubApp& shared = subApps.Get(code, *descriptor);
                TAppPermit* app = company->AddSubApp(kPermitUnchanged);
                app->ShareTexts(shared.texts);
                app->ReserveChildren(shared.functions.size());
                for (const auto& function : shared.functions)
                    app->AddFunction(kPermitUnchanged)->ShareTexts(function);
            }
            if (large)
                host.ProcessMessages();
        }
    }
    return true;
}

bool TRolesMgr::LargeLoad(std::int64_t companies)
{
    if (companies <= kLargeLoadCompanies)
        return false;
    if (FOnLargeLoad)
        FOnLargeLoad();
    return true;
}

std::string TRolesMgr::StoredCompaniesStatement(const std::string& postCode)
{
    return std::string("SELECT t1.PRMS_DM,t2.QYID,t2.QYSBH,t2.QYMC") +
           " FROM QX_ROLEPRMS t1, XT_QYXX t2, QX_PRMSMAP t3 WHERE t3.PRMS_DM=t1.PRMS_DM AND "
           "t2.QYID=t3.KZDM AND t1.JS_DM='" +
           Text(postCode) + "' AND t3.PRMS_TYPE='" + schema::kPermitTypeCompany + "'";
}

bool TRolesMgr::LoadStoredPermissions(TRolePermissions& permissions, const std::string& postCode)
{
    if (!store::Run(FLastStatement, FQuery, StoredCompaniesStatement(postCode), true))
        return false;
    Host& host = CurrentHost();
    const bool large = LargeLoad(FQuery.RecordCount());
    ScopedStatus status(large, kLoadingPermissionsText);

    permissions.ReserveChildren(static_cast<std::size_t>(FQuery.RecordCount()));
    for (; !FQuery.Eof(); FQuery.Next()) {
        TCompPermit* company = permissions.AddCompany(kPermitUnchanged);
        company->SetPermitCode(static_cast<std::int32_t>(FQuery.AsInteger(schema::kPermitCode)));
        company->SetParentCode(0);
        company->SetTexts(FQuery.AsString(schema::kCompanyId), FQuery.AsString(schema::kCompanyTaxNumber),
                          FQuery.AsString(schema::kCompanyName));
        if (large)
            host.ProcessMessages();
    }

    PermitTextPool pool;
    QueryResult subAppRows;
    QueryResult functionRows;
    for (int i = 0; i < permissions.Count(); ++i) {
        TCompPermit* company = permissions.Items(i);
        // A company whose sub-applications cannot be read would otherwise
        // look wholly granted: the load fails instead.
        if (!store::Run(
                FLastStatement, subAppRows,
                "SELECT t2.PRMS_DM, t2.PARENT_DM, t2.DYDM FROM QX_PRMSMAP t2 WHERE t2.PRMS_TYPE='20' AND "
                "t2.PARENT_DM=" +
                    std::to_string(company->PermitCode()),
                true))
            return false;
        company->SetAllGranted(subAppRows.Eof());
        company->ReserveChildren(static_cast<std::size_t>(subAppRows.RecordCount()));
        for (; !subAppRows.Eof(); subAppRows.Next()) {
            const std::string code = subAppRows.AsString(schema::kPermitTarget);
            if (const SubAppDescriptor* descriptor = FindSubAppDescriptor(code)) {
                TAppPermit* app = company->AddSubApp(kPermitUnchanged);
                app->SetPermitCode(static_cast<std::int32_t>(subAppRows.AsInteger(schema::kPermitCode)));
                app->SetParentCode(static_cast<std::int32_t>(subAppRows.AsInteger(schema::kPermitParent)));
                app->ShareTexts(pool.SubApp(code, descriptor->product, descriptor->name));
                // Failing here rather than leaving the sub-application
                // without (or with someone else's) functions.
                if (!store::Run(FLastStatement, functionRows,
                                "SELECT t2.PRMS_DM,t2.PARENT_DM,t2.DYDM,t2.DYMC FROM QX_PRMSMAP t2 WHERE "
                                "t2.PRMS_TYPE='30' AND t2.PARENT_DM=" +
                                    std::to_string(app->PermitCode()),
                                true))
                    return false;
                app->ReserveChildren(static_cast<std::size_t>(functionRows.RecordCount()));
                for (; !functionRows.Eof(); functionRows.Next()) {
                    TAppFuncPermit* function = app->AddFunction(kPermitUnchanged);
                    function->SetPermitCode(
                        static_cast<std::int32_t>(functionRows.AsInteger(schema::kPermitCode)));
                    function->SetParentCode(
                        static_cast<std::int32_t>(functionRows.AsInteger(schema::kPermitParent)));
                    function->ShareTexts(pool.Function(functionRows.AsString(schema::kPermitTarget),
                                                       functionRows.AsString(schema::kPermitTargetName)));
                }
            }
            if (large)
                host.ProcessMessages();
        }
    }
    return true;
}

// The same tree read in three set statements: the companies as above, then
// every sub-application node of the post's companies, then every function
// node beneath those, each joined from the post's grant rows.
bool TRolesMgr::LoadStoredPermissionsInSets(TRolePermissions& permissions, const std::string& postCode)
{
    if (!ReadStoredCompanies(permissions, postCode))
        return false;
    const bool large = LargeLoad(permissions.Count());
    ScopedStatus status(large, kLoadingPermissionsText);
    CompanyNodes companies;
    for (int i = 0; i < permissions.Count(); ++i)
        companies[permissions.Items(i)->PermitCode()].push_back(permissions.Items(i));
    if (large)
        CurrentHost().ProcessMessages();
    return ReadGrantsInSets(postCode, companies, std::string(), large);
}

bool TRolesMgr::ReadStoredCompanies(TRolePermissions& permissions, const std::string& postCode)
{
    if (!store::Run(FLastStatement, FQuery, StoredCompaniesStatement(postCode), true))
        return false;
    permissions.ReserveChildren(static_cast<std::size_t>(FQuery.RecordCount()));
    for (; !FQuery.Eof(); FQuery.Next()) {
        TCompPermit* company = permissions.AddCompany(kPermitUnchanged);
        company->SetPermitCode(static_cast<std::int32_t>(FQuery.AsInteger(schema::kPermitCode)));
        company->SetParentCode(0);
        company->SetTexts(FQuery.AsString(schema::kCompanyId), FQuery.AsString(schema::kCompanyTaxNumber),
                          FQuery.AsString(schema::kCompanyName));
        // Nothing beneath it is known yet.
        company->SetAllGranted(false);
    }
    return true;
}

// The children of one node keep the order of their codes, as the statement
// per node reads them from its index.
bool TRolesMgr::ReadGrantsInSets(const std::string& postCode, const CompanyNodes& companies,
                                 const std::string& grantCondition, bool large)
{
    for (const auto& [code, nodes] : companies)
        for (TCompPermit* company : nodes) {
            company->Clear();
            company->SetAllGranted(true);
        }

    // The rows of FQuery by parent, each node once (the post's grant rows may
    // repeat one), in the order of their codes; the texts stay in FQuery.
    struct Row {
        std::int32_t code;
        std::int32_t parent;
        std::size_t row;
    };
    auto orderRows = [this] {
        std::vector<Row> rows;
        rows.reserve(static_cast<std::size_t>(FQuery.RecordCount()));
        for (std::size_t row = 0; !FQuery.Eof(); FQuery.Next(), ++row)
            rows.push_back({static_cast<std::int32_t>(FQuery.AsInteger(schema::kPermitCode)),
                            static_cast<std::int32_t>(FQuery.AsInteger(schema::kPermitParent)), row});
        const auto byParentThenCode = [](const Row& a, const Row& b) {
            return a.parent != b.parent ? a.parent < b.parent : a.code < b.code;
        };
        // SQLite's plan hands them over in this order already.
        if (!std::is_sorted(rows.begin(), rows.end(), byParentThenCode))
            std::sort(rows.begin(), rows.end(), byParentThenCode);
        rows.erase(
            std::unique(rows.begin(), rows.end(),
                        [](const Row& a, const Row& b) { return a.code == b.code && a.parent == b.parent; }),
            rows.end());
        return rows;
    };

    const std::string grants = "t1.JS_DM='" + Text(postCode) + "'" + grantCondition;
    if (!store::Run(FLastStatement, FQuery,
                    "SELECT t2.PRMS_DM, t2.PARENT_DM, t2.DYDM FROM QX_ROLEPRMS t1, QX_PRMSMAP t2 WHERE " +
                        grants + " AND t2.PARENT_DM=t1.PRMS_DM AND t2.PRMS_TYPE='20'",
                    true))
        return false;
    PermitTextPool pool;
    std::unordered_map<std::int32_t, std::vector<TAppPermit*>> apps;
    for (const Row& row : orderRows()) {
        const auto owners = companies.find(row.parent);
        if (owners == companies.end())
            continue;
        FQuery.MoveTo(row.row);
        const std::string target = FQuery.AsString(schema::kPermitTarget);
        const SubAppDescriptor* descriptor = FindSubAppDescriptor(target);
        for (TCompPermit* company : owners->second) {
            company->SetAllGranted(false);
            if (!descriptor)
                continue;
            TAppPermit* app = company->AddSubApp(kPermitUnchanged);
            app->SetPermitCode(row.code);
            app->SetParentCode(row.parent);
            app->ShareTexts(pool.SubApp(target, descriptor->product, descriptor->name));
            apps[row.code].push_back(app);
        }
    }
    if (large)
        CurrentHost().ProcessMessages();

    if (!store::Run(FLastStatement, FQuery,
                    "SELECT t3.PRMS_DM,t3.PARENT_DM,t3.DYDM,t3.DYMC FROM QX_ROLEPRMS t1, QX_PRMSMAP t2, "
                    "QX_PRMSMAP t3 WHERE " +
                        grants +
                        " AND t2.PARENT_DM=t1.PRMS_DM AND t2.PRMS_TYPE='20' AND t3.PARENT_DM=t2.PRMS_DM AND "
                        "t3.PRMS_TYPE='30'",
                    true))
        return false;
    for (const Row& row : orderRows()) {
        const auto owners = apps.find(row.parent);
        if (owners == apps.end())
            continue;
        FQuery.MoveTo(row.row);
        const auto texts =
            pool.Function(FQuery.AsString(schema::kPermitTarget), FQuery.AsString(schema::kPermitTargetName));
        for (TAppPermit* app : owners->second) {
            TAppFuncPermit* function = app->AddFunction(kPermitUnchanged);
            function->SetPermitCode(row.code);
            function->SetParentCode(row.parent);
            function->ShareTexts(texts);
        }
    }
    FQuery.Reset({});
    return true;
}

bool TRolesMgr::LoadPostCompanies(const std::string& postCode, TRolePermissions* permissions)
{
    return ReadPostTree(postCode, permissions, [this](const std::string& post, TRolePermissions& tree) {
        // The built-in posts' sets are made, not stored.
        return !IsSuperAdmin(post) && !IsSystemPost(post) && !IsBusinessPost(post) &&
               ReadStoredCompanies(tree, post);
    });
}

TRolesMgr::CompanyGrants TRolesMgr::LoadCompanyGrants(const std::string& postCode, TCompPermit& company)
{
    try {
        store::ReadSnapshot snapshot;
        if (snapshot.Begin()) {
            // Without this a company withdrawn since its post was read would
            // have no sub-applications to read and look wholly granted.
            std::optional<bool> held = NodeStored(postCode, company);
            if (held && !*held) {
                // Withdrawn and granted again elsewhere, the company stands
                // under a new node: that one is what the post holds now.
                const std::optional<std::int32_t> current = CurrentCompanyNode(postCode, company.CompanyId());
                held = current.has_value();
                if (current && *current <= 0) {
                    company.Clear();
                    company.SetAllGranted(false);
                    return CompanyGrants::Withdrawn;
                }
                if (current)
                    company.SetPermitCode(*current);
            }
            const CompanyNodes companies{{company.PermitCode(), {&company}}};
            if (held && ReadGrantsInSets(postCode, companies,
                                         " AND t1.PRMS_DM=" + std::to_string(company.PermitCode()), false))
                return CompanyGrants::Read;
        }
    } catch (...) {
    }
    company.Clear();
    company.SetAllGranted(false);
    return CompanyGrants::Unreadable;
}

// --- Saving ----------------------------------------------------------------------------

bool TRolesMgr::SavePostPermissions(TRolePermissions* permissions, std::string& message)
{
    if (!permissions)
        return false;
    AssignedCodes assigned;
    // A failed attempt leaves the tree as it was: codes given to added nodes
    // belong to rows that the rollback removed, and a retry inserts again.
    auto restoreCodes = [&assigned] {
        for (auto it = assigned.rbegin(); it != assigned.rend(); ++it)
            it->first->SetPermitCode(it->second);
    };
    FConflict = false;
    FPostHeld = false;
    FHoldFailed = false;
    FWrites = 0;
    try {
        const std::string postCode = permissions->PostCode();
        if (postCode.empty())
            return false;
        // A post whose row is missing is not saved and says nothing more;
        // a database that cannot answer says why.
        const std::optional<bool> stored = PostRowStored(postCode, message);
        if (!stored || !*stored)
            return false;
        store::Transaction transaction;
        std::string beginMessage;
        if (!transaction.Begin(&beginMessage)) {
            message = "权限分配失败：无法开始数据库事务：" + beginMessage;
            return false;
        }
        if (!SaveChildPermissions(postCode, *permissions, message, assigned)) {
            transaction.Rollback(std::string());
            restoreCodes();
            return false;
        }
        std::string commitMessage;
        if (!transaction.Commit(&commitMessage)) {
            message = "权限分配失败：" + commitMessage;
            restoreCodes();
            return false;
        }
        permissions->AcceptSavedState();
        return true;
    } catch (...) {
        restoreCodes();
        return false;
    }
}

bool TRolesMgr::SaveChildPermissions(const std::string& postCode, TAbstractPermit& parent,
                                     std::string& message, AssignedCodes& assigned)
{
    const bool parentIsPost = parent.PermitType().empty();
    for (int i = 0; i < parent.Count(); ++i) {
        TAbstractPermit* child = parent.Items(i);
        const std::int32_t state = child->PermitState();
        const int writesBefore = FWrites;
        bool saved = true;
        if ((state == kPermitAdded || state == kPermitRemoved) &&
            (!HoldPost(postCode, message) || !StillApplies(postCode, parent, *child, message)))
            return false;
        if (state == kPermitAdded) {
            // Only companies hang under 0; a sub-application or function
            // needs a parent that is stored.
            if (!parentIsPost && parent.PermitCode() <= 0) {
                saved = false;
            } else {
                std::string newCode;
                AddPermission(postCode, child->GetCode(), child->GetName(),
                              child->PermitType() == schema::kPermitTypeCompany ? child->GetCode()
                                                                                : std::string(),
                              std::to_string(parent.PermitCode()), child->PermitType(), newCode);
                const auto code = store::ParseInt32(newCode);
                saved = code.has_value();
                if (saved) {
                    assigned.emplace_back(child, child->PermitCode());
                    child->SetPermitCode(*code);
                }
            }
        } else if (state == kPermitRemoved) {
            saved = RemovePermission(postCode, std::to_string(child->PermitCode()));
        }
        if (saved && state != kPermitUnchanged)
            ++FWrites;
        if (!saved) {
            message = SaveFailedText(child->GetName().empty() ? child->GetCode() : child->GetName());
            return false;
        }
        if (state == kPermitRemoved)
            continue;
        if (child->AllGranted()) {
            // Everything beneath is granted: what was stored beneath goes. A
            // node that was never stored (code 0) has nothing beneath it.
            if (child->PermitCode() > 0) {
                const std::string code = std::to_string(child->PermitCode());
                TextList beneath;
                if (GetChildPermissionCodes(code, beneath)) {
                    if (!HoldPost(postCode, message))
                        return false;
                    DeletePermissionChildren(code);
                }
            }
        } else if (!SaveChildPermissions(postCode, *child, message, assigned)) {
            // A conflict or a post that cannot be held names its cause
            // plainly, at any depth.
            if (!FConflict && !FHoldFailed)
                message = SaveFailedText(message);
            return false;
        } else if (parentIsPost && FWrites != writesBefore && !StillPartlyGranted(*child, message)) {
            return false;
        }
    }
    return true;
}

bool TRolesMgr::StillPartlyGranted(const TAbstractPermit& company, std::string& message)
{
    // Runs under the post's lock (this save has written beneath the
    // company), after everything else that was saved beneath it: what it
    // reads is what this save commits. Two workstations that each withdraw
    // a different application of the same company would otherwise leave
    // the node bare, and a bare company node grants the whole company.
    const std::optional<bool> kept =
        Holds("SELECT PRMS_DM FROM QX_PRMSMAP WHERE PARENT_DM=" + std::to_string(company.PermitCode()) +
              " AND PRMS_TYPE='" + schema::kPermitTypeApp + "'");
    if (!kept) {
        message = SaveFailedText(DisplayName(company));
        return false;
    }
    if (*kept)
        return true;
    if (KeepsAnyChild(company)) {
        FConflict = true;
        message = WidenedElsewhereText(company);
    } else {
        message = NothingKeptText(company);
    }
    return false;
}

// --- Several workstations ---------------------------------------------------------------

bool TRolesMgr::HoldPost(const std::string& postCode, std::string& message)
{
    if (FPostHeld)
        return true;
    std::string lockMessage;
    if (!LockPost(postCode, lockMessage)) {
        FHoldFailed = true;
        if (!lockMessage.empty())
            message = lockMessage;
        return false;
    }
    FPostHeld = true;
    return true;
}

bool TRolesMgr::LockPost(const std::string& postCode, std::string& message)
{
    message.clear();
    try {
        // Writing the row (to what it holds) takes its lock until the
        // transaction ends, on every database the host supports.
        std::string lockMessage;
        if (!store::Run(FLastStatement, FQuery,
                        "UPDATE QX_ROLES SET JS_MC=JS_MC WHERE JS_DM='" + Text(postCode) + "'", false,
                        lockMessage)) {
            message = "权限分配失败：岗位[" + postCode +
                      "]的权限正在其他工作站上保存或已被修改，请重新打开该岗位的权限后再试。\r\n" +
                      lockMessage;
            return false;
        }
        // The row went meanwhile: nothing is written, nothing more is said.
        return PostRowStored(postCode, message).value_or(false);
    } catch (...) {
        return false;
    }
}

std::optional<bool> TRolesMgr::PostRowStored(const std::string& postCode, std::string& message)
{
    std::string reason;
    if (!store::Run(FLastStatement, FQuery, "SELECT JS_DM FROM QX_ROLES WHERE JS_DM='" + Text(postCode) + "'",
                    true, reason)) {
        message = "权限分配失败：" + reason;
        return std::nullopt;
    }
    return !FQuery.Eof();
}

std::optional<bool> TRolesMgr::Holds(std::string sql)
{
    std::string ignored;
    if (!store::Run(FLastStatement, FQuery, std::move(sql), true, ignored))
        return std::nullopt;
    return !FQuery.Eof();
}

std::optional<bool> TRolesMgr::PostHoldsCompany(const std::string& postCode, const std::string& companyId)
{
    // KZDM is written bare: a company code that is no number is held by no
    // node (and cannot be added either).
    if (!store::IsDecimalInteger(companyId))
        return false;
    return Holds("SELECT t1.PRMS_DM FROM QX_ROLEPRMS t1, QX_PRMSMAP t3 WHERE t3.PRMS_DM=t1.PRMS_DM AND "
                 "t1.JS_DM='" +
                 Text(postCode) + "' AND t3.PRMS_TYPE='" + schema::kPermitTypeCompany +
                 "' AND t3.KZDM=" + companyId);
}

std::optional<std::int32_t> TRolesMgr::CurrentCompanyNode(const std::string& postCode,
                                                          const std::string& companyId)
{
    if (!store::IsDecimalInteger(companyId))
        return 0;
    // As the post's companies are read: through the company's own row.
    std::string ignored;
    if (!store::Run(FLastStatement, FQuery,
                    "SELECT t1.PRMS_DM FROM QX_ROLEPRMS t1, XT_QYXX t2, QX_PRMSMAP t3 WHERE "
                    "t3.PRMS_DM=t1.PRMS_DM AND t2.QYID=t3.KZDM AND t1.JS_DM='" +
                        Text(postCode) + "' AND t3.PRMS_TYPE='" + schema::kPermitTypeCompany +
                        "' AND t3.KZDM=" + companyId + " ORDER BY t1.PRMS_DM",
                    true, ignored))
        return std::nullopt;
    if (FQuery.Eof())
        return 0;
    return static_cast<std::int32_t>(FQuery.AsInteger(schema::kPermitCode));
}

std::optional<bool> TRolesMgr::NodeStored(const std::string& postCode, const TAbstractPermit& node)
{
    const std::string code = std::to_string(node.PermitCode());
    if (node.PermitType() == schema::kPermitTypeCompany)
        return Holds("SELECT t1.PRMS_DM FROM QX_ROLEPRMS t1, QX_PRMSMAP t3 WHERE t3.PRMS_DM=t1.PRMS_DM AND "
                     "t1.JS_DM='" +
                     Text(postCode) + "' AND t1.PRMS_DM=" + code);
    // Codes are never handed out twice, so a node with this code is this node.
    return Holds("SELECT PRMS_DM FROM QX_PRMSMAP WHERE PRMS_DM=" + code);
}

std::optional<bool> TRolesMgr::ChildStored(std::int32_t parentCode, const std::string& permitType,
                                           const std::string& targetCode)
{
    return Holds("SELECT PRMS_DM FROM QX_PRMSMAP WHERE PARENT_DM=" + std::to_string(parentCode) +
                 " AND PRMS_TYPE='" + Text(permitType) + "' AND DYDM='" + Text(targetCode) + "'");
}

bool TRolesMgr::StillApplies(const std::string& postCode, const TAbstractPermit& parent,
                             const TAbstractPermit& child, std::string& message)
{
    const bool parentIsPost = parent.PermitType().empty();
    const auto conflict = [&](std::string text) {
        FConflict = true;
        message = std::move(text);
        return false;
    };
    std::optional<bool> held;
    if (child.PermitState() == kPermitRemoved) {
        // Never stored: nothing of it can have gone.
        if (child.PermitCode() <= 0)
            return true;
        held = NodeStored(postCode, child);
        if (held && !*held)
            return conflict(RevokedElsewhereText(child));
    } else if (parentIsPost) {
        held = PostHoldsCompany(postCode, child.GetCode());
        if (held && *held)
            return conflict(GrantedElsewhereText(child));
    } else if (parent.PermitState() == kPermitAdded || parent.PermitCode() <= 0) {
        // A parent made by this very save has no other children yet (and a
        // parent never stored fails when the child is added).
        return true;
    } else {
        held = NodeStored(postCode, parent);
        if (held && !*held)
            return conflict(RevokedElsewhereText(parent));
        if (held)
            held = ChildStored(parent.PermitCode(), child.PermitType(), child.GetCode());
        if (held && *held)
            return conflict(GrantedElsewhereText(child));
    }
    if (!held) {
        message = SaveFailedText(DisplayName(child));
        return false;
    }
    return true;
}

} // namespace priv
