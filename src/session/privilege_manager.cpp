#include "session/privilege_manager.h"

#include "boundary/datetime.h"
#include "boundary/host.h"
#include "boundary/text.h"
#include "boundary/utilities.h"
#include "cipher/crypt.h"
#include "session/current_operator.h"
#include "session/named_values.h"
#include "session/session.h"
#include "store/permit.h"

#include <exception>
#include <stdexcept>
#include <vector>

namespace priv {
namespace {

TPrivilegeMgr* activeManager = nullptr;

constexpr const char* kNoSessionMessage = "[70018511]过滤用户系统权限发生错误。";
constexpr const char* kCompanyNotGrantedMessage = "[70018512]过滤用户系统权限发生错误。";
constexpr const char* kFilterExceptionMessage = "[70018501]过滤用户系统权限发生异常：";

void WithdrawFunction(FunctionRecord& function)
{
    function.enabled = false;
    function.visible = false;
}

// The failure text of an exception met while filtering; logged as well.
std::string FilterException(const std::exception* error)
{
    return FilterFailureMessage(error ? error->what() : "未知异常");
}

// Runs a filter; an exception becomes its failure message, also logged.
// What was withdrawn before it stays withdrawn.
template <class Work> bool GuardFilter(std::string& message, Work work)
{
    try {
        return work();
    } catch (const std::exception& error) {
        message = FilterException(&error);
    } catch (...) {
        message = FilterException(nullptr);
    }
    return false;
}

// Withdraws from one product's descriptor what the company entry does not
// grant: everything when the post has no entry for the product.
void FilterProduct(const std::string& product, TCompPermit& company)
{
    Host& host = CurrentHost();
    const TAppPermit* granted = nullptr;
    for (int i = 0; i < company.Count() && !granted; ++i) {
        const TAppPermit* app = company.Items(i);
        if (app->ProductCode() == product)
            granted = app;
    }
    SubAppDescriptor* descriptor = host.GetpSubAppInfo(host.GetSubAppCode(product));
    if (!granted) {
        if (descriptor)
            for (FunctionRecord& function : descriptor->functions)
                WithdrawFunction(function);
        host.SetSubAppPerms(product, true, 0);
        return;
    }
    if (!descriptor)
        return;
    for (FunctionRecord& function : descriptor->functions) {
        if (!function.enabled)
            continue;
        bool grantedHere = false;
        for (int i = 0; i < granted->Count() && !grantedHere; ++i)
            grantedHere = granted->Items(i)->GetCode() == function.code;
        if (!grantedHere)
            WithdrawFunction(function);
    }
}

// A descriptor without a product can be named in no product list and granted
// by no post, so the product filter never reaches it: it is withdrawn whole
// rather than left open to every post.
void WithdrawDescriptorsWithoutProduct()
{
    Host& host = CurrentHost();
    std::vector<SubAppDescriptor*> descriptors = {host.GetMainFrameInfo()};
    TextList codes;
    host.GetALLSubAppCodeList(codes);
    for (const std::string& code : codes)
        descriptors.push_back(host.GetpSubAppInfo(code));
    for (SubAppDescriptor* descriptor : descriptors)
        if (descriptor && descriptor->product.empty())
            for (FunctionRecord& function : descriptor->functions)
                WithdrawFunction(function);
}

// The operator's first twelve fields, as the host's user-information record
// names them, in the order the host expects them written.
void WriteOperatorTexts(HostRecord& record, const OperatorInfo& op)
{
    const std::pair<const char*, const std::string*> texts[] = {{"CZY_DM", &op.Code},
                                                                {"CZY_MC", &op.Name},
                                                                {"PWD", &op.Password},
                                                                {"CZY_LB", &op.PostCode},
                                                                {"JSM_MC", &op.PostName},
                                                                {"SSBM", &op.DepartmentName},
                                                                {"DESCRIPTION", &op.Description},
                                                                {"DHHM", &op.Phone},
                                                                {"EMAIL", &op.Email},
                                                                {"ZZ", &op.Address},
                                                                {"YXBZ", &op.ValidFlag},
                                                                {"SFXZSJ", &op.TimeLimitFlag}};
    for (const auto& [name, value] : texts)
        SetTextValue(record, name, *value);
}

} // namespace

std::string FilterFailureMessage(const std::string& reason)
{
    std::string message = kFilterExceptionMessage + reason;
    CurrentHost().Error("0", message);
    return message;
}

TPrivilegeMgr* ActivePrivilegeMgr()
{
    return activeManager;
}

bool EqualInConstantTime(const std::string& a, const std::string& b)
{
    // Every byte of the longer text is looked at, whatever matched before.
    const std::size_t length = a.size() > b.size() ? a.size() : b.size();
    unsigned difference = a.size() == b.size() ? 0u : 1u;
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char x = i < a.size() ? static_cast<unsigned char>(a[i]) : 0;
        const unsigned char y = i < b.size() ? static_cast<unsigned char>(b[i]) : 0;
        difference |= static_cast<unsigned>(x ^ y);
    }
    return difference == 0;
}

