// The export table: the seven functions a host calls. Each converts the host's
// buffer at this edge only, and none lets an exception reach the host.
#include "boundary/codepage.h"
#include "boundary/param_buffer.h"
#include "boundary/param_string.h"
#include "module/module_windows.h"
#include "session/export_calls.h"

#include <privilege/privilege.h>

#include <optional>
#include <string>

namespace {

PrivBool Answer(bool value)
{
    return value ? 1 : 0;
}

} // namespace

extern "C" {

PRIV_EXPORT PrivBool PRIV_CALL LoadLoginForm(int32_t /*argc*/, char** argv)
{
    try {
        std::optional<std::string> params = priv::ReadParamBuffer(argv);
        if (!params)
            return 0;
        std::string result = *params;
        if (!priv::CallLoadLoginForm(result))
            return 0;
        return Answer(priv::WriteParamBuffer(argv, result));
    } catch (...) {
        return 0;
    }
}

PRIV_EXPORT PrivBool PRIV_CALL InitGlobalUserInfo(int32_t /*argc*/, char** argv)
{
    try {
        const std::optional<std::string> params = priv::ReadParamBuffer(argv);
        return Answer(params && priv::CallInitGlobalUserInfo(*params));
    } catch (...) {
        return 0;
    }
}

PRIV_EXPORT PrivBool PRIV_CALL FilterUserAuthrz(int32_t /*argc*/, char** argv)
{
    try {
        if (!argv || !argv[0])
            return 0;
        const std::optional<std::string> hostParams = priv::ReadHostParamBytes(argv);
        std::string message;
        if (!hostParams) {
            // No end within the bound: the host's items cannot be kept, so the
            // reason alone is written, a parameter string that ends in the buffer.
            priv::CallFilterUserAuthrzWithoutParams(message);
            if (const auto alone = priv::WithResultMessage("", message, PRIV_PARAM_BUFFER_SIZE))
                priv::WriteHostParamBuffer(argv, *alone);
            return 0;
        }
        if (priv::CallFilterUserAuthrz(priv::HostToUtf8(*hostParams), message))
            return 1;
        // Only the message is converted: the host's other items stay byte
        // for byte as it wrote them.
        if (const auto withMessage = priv::WithResultMessage(*hostParams, message, PRIV_PARAM_BUFFER_SIZE))
            priv::WriteHostParamBuffer(argv, *withMessage);
        return 0;
    } catch (...) {
        return 0;
    }
}

PRIV_EXPORT void PRIV_CALL ShowLogoutForm(void* applicationWindow, int32_t, int32_t)
{
    try {
        priv::module::ShowLogoutForm(applicationWindow);
    } catch (...) {
    }
}

PRIV_EXPORT void PRIV_CALL ShowOperatorMgrProc(void* applicationWindow, void* container, char** argv)
{
    try {
        priv::module::ShowOperatorManagement(applicationWindow, container,
                                             priv::ReadParamBuffer(argv).value_or(std::string()));
    } catch (...) {
    }
}

PRIV_EXPORT void PRIV_CALL ShowOperatorModifyPwdProc(void* applicationWindow, void* container, char** argv)
{
    try {
        priv::module::ShowPasswordChange(applicationWindow, container,
                                         priv::ReadParamBuffer(argv).value_or(std::string()));
    } catch (...) {
    }
}

PRIV_EXPORT void PRIV_CALL ShowPrivilegeAssignInnerProc(void* applicationWindow, void* container, char** argv)
{
    try {
        priv::module::ShowPrivilegeAssignment(applicationWindow, container,
                                              priv::ReadParamBuffer(argv).value_or(std::string()));
    } catch (...) {
    }
}

} // extern "C"
