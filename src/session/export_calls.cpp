#include "session/export_calls.h"

#include "boundary/param_string.h"
#include "boundary/utilities.h"
#include "session/current_operator.h"
#include "session/privilege_manager.h"
#include "session/session.h"

#include <privilege/privilege.h>

#include <algorithm>
#include <optional>
#include <string>

namespace priv {
namespace {

LoginWindowRunner& InstalledLoginWindow()
{
    static LoginWindowRunner runner;
    return runner;
}

// The host's product list: blank lines are no products, each code counts
// once, and the main frame's own product is always examined. Only an absent
// or empty value is no list at all; a value of blank lines is a list that
// names no product, and the filter still runs on it (so an operator whose
// post holds nothing in the company loses the main frame's functions).
std::optional<std::vector<std::string>> PrepareProductList(const std::string& listValue)
{
    if (listValue.empty())
        return std::nullopt;
    std::vector<std::string> products;
    for (const std::string& line : SplitLines(listValue))
        if (!line.empty() && std::find(products.begin(), products.end(), line) == products.end())
            products.push_back(line);
    const std::string mainProduct = MainProductCode();
    if (!mainProduct.empty() && std::find(products.begin(), products.end(), mainProduct) == products.end())
        products.push_back(mainProduct);
    return products;
}

} // namespace

void SetLoginWindowRunner(LoginWindowRunner runner)
{
    InstalledLoginWindow() = std::move(runner);
}

bool RunLoginWindow()
{
    const LoginWindowRunner& runner = InstalledLoginWindow();
    try {
        return runner && runner();
    } catch (...) {
        return false;
    }
}

bool CallLoadLoginForm(std::string& params)
{
    const std::string code = GetParamValue(params, PRIV_KEY_LOGIN_CODE);
    const std::string password = GetParamValue(params, PRIV_KEY_LOGIN_PASSWORD);
    bool signedIn = false;
    {
        // The login window reaches this manager for its password check.
        TPrivilegeMgr manager;
        signedIn = code.empty() ? RunLoginWindow() : manager.SignInWithoutWindow(code, password);
    }
    if (!signedIn)
        return false;
    params = SetParamValue(SetParamValue("", PRIV_KEY_OPERATOR_CODE, CurrentOperator().Code),
                           PRIV_KEY_OPERATOR_POST, CurrentOperator().PostCode);
    return true;
}

bool CallInitGlobalUserInfo(const std::string& params)
{
    const std::string code = GetParamValue(params, PRIV_KEY_OPERATOR_CODE);
    if (code.empty())
        return false;
    TPrivilegeMgr manager;
    return manager.LoadUserInfo(code);
}

bool CallFilterUserAuthrz(const std::string& params, std::string& failureMessage)
{
    const std::optional<std::vector<std::string>> products =
        PrepareProductList(GetParamValue(params, PRIV_KEY_PRODUCT_LIST));
    TPrivilegeMgr manager;
    bool answer = true;
    if (products)
        answer = manager.FilterAuthorisation(failureMessage, *products);
    // The version step runs for every operator and after a failure too; its
    // own outcome is not reported.
    std::string versionMessage;
    manager.FilterByVersion(versionMessage);
    return answer;
}

bool CallFilterUserAuthrzWithoutParams(std::string& failureMessage)
{
    TPrivilegeMgr manager;
    failureMessage =
        FilterFailureMessage("参数串在 " + std::to_string(PRIV_PARAM_BUFFER_SIZE) + " 字节内没有结束符。");
    std::string versionMessage;
    manager.FilterByVersion(versionMessage);
    return false;
}

void ReleaseModuleState()
{
    PrevOperatorText().clear();
    CurrentOperator() = OperatorInfo{};
    ReleaseModuleSession();
    SetLoginWindowRunner(nullptr);
}

} // namespace priv