TPrivilegeMgr::TPrivilegeMgr() : FOperators(std::make_unique<TOperator>()), FPreviousActive(activeManager)
{
    activeManager = this;
}

TPrivilegeMgr::~TPrivilegeMgr()
{
    activeManager = FPreviousActive;
}

bool TPrivilegeMgr::CheckPassword(const std::string& typedPassword, const OperatorInfo& info,
                                  PasswordCheckReason& reason)
{
    try {
        if (!IsSuperAdmin(info.PostCode) && UpperCaseAscii(info.ValidFlag) != "Y") {
            reason = PasswordCheckReason::NotActive;
            return false;
        }
        // The stored password is deciphered; the typed one is never enciphered.
        // Both are compared as the host code page holds them: a typed
        // character that the code page lacks can be no stored password's, so
        // it never matches the "?" or the damage marker that stands in its
        // place, whether it was typed in the window or handed over by the host.
        const std::string stored = DecryptPassword(info.Password);
        if (!FitsHostCodePage(typedPassword) || !EqualInConstantTime(stored, typedPassword)) {
            reason = PasswordCheckReason::WrongPassword;
            return false;
        }
        OperatorInfo signedIn = info;
        std::string code = info.Code;
        CurrentOperator() = std::move(signedIn);
        PrevOperatorText() = std::move(code);
        return true;
    } catch (...) {
        reason = PasswordCheckReason::Error;
        return false;
    }
}

bool TPrivilegeMgr::PublishCurrentOperator()
{
    try {
        const OperatorInfo& op = CurrentOperator();
        HostRecord& record = CurrentHost().GetUserInfoVO();
        WriteOperatorTexts(record, op);
        SetTextValue(record, "XZSJ", FormatDateTimeSeconds(op.TimeLimit));
        SetTextValue(record, "ZHDLSJ", FormatDateTimeSeconds(op.LastSignIn));
        return true;
    } catch (...) {
        return false;
    }
}

bool TPrivilegeMgr::GetCompanyCount(int& count, const OperatorInfo& info)
{
    try {
        if (IsSuperAdmin(info.PostCode)) {
            count = 1;
            return true;
        }
        return FOperators->CountOperatorCompanies(info.Code, count);
    } catch (...) {
        return false;
    }
}

// The operator changes go to the store together with their rows in the
// operation log.
bool TPrivilegeMgr::AddOperator(const OperatorInfo& info)
{
    return audit::AddOperator(*FOperators, info);
}
bool TPrivilegeMgr::DeleteOperator(const std::string& code)
{
    return audit::DeleteOperator(*FOperators, code);
}
bool TPrivilegeMgr::ModifyOperator(const OperatorInfo& info)
{
    return audit::ModifyOperator(*FOperators, info, [](const std::string& stored, const std::string& given) {
        return DecryptPassword(stored) == DecryptPassword(given);
    });
}
bool TPrivilegeMgr::ModifyPassword(const std::string& code, const std::string& enciphered)
{
    return audit::ModifyPassword(*FOperators, code, enciphered);
}

