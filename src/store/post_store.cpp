// The post store's post table (QX_ROLES), the companies a post can be
// granted, and the single permission nodes that loads and saves build on.
#include "store/post_store.h"

#include "boundary/text.h"
#include "boundary/utilities.h"
#include "store/schema.h"
#include "store/store_common.h"

#include <unordered_set>
#include <utility>

namespace priv {

using store::Text;

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

// --- Companies -------------------------------------------------------------------------

bool TRolesMgr::GetCompanyList(TCompanyList& companies)
{
    try {
        if (!store::Run(FLastStatement, FQuery, CompanyListStatement(), true))
            return false;
        TCompanyList read;
        read.reserve(static_cast<std::size_t>(FQuery.RecordCount()));
        for (FQuery.First(); !FQuery.Eof(); FQuery.Next())
            read.push_back({FQuery.AsString(schema::kCompanyId), FQuery.AsString(schema::kCompanyTaxNumber),
                            FQuery.AsString(schema::kCompanyName)});
        companies = std::move(read);
        return true;
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

} // namespace priv
