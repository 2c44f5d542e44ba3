#include "session/session.h"

#include "boundary/datetime.h"
#include "boundary/host.h"
#include "boundary/utilities.h"
#include "session/named_values.h"
#include "store/audit_record.h"
#include "store/operator_store.h"
#include "store/permit.h"
#include "store/post_store.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace priv {
namespace {

constexpr const char* kSessionEntry = "TPSession";
TPSessionImpl* moduleSession = nullptr;

HostRecord& UserRecord()
{
    return CurrentHost().GetUserInfoVO();
}
HostRecord& CompanyRecord()
{
    return CurrentHost().GetCompanyInfoVO();
}

// Posts whose permissions are made afresh from the host; granting or revoking
// a single company means nothing for them.
bool HasBuiltInPermissions(const std::string& post)
{
    return IsSuperAdmin(post) || IsSystemPost(post) || IsBusinessPost(post);
}

// A single company's grant or withdrawal is several statements whose node
// code is read back after its insert: one host transaction keeps another
// workstation's node out of that read-back and leaves no half-made grant.
// Runs `work` in a host transaction, with its row in the operation log
// (`work` records it). When the host already has one open on the connection,
// the work joins it: the host commits or rolls back, and a failure here is
// only reported (the host's transaction is not ours to end).
template <class Work> bool InHostTransaction(Work work)
{
    Host& host = CurrentHost();
    // With the log the recorded change opens the transaction (the chain's
    // head is its first lock); without it the grant opens its own, as ever.
    audit::RecordedChange change;
    if (!change.Begin())
        return false;
    std::string message;
    const bool own = !host.DBInTransaction(kMainConnection);
    if (own && !host.DBBeginTrans(kMainConnection, message))
        return false;
    bool done = false;
    try {
        done = work(change);
    } catch (...) {
        done = false;
    }
    if (!done) {
        if (own)
            host.DBRollbackTrans(kMainConnection, message);
        change.Rollback();
        return false;
    }
    if (own)
        return host.DBCommitTrans(kMainConnection, message);
    return change.Commit();
}

} // namespace

TPSessionImpl::TPSessionImpl() : FPermissions(std::make_unique<TRolePermissions>())
{
    LoadPermissions();
}

TPSessionImpl::~TPSessionImpl()
{
    if (moduleSession == this)
        moduleSession = nullptr;
}

// Records keep the object as the TPSession the host calls.
void TPSessionImpl::Release(void* session)
{
    delete static_cast<TPSessionImpl*>(static_cast<TPSession*>(session));
}

bool TPSessionImpl::GetFlag()
{
    return FFlag;
}
void TPSessionImpl::SetFlag(bool value)
{
    FFlag = value;
}
bool TPSessionImpl::ReadFlag()
{
    return FFlag;
}

std::string TPSessionImpl::GetLastLoginText()
{
    const double lastSignIn = GetNumberValue(UserRecord(), "ZHDLSJ", 0.0);
    // The zero date-time (1899-12-30) stands for "never signed in".
    if (FormatDateCompact(lastSignIn) == "18991230")
        return "——";
    return FormatDateTimeMinutes(lastSignIn);
}

void TPSessionImpl::UpdateLastLoginTime()
{
    try {
        TOperator operators;
        operators.StampLastSignIn(GetTextValue(UserRecord(), "CZY_DM"), CurrentHost().Now());
    } catch (...) {
        // The operator is not told: a missed time stamp changes nothing else.
    }
}

HostRecord* TPSessionImpl::GetUserInfo()
{
    return &UserRecord();
}
void TPSessionImpl::GetCompanyId(std::string& companyId)
{
    companyId = GetTextValue(CompanyRecord(), "QYID");
}
HostRecord* TPSessionImpl::GetCompanyInfo()
{
    return &CompanyRecord();
}

bool TPSessionImpl::ListCompanyProducts(const std::string& key, std::vector<std::string>& products)
{
    products.clear();
    const std::string companyId = GetTextValue(CompanyRecord(), "QYID");
    if (GetTextValue(UserRecord(), "CZY_DM").empty() || GetTextValue(UserRecord(), "CZY_LB").empty() ||
        key.empty() || companyId.empty())
        return false;
    TCompPermit* company = nullptr;
    // Grants that cannot be read list no product.
    if (FindCompanyWithGrants(companyId, company) && company)
        for (int i = 0; i < company->Count(); ++i)
            products.push_back(company->Items(i)->ProductCode());
    // The host reads the list, not the answer.
    return false;
}

