// The post store: the rows of QX_ROLES, and what each post is granted
// (QX_ROLEPRMS and the permission tree QX_PRMSMAP), read into and written
// back from a TRolePermissions. It shows nothing but the status window
// during very large loads; failures are answers (and, for a save, a message).
// The post table, the company list and single nodes are in post_store.cpp,
// the loads in post_load.cpp, the save and its checks for other
// workstations in post_save.cpp.
#pragma once

#include "boundary/host.h"
#include "store/permit.h"
#include "store/records.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace priv {

class StatusProgress;

// Shown while more than kLargeLoadCompanies companies are read.
inline constexpr const char* kLoadingPermissionsText = "正在读取用户权限，请稍候 ...";
inline constexpr int kLargeLoadCompanies = 1000;

class TRolesMgr {
public:
    TRolesMgr() = default;
    TRolesMgr(const TRolesMgr&) = delete;
    TRolesMgr& operator=(const TRolesMgr&) = delete;

    // --- Post table ----------------------------------------------------------------
    // "SYSTEM", "BUSINESS", "AUDITOR" (built in, their own names) first, then
    // every created post in the database's order, a blank name shown as "——".
    // "0" is never listed. A failed statement leaves the list as it was.
    bool GetPostList(TUserPostList& list);
    // Codes compare ignoring the case of their letters; DeletePost removes
    // the row stored exactly under the code given when there is one, else
    // the one it means in another case.
    bool PostCodeExists(const std::string& code);
    bool PostNameExists(const std::string& name);
    // True when an operator holds the post.
    bool PostInUse(const std::string& code);
    bool AddPost(const UserPostInfo& post);
    bool ModifyPost(const UserPostInfo& post);
    // Only the QX_ROLES row goes; the post's grants stay in their tables.
    bool DeletePost(const std::string& code);

    // --- Companies -----------------------------------------------------------------
    // The companies a post can be granted (CompanyListStatement), in the
    // database's order. False, the list left as it was, when the statement
    // fails.
    bool GetCompanyList(TCompanyList& companies);

    // --- Permissions ---------------------------------------------------------------
    // Sets the post code and builds the tree afresh: "0" every company with
    // every sub-application and function, "SYSTEM"/"BUSINESS" their built-in
    // sets, any other post what is stored for it. False when the object is
    // missing, the post's row is missing or a statement fails; a failed load
    // leaves the object empty, so that nothing is granted on a failed read.
    bool LoadPostPermissions(const std::string& postCode, TRolePermissions* permissions);
    // The first half of a created post's load, for readers that need one
    // company at a time: sets the post code and reads the companies alone,
    // each granting nothing until LoadCompanyGrants has read what lies
    // beneath it. False (the object left empty) on the same failures, and
    // for the built-in posts, which have nothing stored.
    bool LoadPostCompanies(const std::string& postCode, TRolePermissions* permissions);
    // The second half for one company node of that post: its sub-applications
    // and functions, read in one snapshot and built exactly as
    // LoadPostPermissions builds them.
    enum class CompanyGrants {
        Read,
        Withdrawn,  // the post no longer holds the company
        Unreadable, // a statement failed
    };
    // The node grants nothing unless the answer is Read. A node that is gone
    // while the post holds the company under another one (withdrawn and
    // granted again elsewhere) takes that node's code and grants.
    CompanyGrants LoadCompanyGrants(const std::string& postCode, TCompPermit& company);
    // One company of a created post on its own, for a reader that may never
    // need the others: appends the post's entries for `companyId` (as
    // LoadPostCompanies reads them, in the order of their nodes) that the
    // tree does not hold yet, each granting nothing until LoadCompanyGrants
    // has read it. True when read, whether the post holds the company or
    // not; false when the statement fails.
    bool LoadPostCompany(const std::string& postCode, const std::string& companyId,
                         TRolePermissions& permissions);
    // Writes the added and removed nodes in one transaction. On success the
    // tree is brought to its saved state (a second save writes nothing); on
    // failure everything is rolled back, the tree stays as it was and
    // `message` says which node failed.
    bool SavePostPermissions(TRolePermissions* permissions, std::string& message);
    // Inserts one node (and its grant row for a company node) and gives its
    // new code; empty on failure. Empty extension or parent codes are 0.
    bool AddPermission(const std::string& postCode, const std::string& targetCode,
                       const std::string& targetName, const std::string& extensionCode,
                       const std::string& parentCode, const std::string& permitType, std::string& newCode);
    // The node's grant row, every descendant, then the node.
    bool RemovePermission(const std::string& postCode, const std::string& permitCode);
    // Every descendant of a node, depth first, leaving the node. Always true.
    bool DeletePermissionChildren(const std::string& permitCode);
    // The codes of a node's children; true when there was at least one.
    bool GetChildPermissionCodes(const std::string& permitCode, TextList& codes);
    // The greatest PRMS_DM among the nodes with this DYDM: the code of the
    // node just inserted. "0" when the statement fails, empty without a row.
    std::string FindNewPermissionCode(const std::string& targetCode);

