// The session object the host calls after a sign-in: it holds the signed-in
// operator's post permissions and answers the host through TPSession's slots.
#pragma once

#include <privilege/privilege.h>

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

namespace priv {

class TCompPermit;
class TRolePermissions;

// Read the session of the messages: "[70018504]取用户权限范围出错。".
inline constexpr const char* kPermissionLoadFailedLog = "[70018504]取用户权限范围出错。";

class TPSessionImpl final : public TPSession {
public:
    // Loads the permissions of the post in the user-information record.
    TPSessionImpl();
    ~TPSessionImpl();
    TPSessionImpl(const TPSessionImpl&) = delete;
    TPSessionImpl& operator=(const TPSessionImpl&) = delete;

    bool GetFlag() override;
    void SetFlag(bool value) override;
    std::string GetLastLoginText() override;
    void UpdateLastLoginTime() override;
    bool ReadFlag() override;
    HostRecord* GetUserInfo() override;
    void GetCompanyId(std::string& companyId) override;
    HostRecord* GetCompanyInfo() override;
    bool ListCompanyProducts(const std::string& key, std::vector<std::string>& products) override;
    bool ListCompanies(std::vector<std::string>& companies) override;
    int CompanyCount() override;
    TRolePermissions* GetPermissions() override;
    void ReloadPermissions() override;
    bool GrantCompany(const std::string& companyId) override;
    bool RevokeCompany(const std::string& companyId) override;

    // Fills the permissions afresh; false (logged) when the post store fails.
    // A created post's companies are read when they are first asked about:
    // one at a time by FindCompanyWithGrants, all of them by whatever lists
    // or counts them; what a company grants when it is first asked for.
    bool LoadPermissions();
    // The permission entry of a company with its sub-applications and
    // functions read; none when the post does not hold the company. False
    // (logged, no entry) when what it grants cannot be read.
    bool FindCompanyWithGrants(const std::string& companyId, TCompPermit*& company);

    // Frees a session the host's record owns.
    static void Release(void* session);

private:
    // The post's entry for a company, read on its own while the post's
    // companies are not all listed; none when the post does not hold it.
    // False (logged, no entry) when it cannot be read.
    bool FindCompanyEntry(const std::string& companyId, TCompPermit*& company);
    // Reads every company of the post, once, with what each grants or
    // without; the companies whose grants were read before keep what they
    // were read with. False (logged) when the read fails: the companies
    // asked about stay, and the next call tries again.
    enum class CompanyRead { EntriesOnly, WithGrants };
    bool ListAllCompanies(CompanyRead read);
    // Reads what every company not read yet grants, all in one go.
    void ReadUnreadCompanies();

    std::unique_ptr<TRolePermissions> FPermissions;
    // Whether FPermissions holds every company of the post, or only those
    // asked about one at a time.
    bool FCompaniesListed = true;
    // Companies of FPermissions whose grants are not read yet.
    std::unordered_set<const TCompPermit*> FUnreadCompanies;
    std::vector<std::string> FList; // kept for the host's layout; not used
    bool FFlag = false;
};

// The session object the module created, for the authorisation filter; none
// before the first InitGlobalUserInfo or after the host freed it.
TPSessionImpl* ModuleSession();

// Publishes the session under "TPSession" in the user-information record:
// an existing one reloads its permissions, otherwise a new one is created.
void CreateOrRefreshSession();

// At unload the session must not outlive the code that frees it.
void ReleaseModuleSession();

} // namespace priv