bool TPSessionImpl::ListCompanies(std::vector<std::string>& companies)
{
    companies.clear();
    ListAllCompanies(CompanyRead::EntriesOnly);
    for (int i = 0; i < FPermissions->Count(); ++i)
        companies.push_back(FPermissions->Items(i)->CompanyId());
    return true;
}

int TPSessionImpl::CompanyCount()
{
    ListAllCompanies(CompanyRead::EntriesOnly);
    return FPermissions->Count();
}

TRolePermissions* TPSessionImpl::GetPermissions()
{
    // Whoever asks for the whole tree gets it whole: companies not listed yet
    // are read with their grants in one load, and companies listed without
    // them have their grants read now.
    if (!FCompaniesListed)
        ListAllCompanies(CompanyRead::WithGrants);
    else if (!FUnreadCompanies.empty())
        ReadUnreadCompanies();
    return FPermissions.get();
}

bool TPSessionImpl::ListAllCompanies(CompanyRead read)
{
    if (FCompaniesListed)
        return true;
    const bool withGrants = read == CompanyRead::WithGrants;
    TRolePermissions listed;
    TRolesMgr roles;
    if (!(withGrants ? roles.LoadPostPermissions(FPermissions->PostCode(), &listed)
                     : roles.LoadPostCompanies(FPermissions->PostCode(), &listed))) {
        CurrentHost().Error("0", kPermissionLoadFailedLog);
        return false;
    }
    // A company whose grants were read already is the same node in the list:
    // it keeps what it was read with, so that the list and the filter never
    // tell two stories about it. One the post has let go of since stays too,
    // as it would had the list been read at the sign-in.
    std::unordered_map<std::int32_t, TCompPermit*> asked;
    for (int i = 0; i < FPermissions->Count(); ++i)
        asked.emplace(FPermissions->Items(i)->PermitCode(), FPermissions->Items(i));
    std::unordered_set<const TCompPermit*> unread;
    const auto wasRead = [this](const TCompPermit& before) { return FUnreadCompanies.count(&before) == 0; };
    const auto takeOver = [](TCompPermit& entry, TCompPermit& before) {
        entry.SetAllGranted(before.AllGranted());
        entry.SwapChildren(before);
    };
    for (int i = 0; i < listed.Count(); ++i) {
        TCompPermit* entry = listed.Items(i);
        const auto before = asked.find(entry->PermitCode());
        if (before != asked.end() && wasRead(*before->second))
            takeOver(*entry, *before->second);
        else if (!withGrants)
            unread.insert(entry);
        if (before != asked.end())
            asked.erase(before);
    }
    for (int i = 0; i < FPermissions->Count(); ++i) {
        TCompPermit* before = FPermissions->Items(i);
        if (asked.count(before->PermitCode()) == 0)
            continue;
        TCompPermit* entry = listed.AddCompany(kPermitUnchanged);
        entry->SetTexts(before->CompanyId(), before->TaxNumber(), before->CompanyName());
        entry->SetPermitCode(before->PermitCode());
        entry->SetParentCode(0);
        entry->SetAllGranted(false);
        if (wasRead(*before))
            takeOver(*entry, *before);
        else
            unread.insert(entry);
    }
    // The host may hold the permissions object: it stays, its companies change.
    FPermissions->SwapChildren(listed);
    FUnreadCompanies = std::move(unread);
    FCompaniesListed = true;
    return true;
}