    const std::string& LastStatement() const { return FLastStatement; }

    // Called when a load is found to be large (more than
    // kLargeLoadCompanies companies), before it first lets the host's
    // events run: the caller holds still whatever must not act on the
    // half-read tree meanwhile. Empty: none.
    void SetLargeLoadHandler(std::function<void()> handler) { FOnLargeLoad = std::move(handler); }
    // Called during a save with how many of the post's companies are
    // through, and once more when all of them are: the caller shows it
    // (the store itself does not know where the save's status is shown).
    // Empty: none.
    void SetSaveProgressHandler(std::function<void(int done, int total)> handler)
    {
        FOnSaveProgress = std::move(handler);
    }

    // --- Several workstations ---------------------------------------------------------
    // Every write of a post's permissions is preceded by this, inside its
    // transaction (a save takes it before its first write, so a save that
    // writes nothing leaves the row alone):
    // the post's row is locked, so that another workstation writing the same
    // post waits until this one ends (PostgreSQL then fails it, SQLite's
    // transaction already holds the whole file), and what the other one
    // changed before is visible to the checks below. False, with the reason
    // in `message`, when the lock cannot be had or the row is gone.
    bool LockPost(const std::string& postCode, std::string& message);
    // Whether the post holds a company node for the company; nullopt when the
    // statement fails.
    std::optional<bool> PostHoldsCompany(const std::string& postCode, const std::string& companyId);
    // The code of the post's current node of a company (the first by code),
    // 0 when the post does not hold the company; nullopt when the statement
    // fails.
    std::optional<std::int32_t> CurrentCompanyNode(const std::string& postCode, const std::string& companyId);
    // Whether a stored node is still there (a company node: still granted to
    // the post).
    std::optional<bool> NodeStored(const std::string& postCode, const TAbstractPermit& node);
    // Whether the parent already has a child of this type and target code.
    std::optional<bool> ChildStored(std::int32_t parentCode, const std::string& permitType,
                                    const std::string& targetCode);
    // True when the last failed save failed because another workstation had
    // changed the same nodes meanwhile: the caller should reload the post.
    bool LastSaveConflicted() const { return FConflict; }

private:
    std::optional<std::string> StoredPostCode(const std::string& code);

    // Nodes whose code a save attempt set, with the code they had before.
    using AssignedCodes = std::vector<std::pair<TAbstractPermit*, std::int32_t>>;

