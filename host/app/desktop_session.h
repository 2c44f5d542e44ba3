// What the desktop host does with the privilege module around a sign-in:
// the Boolean exports in the order the module expects (sign-in, user
// information, authorisation filter), the signed-in operator as the
// user-information record shows him, the companies of the current category,
// and reopening the framework when the company or the operator changes.
//
// Everything goes through the dlopened module's exports, as a real host does.
#pragma once

#include "module_loader.h"

#include <privilege/privilege.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace privhost {

struct SignedInOperator {
    std::string code;
    std::string post; // CZY_LB: "0" for a super administrator, else the post code
};

struct Company {
    std::string id;
    std::string name;
};

// The signed-in operator as the user-information record holds him.
struct OperatorView {
    std::string code;     // CZY_DM
    std::string name;     // CZY_MC
    std::string post;     // CZY_LB
    std::string postName; // JSM_MC
};

// What a sign-in through the login window leaves behind: the module writes the
// operator's code into the per-user file, rewriting the file. The host compares
// the file before and after ShowLogoutForm to learn whether anyone signed in.
struct UserConfigStamp {
    bool exists = false;
    std::uint64_t inode = 0;
    std::int64_t modifiedNs = 0;
    std::string prevOperator;
    bool operator==(const UserConfigStamp&) const = default;
};

class DesktopSession {
public:
    explicit DesktopSession(ModuleLoader& module) : module_(module) {}

    // LoadLoginForm: with a code, silently (pamCZY_DM/pamPWD); with an empty
    // code, through the module's login window. Nothing when the sign-in failed
    // or was cancelled.
    std::optional<SignedInOperator> SignIn(const std::string& code, const std::string& password);

    // InitGlobalUserInfo with the operator's code.
    bool PublishOperator(const std::string& code);
    // FilterUserAuthrz with every sub-application product of the applications
    // file. On false `message` holds the module's ResultMsgStr.
    bool FilterAuthorisation(std::string& message);

    // ShowLogoutForm; answers the code of the operator who signed in there, or
    // nothing when the window was cancelled (or is not available).
    std::optional<std::string> ChangeOperator(void* appWindow);

    // Opens the framework again on the same database with another company: the
    // descriptors come back with every flag set, the records and the session
    // start afresh. On failure the previous settings are opened again.
    bool ReopenHost(const std::string& companyId, std::string& error);

    ModuleLoader& Module() { return module_; }

    // --- Reading the host's records ----------------------------------------
    static std::string ProductList();
    static TPSession* Session();
    static OperatorView CurrentOperatorView();
    static std::string CompanyId();
    static void SetCompanyId(const std::string& companyId);
    // The companies of the current company's category (all companies when the
    // current one is unknown), in code order.
    static std::vector<Company> CompaniesOfCurrentCategory();
    // The companies the signed-in operator may switch to, in code order: for
    // the super administrator every company of the version's category, for
    // everyone else the companies his post is granted (as the session lists
    // them).
    static std::vector<Company> CompaniesOfOperator();
    static std::string CompanyName(const std::string& companyId);
    static UserConfigStamp ReadUserConfigStamp();

private:
    ModuleLoader& module_;
};

// QYID is an integer column: only plain decimal ids are written into statements.
bool IsCompanyId(const std::string& text);

} // namespace privhost
