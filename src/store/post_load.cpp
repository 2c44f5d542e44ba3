// The post store's loads: a post's permission tree made for the built-in
// posts, read for a created post in set statements, or read one company at
// a time for the signed-in operator's session.
#include "store/post_store.h"

#include "boundary/event_slice.h"
#include "boundary/status_display.h"
#include "store/schema.h"
#include "store/store_common.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace priv {

using store::Text;

namespace {

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

// Hands a query's rows to `sink` for as long as it lives; the sink never
// outlives what it refers to, however the reader leaves.
class RowSinkScope {
public:
    RowSinkScope(QueryResult& query, QueryResult::RowSink sink) : query_(query)
    {
        query_.SetRowSink(std::move(sink));
    }
    ~RowSinkScope() { query_.SetRowSink(nullptr); }
    RowSinkScope(const RowSinkScope&) = delete;
    RowSinkScope& operator=(const RowSinkScope&) = delete;

private:
    QueryResult& query_;
};

} // namespace

// --- Loading ---------------------------------------------------------------------------

bool TRolesMgr::ReadPostTree(const std::string& postCode, TRolePermissions* permissions,
                             const std::function<bool(const std::string&, TRolePermissions&)>& read)
{
    if (!permissions)
        return false;
    // A copy: the caller may hand over the tree's own post code, which
    // setting it afresh replaces.
    // NOLINTNEXTLINE(performance-unnecessary-copy-initialization)
    const std::string post = postCode;
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
    StatusProgress progress(CurrentStatusDisplay(), static_cast<int>(FQuery.RecordCount()), large);
    // Every company gets every sub-application: thousands of companies make
    // hundreds of thousands of nodes, built between two passes of the events.
    EventSlice events([&host] { host.ProcessMessages(); });

    permissions.ReserveChildren(static_cast<std::size_t>(FQuery.RecordCount()));
    for (; !FQuery.Eof(); FQuery.Next()) {
        TCompPermit* company = permissions.AddCompany(kPermitUnchanged);
        company->SetTexts(FQuery.AsString(schema::kCompanyId), FQuery.AsString(schema::kCompanyTaxNumber),
                          FQuery.AsString(schema::kCompanyName));
        if (large)
            events.Pass();
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
                events.Pass();
        }
        progress.Step(i + 1);
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

// A created post's tree in three set statements, whatever its size: the
// companies, then every sub-application node of the post's companies, then
// every function node beneath those, each joined from the post's grant rows.
bool TRolesMgr::LoadStoredPermissions(TRolePermissions& permissions, const std::string& postCode)
{
    if (!ReadStoredCompanies(permissions, StoredCompaniesStatement(postCode)))
        return false;
    const bool large = LargeLoad(permissions.Count());
    ScopedStatus status(large, kLoadingPermissionsText);
    StatusProgress progress(CurrentStatusDisplay(), permissions.Count(), large);
    CompanyNodes companies;
    for (int i = 0; i < permissions.Count(); ++i)
        companies[permissions.Items(i)->PermitCode()].push_back(permissions.Items(i));
    if (large)
        CurrentHost().ProcessMessages();
    return ReadGrantsInSets(postCode, companies, std::string(), large, &progress);
}

bool TRolesMgr::ReadStoredCompanies(TRolePermissions& permissions, const std::string& statement,
                                    const std::unordered_set<std::int32_t>& held)
{
    if (!store::Run(FLastStatement, FQuery, statement, true))
        return false;
    permissions.ReserveChildren(static_cast<std::size_t>(permissions.Count()) +
                                static_cast<std::size_t>(FQuery.RecordCount()));
    for (; !FQuery.Eof(); FQuery.Next()) {
        if (held.count(static_cast<std::int32_t>(FQuery.AsInteger(schema::kPermitCode))) != 0)
            continue;
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
                                 const std::string& grantCondition, bool large, StatusProgress* progress)
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

    // The functions are most of the tree: they are built as their rows come,
    // a block of rows at a time, and each block is dropped once built, so
    // that the set never lies in memory beside the tree made from it. They
    // come in the database's order; each sub-application puts its own in
    // order afterwards. The functions come by sub-application; a company
    // counts as through from its first one on (its sub-applications are
    // built already).
    std::unordered_set<std::int32_t> companiesReached;
    int companiesThrough = 0;
    std::int32_t lastApp = 0;
    const auto addFunctions = [&](QueryResult& rows) {
        for (; !rows.Eof(); rows.Next()) {
            const auto parent = static_cast<std::int32_t>(rows.AsInteger(schema::kPermitParent));
            const auto owners = apps.find(parent);
            if (owners == apps.end())
                continue;
            if (progress && parent != lastApp) {
                lastApp = parent;
                const std::int32_t company = owners->second.front()->ParentCode();
                if (companiesReached.insert(company).second) {
                    const auto nodes = companies.find(company);
                    companiesThrough += nodes == companies.end() ? 1 : static_cast<int>(nodes->second.size());
                    progress->Step(companiesThrough);
                }
            }
            const auto code = static_cast<std::int32_t>(rows.AsInteger(schema::kPermitCode));
            const auto texts =
                pool.Function(rows.AsText(schema::kPermitTarget), rows.AsText(schema::kPermitTargetName));
            for (TAppPermit* app : owners->second) {
                TAppFuncPermit* function = app->AddFunction(kPermitUnchanged);
                function->SetPermitCode(code);
                function->SetParentCode(parent);
                function->ShareTexts(texts);
            }
        }
    };
    RowSinkScope sink(FQuery, addFunctions);
    if (!store::Run(FLastStatement, FQuery,
                    "SELECT t3.PRMS_DM,t3.PARENT_DM,t3.DYDM,t3.DYMC FROM QX_ROLEPRMS t1, QX_PRMSMAP t2, "
                    "QX_PRMSMAP t3 WHERE " +
                        grants +
                        " AND t2.PARENT_DM=t1.PRMS_DM AND t2.PRMS_TYPE='20' AND t3.PARENT_DM=t2.PRMS_DM AND "
                        "t3.PRMS_TYPE='30'",
                    true))
        return false;
    FQuery.FlushRowSink();
    if (FQuery.SinkFailed())
        return false;
    FQuery.Reset({});
    for (const auto& [code, nodes] : apps)
        for (TAppPermit* app : nodes)
            app->OrderChildrenByCode();
    if (progress)
        progress->Step(progress->Total());
    return true;
}

bool TRolesMgr::LoadPostCompanies(const std::string& postCode, TRolePermissions* permissions)
{
    return ReadPostTree(postCode, permissions, [this](const std::string& post, TRolePermissions& tree) {
        // The built-in posts' sets are made, not stored.
        return !IsSuperAdmin(post) && !IsSystemPost(post) && !IsBusinessPost(post) &&
               ReadStoredCompanies(tree, StoredCompaniesStatement(post));
    });
}

bool TRolesMgr::LoadPostCompany(const std::string& postCode, const std::string& companyId,
                                TRolePermissions& permissions)
{
    // Company ids are numbers in the grant rows: any other text names no
    // company the post can hold.
    if (!store::IsDecimalInteger(companyId))
        return true;
    std::unordered_set<std::int32_t> held;
    for (int i = 0; i < permissions.Count(); ++i)
        held.insert(permissions.Items(i)->PermitCode());
    try {
        return ReadStoredCompanies(
            permissions,
            StoredCompaniesStatement(postCode) + " AND t3.KZDM=" + companyId + " ORDER BY t1.PRMS_DM", held);
    } catch (...) {
        return false;
    }
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

} // namespace priv