    // Sets the post code, empties the tree and, once the post's row is
    // found, runs `read` in one snapshot; a read that fails or throws leaves
    // the tree empty, so that nothing is granted on a failed read.
    bool ReadPostTree(const std::string& postCode, TRolePermissions* permissions,
                      const std::function<bool(const std::string&, TRolePermissions&)>& read);
    bool LoadBuiltInPermissions(TRolePermissions& permissions, const std::string& builtInPost,
                                bool everyFunction);
    // A created post's tree in three set statements, whatever its size.
    bool LoadStoredPermissions(TRolePermissions& permissions, const std::string& postCode);
    // Appends the company nodes that `statement` (StoredCompaniesStatement,
    // perhaps narrowed) reads, each granting nothing yet; a node whose code
    // is in `held` is in the tree already and is left out.
    bool ReadStoredCompanies(TRolePermissions& permissions, const std::string& statement,
                             const std::unordered_set<std::int32_t>& held = {});
    // Company nodes by their code; a node the post's grant rows repeat
    // stands there once per repetition.
    using CompanyNodes = std::unordered_map<std::int32_t, std::vector<TCompPermit*>>;
    // Fills the given company nodes (emptied first) with the sub-applications
    // and functions beneath the post's grant rows that `grantCondition`
    // (appended to the conditions on the grant rows `t1`) leaves.
    // `progress` (when given) counts the companies as their functions are built.
    bool ReadGrantsInSets(const std::string& postCode, const CompanyNodes& companies,
                          const std::string& grantCondition, bool large, StatusProgress* progress = nullptr);
    // Whether a load of this many companies lets events run (the status
    // window shown); tells the large-load handler when it does.
    bool LargeLoad(std::int64_t companies);
    static std::string StoredCompaniesStatement(const std::string& postCode);
    bool SaveChildPermissions(const std::string& postCode, TAbstractPermit& parent, std::string& message,
                              AssignedCodes& assigned);
    void DeleteDescendants(const std::string& permitCode, std::unordered_set<std::string>& visited);
    // Whether `child`, about to be added or removed beneath `parent`, still
    // can be: false with the message when another workstation added or
    // removed it (or removed the parent) meanwhile, or a check failed.
    bool StillApplies(const std::string& postCode, const TAbstractPermit& parent,
                      const TAbstractPermit& child, std::string& message);
    // After a save wrote beneath a company that it does not grant whole:
    // false (with the message; a conflict when this tree still keeps one of
    // its applications) when the company node is left without any
    // application node, which would grant the whole company.
    bool StillPartlyGranted(const TAbstractPermit& company, std::string& message);
    // Locks the post once per save, right before its first write; false with
    // the lock's message (or `message` unchanged when the row is gone).
    bool HoldPost(const std::string& postCode, std::string& message);
    std::optional<bool> Holds(std::string sql);
    // Whether the post's row is there, read before a save writes; nullopt,
    // with "权限分配失败：" and the database's reason in `message`, when it
    // cannot be read.
    std::optional<bool> PostRowStored(const std::string& postCode, std::string& message);

    // Inserts nodes that hang beneath one stored parent, in as few
    // statements as there are (at most kNodesPerInsert rows each), and gives
    // each its new code as the database hands it back for the row just
    // inserted: exact whatever other workstations insert meanwhile, and no
    // read-back per node. A company node also gets its grant row. False when
    // a node cannot be written or its code is not handed back; `failed` then
    // names the first node of that statement.
    bool InsertNodes(const std::string& postCode, std::int32_t parentCode,
                     const std::vector<TAbstractPermit*>& nodes, AssignedCodes& assigned,
                     const TAbstractPermit*& failed);
    // Before the children of a sub-application or company are walked: the
    // added ones, each checked as the walk would check it, inserted together.
    bool InsertAddedChildren(const std::string& postCode, TAbstractPermit& parent, std::string& message,
                             AssignedCodes& assigned);
    // Tells the save's progress handler that `done` of the post's companies
    // are through.
    void ReportSaveProgress(int done, int total) const;

    QueryResult FQuery;
    std::string FLastStatement;
    bool FConflict = false;
    std::function<void()> FOnLargeLoad;
    std::function<void(int, int)> FOnSaveProgress;
    // Within one save: whether the post's row is locked, and whether taking
    // the lock failed (its message then stands as it is).
    bool FPostHeld = false;
    bool FHoldFailed = false;
    // Nodes this save has added or removed so far.
    int FWrites = 0;
};

} // namespace priv
