#include "per_node_load.h"

#include "boundary/status_display.h"
#include "boundary/utilities.h"
#include "store/schema.h"
#include "store/store_common.h"

#include <cstdint>

namespace priv::test {
namespace {

bool ReadPerNode(TRolePermissions& permissions, const std::string& postCode)
{
    std::string lastStatement;
    QueryResult companies;
    if (!store::Run(lastStatement, companies,
                    std::string("SELECT t1.PRMS_DM,t2.QYID,t2.QYSBH,t2.QYMC") +
                        " FROM QX_ROLEPRMS t1, XT_QYXX t2, QX_PRMSMAP t3 WHERE t3.PRMS_DM=t1.PRMS_DM AND "
                        "t2.QYID=t3.KZDM AND t1.JS_DM='" +
                        store::Text(postCode) + "' AND t3.PRMS_TYPE='" + schema::kPermitTypeCompany + "'",
                    true))
        return false;
    Host& host = CurrentHost();
    const bool large = companies.RecordCount() > kLargeLoadCompanies;
    ScopedStatus status(large, kLoadingPermissionsText);

    for (; !companies.Eof(); companies.Next()) {
        TCompPermit* company = permissions.AddCompany(kPermitUnchanged);
        company->SetPermitCode(static_cast<std::int32_t>(companies.AsInteger(schema::kPermitCode)));
        company->SetParentCode(0);
        company->SetTexts(companies.AsString(schema::kCompanyId),
                          companies.AsString(schema::kCompanyTaxNumber),
                          companies.AsString(schema::kCompanyName));
        if (large)
            host.ProcessMessages();
    }

    PermitTextPool pool;
    QueryResult subAppRows;
    QueryResult functionRows;
    for (int i = 0; i < permissions.Count(); ++i) {
        TCompPermit* company = permissions.Items(i);
        if (!store::Run(
                lastStatement, subAppRows,
                "SELECT t2.PRMS_DM, t2.PARENT_DM, t2.DYDM FROM QX_PRMSMAP t2 WHERE t2.PRMS_TYPE='20' AND "
                "t2.PARENT_DM=" +
                    std::to_string(company->PermitCode()),
                true))
            return false;
        // No sub-application stored: the whole company is granted.
        company->SetAllGranted(subAppRows.Eof());
        for (; !subAppRows.Eof(); subAppRows.Next()) {
            const std::string code = subAppRows.AsString(schema::kPermitTarget);
            if (const SubAppDescriptor* descriptor = FindSubAppDescriptor(code)) {
                TAppPermit* app = company->AddSubApp(kPermitUnchanged);
                app->SetPermitCode(static_cast<std::int32_t>(subAppRows.AsInteger(schema::kPermitCode)));
                app->SetParentCode(static_cast<std::int32_t>(subAppRows.AsInteger(schema::kPermitParent)));
                app->ShareTexts(pool.SubApp(code, descriptor->product, descriptor->name));
                if (!store::Run(lastStatement, functionRows,
                                "SELECT t2.PRMS_DM,t2.PARENT_DM,t2.DYDM,t2.DYMC FROM QX_PRMSMAP t2 WHERE "
                                "t2.PRMS_TYPE='30' AND t2.PARENT_DM=" +
                                    std::to_string(app->PermitCode()),
                                true))
                    return false;
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

} // namespace

bool LoadPostPermissionsPerNode(TRolesMgr& store, const std::string& postCode, TRolePermissions* permissions)
{
    if (IsSuperAdmin(postCode) || IsSystemPost(postCode) || IsBusinessPost(postCode))
        return store.LoadPostPermissions(postCode, permissions);
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
        const bool loaded = snapshot.Begin() && store.PostCodeExists(post) && ReadPerNode(*permissions, post);
        if (!loaded)
            permissions->Clear();
        return loaded;
    } catch (...) {
        permissions->Clear();
        return false;
    }
}

} // namespace priv::test