void TPSessionImpl::ReadUnreadCompanies()
{
    // The post read whole into a tree of its own: a read that fails changes
    // nothing (the companies stay, each read when it is asked about), and
    // only the companies not read yet take what it found. A company that the
    // filter has read keeps what it was read with, so that the tree handed
    // out here and the filter never tell two stories about it.
    TRolePermissions fresh;
    TRolesMgr roles;
    if (!roles.LoadPostPermissions(FPermissions->PostCode(), &fresh)) {
        CurrentHost().Error("0", kPermissionLoadFailedLog);
        return;
    }
    // Each node read is given to one company at most: first by its code,
    // then, for a company whose node is gone, by the company (withdrawn and
    // granted again elsewhere since the sign-in).
    std::unordered_map<std::int32_t, std::vector<TCompPermit*>> byNode;
    std::unordered_map<std::string, std::vector<TCompPermit*>> byCompany;
    for (int i = 0; i < fresh.Count(); ++i) {
        byNode[fresh.Items(i)->PermitCode()].push_back(fresh.Items(i));
        byCompany[fresh.Items(i)->CompanyId()].push_back(fresh.Items(i));
    }
    std::unordered_set<const TCompPermit*> taken;
    const auto take = [&taken](const std::vector<TCompPermit*>& nodes) -> TCompPermit* {
        for (TCompPermit* node : nodes)
            if (taken.insert(node).second)
                return node;
        return nullptr;
    };
    std::unordered_map<const TCompPermit*, TCompPermit*> found;
    for (int i = 0; i < FPermissions->Count(); ++i) {
        TCompPermit* company = FPermissions->Items(i);
        const auto nodes = byNode.find(company->PermitCode());
        TCompPermit* node = nodes == byNode.end() ? nullptr : take(nodes->second);
        if (node && FUnreadCompanies.count(company) != 0)
            found[company] = node;
    }
    for (int i = 0; i < FPermissions->Count(); ++i) {
        TCompPermit* company = FPermissions->Items(i);
        if (FUnreadCompanies.count(company) == 0 || found.count(company) != 0)
            continue;
        const auto nodes = byCompany.find(company->CompanyId());
        if (TCompPermit* node = nodes == byCompany.end() ? nullptr : take(nodes->second))
            found[company] = node;
    }
    for (int i = FPermissions->Count() - 1; i >= 0; --i) {
        TCompPermit* company = FPermissions->Items(i);
        if (FUnreadCompanies.count(company) == 0)
            continue;
        const auto node = found.find(company);
        if (node == found.end()) {
            // The post no longer holds the company.
            FPermissions->DeleteChild(i);
            continue;
        }
        company->SetPermitCode(node->second->PermitCode());
        company->SetAllGranted(node->second->AllGranted());
        company->SwapChildren(*node->second);
    }
    FUnreadCompanies.clear();
}

void TPSessionImpl::ReloadPermissions()
{
    LoadPermissions();
}

bool TPSessionImpl::LoadPermissions()
{
    const std::string post = GetTextValue(UserRecord(), "CZY_LB");
    TRolesMgr roles;
    FUnreadCompanies.clear();
    FCompaniesListed = true;
    if (HasBuiltInPermissions(post)) {
        if (roles.LoadPostPermissions(post, FPermissions.get()))
            return true;
        CurrentHost().Error("0", kPermissionLoadFailedLog);
        return false;
    }
    // A created post may hold thousands of companies with thousands of
    // functions each, while a sign-in works in one company: nothing of them
    // is read until it is asked about. Only a post that is gone is told now.
    FPermissions->SetPostCode(post);
    FPermissions->Clear();
    if (!roles.PostCodeExists(post)) {
        CurrentHost().Error("0", kPermissionLoadFailedLog);
        return false;
    }
    FCompaniesListed = false;
    return true;
}

bool TPSessionImpl::FindCompanyEntry(const std::string& companyId, TCompPermit*& company)
{
    company = FPermissions->FindCompany(companyId);
    if (company || FCompaniesListed)
        return true;
    const int known = FPermissions->Count();
    TRolesMgr roles;
    if (!roles.LoadPostCompany(FPermissions->PostCode(), companyId, *FPermissions)) {
        CurrentHost().Error("0", kPermissionLoadFailedLog);
        return false;
    }
    for (int i = known; i < FPermissions->Count(); ++i)
        FUnreadCompanies.insert(FPermissions->Items(i));
    company = FPermissions->FindCompany(companyId);
    return true;
}

