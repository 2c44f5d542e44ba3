#include "framework_host.h"

#include "channel.h"
#include "database.h"
#include "keyboard.h"
#include "messages.h"
#include "settings.h"
#include "state.h"
#include "text.h"

#include "boundary/datetime.h"
#include "quillet/quillet.h"

#include <QCoreApplication>
#include <QDateTime>

namespace fennix {

using detail::State;

// --- Database --------------------------------------------------------------

bool FrameworkHost::ExecADOQueryMsg(const std::string& connection, const std::string& sql,
                                    priv::QueryResult& query, std::string& message, bool open)
{
    detail::HostState& state = State();
    if (state.keepStatements)
        state.executed.push_back(sql);
    if (open)
        query.Reset({});
    if (detail::InjectedFailure(sql, message))
        return false;
    std::string error;
    const bool ran = detail::Execute(connection, sql, open ? &query : nullptr, error);
    if (!ran) {
        message = error;
        if (open)
            query.Reset({});
    }
    if (state.statementHook) {
        // The hook may run statements of its own (another workstation's).
        const auto hook = state.statementHook;
        hook(sql);
    }
    return ran;
}

bool FrameworkHost::DBInTransaction(const std::string& connection)
{
    return detail::TransactionOpen(connection);
}

bool FrameworkHost::DBBeginTrans(const std::string& connection, std::string& message)
{
    return detail::BeginTransaction(connection, message);
}

bool FrameworkHost::DBCommitTrans(const std::string& connection, std::string& message)
{
    return detail::CommitTransaction(connection, message);
}

bool FrameworkHost::DBRollbackTrans(const std::string& connection, std::string& message)
{
    return detail::RollbackTransaction(connection, message);
}

bool FrameworkHost::DBBeginRead(const std::string& connection, std::string& message)
{
    return detail::BeginRead(connection, message);
}

void FrameworkHost::DBEndRead(const std::string& connection)
{
    detail::EndRead(connection);
}

std::string FrameworkHost::DBProduct(const std::string& connection)
{
    return detail::Product(connection);
}

// --- Messages ----------------------------------------------------------------

void FrameworkHost::InfoMsgBox(const std::string& text)
{
    detail::ShowMessage(MessageKind::Info, 0, text, {}, false);
}

void FrameworkHost::ErrorMsgBox(const std::string& text)
{
    detail::ShowMessage(MessageKind::Error, 0, text, {}, false);
}

bool FrameworkHost::ConfirmMsgBoxA(const std::string& text)
{
    return detail::ShowMessage(MessageKind::Confirm, 0, text, {}, true) == 1;
}

int FrameworkHost::InforMsg(int number, const std::string& arguments)
{
    return detail::ShowMessage(MessageKind::Catalogue, number, detail::CatalogueMessage(number, arguments),
                               arguments, detail::CatalogueAsks(number));
}

std::string FrameworkHost::GetMsg(int number, const std::string& arguments)
{
    return detail::CatalogueMessage(number, arguments);
}

// --- Log ---------------------------------------------------------------------

void FrameworkHost::Info(const std::string& flag, const std::string& line)
{
    quillet::Info(flag, line);
}

void FrameworkHost::Error(const std::string& flag, const std::string& line)
{
    quillet::Error(flag, line);
}

// --- Records -----------------------------------------------------------------

priv::HostRecord& FrameworkHost::GetUserInfoVO()
{
    return *State().userInfo;
}

priv::HostRecord& FrameworkHost::GetCompanyInfoVO()
{
    return *State().companyInfo;
}

// --- Applications ------------------------------------------------------------

priv::SubAppDescriptor* FrameworkHost::GetMainFrameInfo()
{
    return State().applications.MainFrame();
}

priv::SubAppDescriptor* FrameworkHost::GetpSubAppInfo(const std::string& subAppCode)
{
    return State().applications.FindByCode(subAppCode);
}

std::string FrameworkHost::GetSubAppCode(const std::string& productCode)
{
    return State().applications.CodeOfProduct(productCode);
}

void FrameworkHost::GetALLSubAppCodeList(priv::TextList& codes)
{
    codes.clear();
    for (const auto& app : State().applications.SubApps())
        codes.push_back(app->code);
}

void FrameworkHost::GetEnabledSubAppCodeList(priv::TextList& codes)
{
    codes.clear();
    for (const auto& app : State().applications.SubApps())
        if (app->enabled)
            codes.push_back(app->code);
}

void FrameworkHost::SetSubAppPerms(const std::string& productCode, bool withdrawn, int /*reserved*/)
{
    if (withdrawn)
        State().withdrawnProducts.push_back(productCode);
}

bool FrameworkHost::CheckFunctionCanUse(const std::string& functionCode)
{
    return State().applications.FunctionEnabled(functionCode);
}

bool FrameworkHost::CheckAgencyExist()
{
    return State().settings.agency;
}

std::string FrameworkHost::gsAppVerTypeCode()
{
    const detail::HostState& state = State();
    return state.settings.versionType.empty() ? state.applications.VersionType() : state.settings.versionType;
}

// --- Settings ------------------------------------------------------------------

std::string FrameworkHost::ReadIniValueStr(const std::string& file, const std::string& section,
                                           const std::string& key, const std::string& defaultValue)
{
    return detail::ReadIniValue(detail::ResolveHostPath(State().settings.appDir, file), section, key,
                                defaultValue);
}

bool FrameworkHost::WriteIniValueStr(const std::string& file, const std::string& section,
                                     const std::string& key, const std::string& value)
{
    return detail::WriteIniValue(detail::ResolveHostPath(State().settings.appDir, file), section, key, value);
}

std::string FrameworkHost::GetUserConfigParam(const std::string& section, const std::string& key,
                                              const std::string& defaultValue)
{
    return ReadIniValueStr("Config/User.ini", section, key, defaultValue);
}

std::string FrameworkHost::GetSysConfigParam(const std::string& section, const std::string& key,
                                             const std::string& defaultValue)
{
    return ReadIniValueStr("Config/System.ini", section, key, defaultValue);
}

// --- Windows, paths and appearance -------------------------------------------

std::string FrameworkHost::GetAppPath()
{
    return State().settings.appDir + '/';
}

priv::HostHandle FrameworkHost::GetAppHandle()
{
    return State().appHandle;
}

priv::HostHandle FrameworkHost::GetMainFrameHandle()
{
    return State().mainFrame;
}

std::string FrameworkHost::GetCurFuncCode()
{
    return State().currentFunction;
}

std::string FrameworkHost::GetCurSubAppCode()
{
    return State().currentSubApp;
}

std::string FrameworkHost::GetCurSubAppPath()
{
    const detail::HostState& state = State();
    std::string path = state.settings.appDir + "/AppComs/";
    if (!state.currentSubApp.empty())
        path += state.currentSubApp + '/';
    return path;
}

priv::SubAppDescriptor* FrameworkHost::GetCurSubAppInfo()
{
    const detail::HostState& state = State();
    return state.currentSubApp.empty() ? nullptr : state.applications.FindByCode(state.currentSubApp);
}

// The substitute host keeps no value object per sub-application.
void* FrameworkHost::GetCurSubAppVo()
{
    return nullptr;
}

priv::HostHandle FrameworkHost::GetCurParentForm()
{
    return State().currentParentForm;
}

priv::HostHandle FrameworkHost::GetgsMainFrameParentForm()
{
    return State().mainFrameParentForm;
}

bool FrameworkHost::ExecuteFunc(priv::HostHandle owner, const std::string& functionCode, char** buffer)
{
    const auto& functions = State().functions;
    const auto found = functions.find(functionCode);
    if (found == functions.end() || !found->second)
        return false;
    // A copy: the function may register or unregister functions while it runs.
    const HostFunction function = found->second;
    return function(owner, buffer);
}

// The substitute host draws its controls with the platform style; the
// colours below are applied by the module's windows themselves, so there is
// nothing to adjust per control.
void FrameworkHost::SetSkinSchemeCtrls(priv::HostHandle /*window*/) {}

// A light blue office scheme, as 0x00BBGGRR.
priv::HostColor FrameworkHost::gclModuleBackColor()
{
    return 0x00FCF5EE;
} // RGB(238,245,252)
priv::HostColor FrameworkHost::gclModuleToolBarColor()
{
    return 0x00F7E8D9;
} // RGB(217,232,247)
priv::HostColor FrameworkHost::gclTopBarColor()
{
    return 0x00B4783C;
} // RGB(60,120,180)
priv::HostColor FrameworkHost::gclFrameBackColor()
{
    return 0x00F9EEE3;
} // RGB(227,238,249)
priv::HostColor FrameworkHost::gclSysFontColor()
{
    return 0x00332B1F;
} // RGB(31,43,51)
int FrameworkHost::giSysFontSize()
{
    return 9;
}
int FrameworkHost::giSysFontCharSet()
{
    return 134;
} // GB2312_CHARSET

// --- Main-frame channel --------------------------------------------------------

priv::HostHandle FrameworkHost::FindWindowByClass(const std::string& className)
{
    return detail::FindWindowByClass(className);
}

void FrameworkHost::SendWindowMessage(priv::HostHandle target, unsigned message, std::intptr_t wParam,
                                      std::intptr_t lParam)
{
    detail::SendWindowMessage(target, message, wParam, lParam);
}

void FrameworkHost::SendCopyData(priv::HostHandle target, priv::HostHandle sender, std::uintptr_t kind,
                                 const std::vector<char>& bytes)
{
    detail::SendCopyData(target, sender, kind, bytes);
}

// --- Text ---------------------------------------------------------------------

std::string FrameworkHost::ReplaceStr(const std::string& text, const std::string& oldText,
                                      const std::string& newText)
{
    return detail::ReplaceAll(text, oldText, newText);
}

std::string FrameworkHost::GetCol(const std::string& text, int index, int separator)
{
    return detail::Column(text, index, separator);
}

// A state fixed by the host (or a test) wins; otherwise the platform's, and
// off where the platform tells nothing (the module then shows no warning).
bool FrameworkHost::CapsLockStatus()
{
    if (State().capsLock)
        return *State().capsLock;
    return detail::PlatformCapsLock().value_or(false);
}

// --- Event loop and clock -------------------------------------------------------

void FrameworkHost::ProcessMessages()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

double FrameworkHost::Now()
{
    if (const auto fixed = State().now)
        return *fixed;
    const QDateTime now = QDateTime::currentDateTime();
    const QDate date = now.date();
    const QTime time = now.time();
    priv::CivilDateTime civil{date.year(), date.month(),  date.day(),
                              time.hour(), time.minute(), time.second()};
    return priv::EncodeDateTime(civil) + time.msec() / 86400000.0;
}

} // namespace fennix
