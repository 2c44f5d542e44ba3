// The privilege manager: the object through which the exports and windows
// reach the operator store, the password check, the user information and the
// authorisation filter. One exists for the duration of an export call or a
// window.
#pragma once

#include "store/audited_changes.h"
#include "store/operator_store.h"
#include "store/records.h"

#include <memory>
#include <string>
#include <vector>

namespace priv {

// Why a password check failed.
enum class PasswordCheckReason : int { WrongPassword = 0, NotActive = 1, Error = 2 };

// The manager's interface, in the slot order hosts and windows know it by.
class IPrivilegeMgr {
public:
    virtual bool CheckPassword(const std::string& typedPassword, const OperatorInfo& info,
                               PasswordCheckReason& reason) = 0;                                     // slot 1
    virtual bool PublishCurrentOperator() = 0;                                                       // slot 2
    virtual bool GetCompanyCount(int& count, const OperatorInfo& info) = 0;                          // slot 3
    virtual bool AddOperator(const OperatorInfo& info) = 0;                                          // slot 4
    virtual bool DeleteOperator(const std::string& operatorCode) = 0;                                // slot 5
    virtual bool ModifyOperator(const OperatorInfo& info) = 0;                                       // slot 6
    virtual bool ModifyPassword(const std::string& operatorCode, const std::string& enciphered) = 0; // slot 7
    virtual bool FilterAuthorisation(std::string& message,
                                     const std::vector<std::string>& products) = 0; // slot 8

protected:
    ~IPrivilegeMgr() = default;
};

class TPrivilegeMgr final : public IPrivilegeMgr {
public:
    TPrivilegeMgr();
    ~TPrivilegeMgr();
    TPrivilegeMgr(const TPrivilegeMgr&) = delete;
    TPrivilegeMgr& operator=(const TPrivilegeMgr&) = delete;

    bool CheckPassword(const std::string& typedPassword, const OperatorInfo& info,
                       PasswordCheckReason& reason) override;
    bool PublishCurrentOperator() override;
    bool GetCompanyCount(int& count, const OperatorInfo& info) override;
    bool AddOperator(const OperatorInfo& info) override;
    bool DeleteOperator(const std::string& operatorCode) override;
    bool ModifyOperator(const OperatorInfo& info) override;
    bool ModifyPassword(const std::string& operatorCode, const std::string& enciphered) override;
    bool FilterAuthorisation(std::string& message, const std::vector<std::string>& products) override;

    // Withdraws the functions that do not exist in the host's version.
    bool FilterByVersion(std::string& message);
    // Loads the operator and checks the password; nothing is shown or written.
    bool SignInWithoutWindow(const std::string& operatorCode, const std::string& password);
    // Loads the operator, writes him into the user-information record and
    // creates or refreshes the session.
    bool LoadUserInfo(const std::string& operatorCode);

    TOperator& Operators() { return *FOperators; }

private:
    std::unique_ptr<TOperator> FOperators;
    TPrivilegeMgr* FPreviousActive;
};

// How the operation log names the answer of a password check.
audit::SignInOutcome SignInOutcomeOf(bool signedIn, PasswordCheckReason reason);

// The manager of the running sign-in, login window or filter; none otherwise.
TPrivilegeMgr* ActivePrivilegeMgr();

// The filter's failure for a fault met outside the filter's own work (such as
// a host buffer that is no parameter string): the [70018501] text with
// `reason`, logged as the filter logs its exceptions.
std::string FilterFailureMessage(const std::string& reason);

// Byte-for-byte equality whose time does not depend on where the texts differ.
bool EqualInConstantTime(const std::string& a, const std::string& b);

} // namespace priv