bool TPSessionImpl::FindCompanyWithGrants(const std::string& companyId, TCompPermit*& company)
{
    for (;;) {
        if (!FindCompanyEntry(companyId, company)) {
            company = nullptr;
            return false;
        }
        if (!company || FUnreadCompanies.count(company) == 0)
            return true;
        TRolesMgr roles;
        switch (roles.LoadCompanyGrants(FPermissions->PostCode(), *company)) {
        case TRolesMgr::CompanyGrants::Read:
            FUnreadCompanies.erase(company);
            return true;
        case TRolesMgr::CompanyGrants::Withdrawn:
            // Taken from the post since the sign-in, and not granted again:
            // the post no longer holds it (another entry of the same company
            // may remain).
            FUnreadCompanies.erase(company);
            for (int i = 0; i < FPermissions->Count(); ++i)
                if (FPermissions->Items(i) == company) {
                    FPermissions->DeleteChild(i);
                    break;
                }
            continue;
        case TRolesMgr::CompanyGrants::Unreadable:
            break;
        }
        CurrentHost().Error("0", kPermissionLoadFailedLog);
        company = nullptr;
        return false;
    }
}

bool TPSessionImpl::GrantCompany(const std::string& companyId)
{
    TCompPermit* entry = nullptr;
    if (!FindCompanyEntry(companyId, entry) || entry)
        return false;
    const std::string post = GetTextValue(UserRecord(), "CZY_LB");
    if (HasBuiltInPermissions(post))
        return false;
    TRolesMgr roles;
    // As a save does: the post locked, and a grant that another workstation
    // made meanwhile is not made twice (a later withdrawal would leave one).
    bool heldElsewhere = false;
    const bool granted = InHostTransaction([&](audit::RecordedChange& change) {
        std::string message;
        if (!roles.LockPost(post, message))
            return false;
        const std::optional<bool> held = roles.PostHoldsCompany(post, companyId);
        if (!held || *held) {
            heldElsewhere = held.value_or(false);
            return false;
        }
        std::string newCode;
        roles.AddPermission(post, companyId, companyId, companyId, "0", "10", newCode);
        return !newCode.empty() && change.Record(audit::Event{audit::kCompanyGrant, audit::kObjectPost, post,
                                                              "单位：" + companyId + "（整个单位）"});
    });
    if (heldElsewhere)
        LoadPermissions();
    return granted && LoadPermissions();
}

bool TPSessionImpl::RevokeCompany(const std::string& companyId)
{
    TCompPermit* company = nullptr;
    if (!FindCompanyEntry(companyId, company) || !company)
        return false;
    const std::string post = GetTextValue(UserRecord(), "CZY_LB");
    if (HasBuiltInPermissions(post))
        return false;
    TRolesMgr roles;
    const std::string permitCode = std::to_string(company->PermitCode());
    bool goneElsewhere = false;
    const bool revoked = InHostTransaction([&](audit::RecordedChange& change) {
        std::string message;
        if (!roles.LockPost(post, message))
            return false;
        const std::optional<bool> held = roles.NodeStored(post, *company);
        if (!held || !*held) {
            goneElsewhere = held.has_value();
            return false;
        }
        return roles.RemovePermission(post, permitCode) &&
               change.Record(
                   audit::Event{audit::kCompanyRevoke, audit::kObjectPost, post, "单位：" + companyId});
    });
    if (goneElsewhere)
        LoadPermissions();
    return revoked && LoadPermissions();
}

TPSessionImpl* ModuleSession()
{
    return moduleSession;
}

void CreateOrRefreshSession()
{
    HostRecord& record = UserRecord();
    if (GetIntegerValue(record, kSessionEntry, 0) != 0) {
        // The host's session slot 12: reload, whoever made the object.
        static_cast<TPSession*>(GetObjectValue(record, kSessionEntry))->ReloadPermissions();
        return;
    }
    auto session = std::make_unique<TPSessionImpl>();
    SetOwnedObjectValue(record, kSessionEntry, static_cast<TPSession*>(session.get()),
                        &TPSessionImpl::Release);
    moduleSession = session.release();
}

void ReleaseModuleSession()
{
    if (!moduleSession)
        return;
    HostRecord& record = UserRecord();
    RecordEntry* entry = record.Find(kSessionEntry);
    if (entry && entry->object == static_cast<TPSession*>(moduleSession) &&
        entry->kind == EntryKind::OwnedObject) {
        entry->object = nullptr;
        entry->release = nullptr;
        entry->kind = EntryKind::BorrowedObject;
    }
    delete moduleSession; // clears moduleSession
}

} // namespace priv
