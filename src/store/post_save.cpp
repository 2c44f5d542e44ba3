// The post store's save of a permission tree, in one transaction under the
// post's row lock, with the checks that keep what other workstations saved
// meanwhile from being overwritten or widened.
#include "store/post_store.h"

#include "store/audited_grants.h"
#include "store/schema.h"
#include "store/store_common.h"

#include <unordered_map>
#include <utility>
#include <vector>

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

} // namespace

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
        // The log's row for each company changed goes in the same
        // transaction; its transaction, when it opens one, is the save's.
        audit::RecordedGrantSave record;
        if (!record.Begin(*permissions, message))
            return false;
        store::Transaction transaction;
        std::string beginMessage;
        if (!transaction.Begin(&beginMessage)) {
            message = "权限分配失败：无法开始数据库事务：" + beginMessage;
            return false;
        }
        if (!SaveChildPermissions(postCode, *permissions, message, assigned) || !record.Finish(message)) {
            transaction.Rollback(std::string());
            record.Rollback();
            restoreCodes();
            return false;
        }
        std::string commitMessage;
        if (!transaction.Commit(&commitMessage) || !record.Commit(commitMessage)) {
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
    // Beneath a company or sub-application the added children are written
    // together, before the walk.
    if (!parentIsPost && !InsertAddedChildren(postCode, parent, message, assigned))
        return false;
    for (int i = 0; i < parent.Count(); ++i) {
        if (parentIsPost)
            ReportSaveProgress(i, parent.Count());
        TAbstractPermit* child = parent.Items(i);
        const std::int32_t state = child->PermitState();
        const int writesBefore = FWrites;
        bool saved = true;
        if ((state == kPermitRemoved || (state == kPermitAdded && parentIsPost)) &&
            (!HoldPost(postCode, message) || !StillApplies(postCode, parent, *child, message)))
            return false;
        if (state == kPermitAdded && parentIsPost) {
            const TAbstractPermit* failed = nullptr;
            saved = InsertNodes(postCode, 0, {child}, assigned, failed);
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
    if (parentIsPost)
        ReportSaveProgress(parent.Count(), parent.Count());
    return true;
}

bool TRolesMgr::InsertAddedChildren(const std::string& postCode, TAbstractPermit& parent,
                                    std::string& message, AssignedCodes& assigned)
{
    std::vector<TAbstractPermit*> added;
    for (int i = 0; i < parent.Count(); ++i) {
        TAbstractPermit* child = parent.Items(i);
        if (child->PermitState() != kPermitAdded)
            continue;
        if (!HoldPost(postCode, message) || !StillApplies(postCode, parent, *child, message))
            return false;
        added.push_back(child);
    }
    if (added.empty())
        return true;
    // Only companies hang under 0; a sub-application or function needs a
    // parent that is stored.
    const TAbstractPermit* failed = added.front();
    if (parent.PermitCode() <= 0 || !InsertNodes(postCode, parent.PermitCode(), added, assigned, failed)) {
        message = SaveFailedText(DisplayName(*failed));
        return false;
    }
    return true;
}

bool TRolesMgr::InsertNodes(const std::string& postCode, std::int32_t parentCode,
                            const std::vector<TAbstractPermit*>& nodes, AssignedCodes& assigned,
                            const TAbstractPermit*& failed)
{
    // Rows per statement: long enough to save the round trips, short enough
    // for any server's statement limits.
    constexpr std::size_t kNodesPerInsert = 200;
    // The codes come back by target code (the order of the rows handed back
    // is the database's): nodes sharing one go in different statements.
    std::vector<TAbstractPermit*> pending(nodes.begin(), nodes.end());
    while (!pending.empty()) {
        std::vector<TAbstractPermit*> batch, later;
        std::unordered_map<std::string, TAbstractPermit*> byTarget;
        std::string sql = "INSERT INTO QX_PRMSMAP(DYDM, DYMC, PARENT_DM, PRMS_TYPE, KZDM) VALUES";
        for (TAbstractPermit* node : pending) {
            if (batch.size() == kNodesPerInsert || !byTarget.emplace(node->GetCode(), node).second) {
                later.push_back(node);
                continue;
            }
            const bool company = node->PermitType() == schema::kPermitTypeCompany;
            // Written bare into the statement.
            if (company && !store::IsDecimalInteger(node->GetCode())) {
                failed = node;
                return false;
            }
            sql += std::string(batch.empty() ? "" : ",") + "('" + Text(node->GetCode()) + "','" +
                   Text(node->GetName()) + "'," + std::to_string(parentCode) + ",'" +
                   Text(node->PermitType()) + "'," + (company ? node->GetCode() : std::string("0")) + ")";
            batch.push_back(node);
        }
        failed = batch.front();
        sql += " RETURNING PRMS_DM, DYDM";
        if (!store::Run(FLastStatement, FQuery, std::move(sql), true) ||
            FQuery.RecordCount() != static_cast<int>(batch.size()))
            return false;
        std::vector<std::pair<TAbstractPermit*, std::int32_t>> codes;
        for (FQuery.First(); !FQuery.Eof(); FQuery.Next()) {
            const auto found = byTarget.find(FQuery.AsString(schema::kPermitTarget));
            const auto code = store::ParseInt32(FQuery.AsString(schema::kPermitCode));
            if (found == byTarget.end() || !found->second || !code || *code <= 0)
                return false;
            codes.emplace_back(found->second, *code);
            found->second = nullptr; // each node's row once
        }
        std::string links;
        for (const auto& [node, code] : codes) {
            assigned.emplace_back(node, node->PermitCode());
            node->SetPermitCode(code);
            if (node->PermitType() == schema::kPermitTypeCompany)
                links += std::string(links.empty() ? "" : ",") + "('" + Text(postCode) + "'," +
                         std::to_string(code) + ")";
        }
        if (!links.empty() && !store::Run(FLastStatement, FQuery,
                                          "INSERT INTO QX_ROLEPRMS(JS_DM, PRMS_DM) VALUES" + links, false))
            return false;
        pending = std::move(later);
    }
    return true;
}

void TRolesMgr::ReportSaveProgress(int done, int total) const
{
    if (FOnSaveProgress)
        FOnSaveProgress(done, total);
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
    // From the company's few nodes to the post's grant row of each, one
    // lookup apiece. Written as a join, SQLite reads every grant row of the
    // post first, and so does PostgreSQL when its statistics are older than
    // the post's grants: once per company a save adds, that grows with the
    // square of the companies.
    return Holds("SELECT t3.PRMS_DM FROM QX_PRMSMAP t3 WHERE t3.PRMS_TYPE='" +
                 std::string(schema::kPermitTypeCompany) + "' AND t3.KZDM=" + companyId +
                 " AND (SELECT COUNT(*) FROM QX_ROLEPRMS t1 WHERE t1.JS_DM='" + Text(postCode) +
                 "' AND t1.PRMS_DM=t3.PRMS_DM) > 0");
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