bool TPrivilegeMgr::FilterAuthorisation(std::string& message, const std::vector<std::string>& products)
{
    return GuardFilter(message, [&] {
        Host& host = CurrentHost();
        const std::string post = GetTextValue(host.GetUserInfoVO(), "CZY_LB");
        const std::string companyId = GetTextValue(host.GetCompanyInfoVO(), "QYID");
        if (IsSuperAdmin(post))
            return true;
        TPSessionImpl* session = ModuleSession();
        if (!session) {
            message = kNoSessionMessage;
            return false;
        }
        TCompPermit* company = nullptr;
        if (!session->FindCompanyWithGrants(companyId, company))
            throw std::runtime_error(kPermissionLoadFailedLog);
        if (!company) {
            message = kCompanyNotGrantedMessage;
            return false;
        }
        // A created post holding the whole company keeps everything; the two
        // built-in posts are always measured against their own sets.
        if (!IsSystemPost(post) && !IsBusinessPost(post) && company->AllGranted())
            return true;
        for (const std::string& product : products)
            FilterProduct(product, *company);
        WithdrawDescriptorsWithoutProduct();
        return true;
    });
}

bool TPrivilegeMgr::FilterByVersion(std::string& message)
{
    return GuardFilter(message, [&] {
        Host& host = CurrentHost();
        TextList codes;
        host.GetEnabledSubAppCodeList(codes);
        codes.push_back(MainSubAppCode());
        const std::string versionType = "," + host.gsAppVerTypeCode() + ",";
        for (const std::string& code : codes) {
            SubAppDescriptor* descriptor = host.GetpSubAppInfo(code);
            if (!descriptor)
                continue;
            for (FunctionRecord& function : descriptor->functions)
                if (!function.versions.empty() &&
                    ("," + function.versions + ",").find(versionType) == std::string::npos)
                    WithdrawFunction(function);
        }
        return true;
    });
}

bool TPrivilegeMgr::SignInWithoutWindow(const std::string& operatorCode, const std::string& password)
{
    OperatorInfo info;
    if (!FOperators->LoadOperator(operatorCode, info)) {
        audit::RecordSignIn(operatorCode, audit::SignInOutcome::UnknownOperator, audit::SignInRoad::Silent);
        return false;
    }
    PasswordCheckReason reason = PasswordCheckReason::WrongPassword;
    const bool signedIn = CheckPassword(password, info, reason);
    audit::RecordSignIn(info.Code, SignInOutcomeOf(signedIn, reason), audit::SignInRoad::Silent);
    return signedIn;
}

audit::SignInOutcome SignInOutcomeOf(bool signedIn, PasswordCheckReason reason)
{
    if (signedIn)
        return audit::SignInOutcome::SignedIn;
    switch (reason) {
    case PasswordCheckReason::WrongPassword:
        return audit::SignInOutcome::WrongPassword;
    case PasswordCheckReason::NotActive:
        return audit::SignInOutcome::NotActive;
    case PasswordCheckReason::Error:
        break;
    }
    return audit::SignInOutcome::CheckFailed;
}

bool TPrivilegeMgr::LoadUserInfo(const std::string& operatorCode)
{
    try {
        OperatorInfo op;
        if (!FOperators->LoadOperator(operatorCode, op))
            return false;
        HostRecord& record = CurrentHost().GetUserInfoVO();
        WriteOperatorTexts(record, op);
        SetNumberValue(record, "ZHDLSJ", op.LastSignIn);
        CreateOrRefreshSession();
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace priv
