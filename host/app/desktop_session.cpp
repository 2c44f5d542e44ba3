#include "desktop_session.h"

#include "boundary/codepage.h"
#include "boundary/host.h"
#include "boundary/param_string.h"
#include "boundary/utilities.h"

#include <fennix/fennix.h>

#include <algorithm>
#include <cstring>
#include <sys/stat.h>

namespace privhost {
namespace {

std::string RecordText(priv::HostRecord& record, const char* name)
{
    const priv::RecordEntry* entry = record.Find(name);
    return entry && entry->kind == priv::EntryKind::Text ? entry->text : std::string();
}

std::vector<Company> ReadCompanies(const std::string& sql)
{
    std::vector<Company> companies;
    priv::QueryResult query;
    std::string message;
    if (!fennix::Services().ExecADOQueryMsg(priv::kMainConnection, sql, query, message, true))
        return companies;
    for (; !query.Eof(); query.Next())
        companies.push_back(Company{query.AsString("QYID"), query.AsString("QYMC")});
    return companies;
}

// The per-user file as a path of this file system.
std::string UserConfigFile()
{
    std::string path = priv::UserConfigPath();
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

} // namespace

bool IsCompanyId(const std::string& text)
{
    return !text.empty() && text.size() <= 18 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<SignedInOperator> DesktopSession::SignIn(const std::string& code, const std::string& password)
{
    std::string params;
    if (!code.empty())
        params = priv::SetParamValue(priv::SetParamValue("", PRIV_KEY_LOGIN_CODE, code),
                                     PRIV_KEY_LOGIN_PASSWORD, password);
    ParamBuffer buffer(params);
    if (!module_.CallBoolean("LoadLoginForm", buffer.Argv()))
        return std::nullopt;
    const std::string answer = buffer.Text();
    SignedInOperator signedIn{priv::GetParamValue(answer, PRIV_KEY_OPERATOR_CODE),
                              priv::GetParamValue(answer, PRIV_KEY_OPERATOR_POST)};
    if (signedIn.code.empty())
        return std::nullopt;
    return signedIn;
}

bool DesktopSession::PublishOperator(const std::string& code)
{
    if (code.empty())
        return false;
    ParamBuffer buffer(priv::SetParamValue("", PRIV_KEY_OPERATOR_CODE, code));
    return module_.CallBoolean("InitGlobalUserInfo", buffer.Argv());
}

bool DesktopSession::FilterAuthorisation(std::string& message)
{
    ParamBuffer buffer(priv::SetParamValue("", PRIV_KEY_PRODUCT_LIST, ProductList()));
    if (module_.CallBoolean("FilterUserAuthrz", buffer.Argv()))
        return true;
    message = priv::GetParamValue(buffer.Text(), PRIV_KEY_RESULT_MESSAGE);
    if (message.empty())
        message = "过滤用户权限失败。";
    return false;
}

std::optional<std::string> DesktopSession::ChangeOperator(void* appWindow)
{
    const UserConfigStamp before = ReadUserConfigStamp();
    if (!module_.CallShowLogoutForm(appWindow))
        return std::nullopt;
    const UserConfigStamp after = ReadUserConfigStamp();
    // A cancelled window leaves the file alone: the code it names may be an
    // older sign-in's, never to be taken for a new one.
    if (after == before || !after.exists || after.prevOperator.empty())
        return std::nullopt;
    return after.prevOperator;
}

bool DesktopSession::ReopenHost(const std::string& companyId, std::string& error)
{
    // A copy: opening the host replaces the settings CurrentSettings refers to,
    // and these are the ones to go back to.
    // NOLINTNEXTLINE(performance-unnecessary-copy-initialization)
    const fennix::Settings previous = fennix::CurrentSettings();
    fennix::Settings settings = previous;
    settings.companyId = companyId;
    if (!fennix::Open(settings, error)) {
        std::string ignored;
        fennix::Open(previous, ignored);
        return false;
    }
    SetCompanyId(companyId);
    return true;
}

std::string DesktopSession::ProductList()
{
    const priv::SubAppDescriptor* mainFrame = fennix::Services().GetMainFrameInfo();
    std::string list;
    for (const priv::SubAppDescriptor* descriptor : fennix::AllDescriptors()) {
        if (descriptor == mainFrame || descriptor->product.empty())
            continue;
        if (!list.empty())
            list += "\r\n";
        list += descriptor->product;
    }
    return list;
}

TPSession* DesktopSession::Session()
{
    const priv::RecordEntry* entry = fennix::Services().GetUserInfoVO().Find("TPSession");
    if (!entry || !entry->object ||
        (entry->kind != priv::EntryKind::OwnedObject && entry->kind != priv::EntryKind::BorrowedObject))
        return nullptr;
    return static_cast<TPSession*>(entry->object);
}

OperatorView DesktopSession::CurrentOperatorView()
{
    priv::HostRecord& user = fennix::Services().GetUserInfoVO();
    return OperatorView{RecordText(user, "CZY_DM"), RecordText(user, "CZY_MC"), RecordText(user, "CZY_LB"),
                        RecordText(user, "JSM_MC")};
}

std::string DesktopSession::CompanyId()
{
    return RecordText(fennix::Services().GetCompanyInfoVO(), "QYID");
}

void DesktopSession::SetCompanyId(const std::string& companyId)
{
    priv::HostRecord& company = fennix::Services().GetCompanyInfoVO();
    priv::RecordEntry* entry = company.Find("QYID");
    if (!entry)
        entry = &company.Append("QYID");
    if (entry->kind == priv::EntryKind::OwnedObject && entry->object && entry->release)
        entry->release(entry->object);
    entry->kind = priv::EntryKind::Text;
    entry->object = nullptr;
    entry->release = nullptr;
    entry->text = companyId;
}

std::vector<Company> DesktopSession::CompaniesOfCurrentCategory()
{
    const std::string current = CompanyId();
    if (IsCompanyId(current)) {
        std::vector<Company> companies = ReadCompanies(
            "SELECT QYID, QYMC FROM XT_QYXX WHERE LBDM=(SELECT LBDM FROM XT_QYXX WHERE QYID=" + current +
            ") ORDER BY QYID");
        if (!companies.empty())
            return companies;
    }
    return ReadCompanies("SELECT QYID, QYMC FROM XT_QYXX ORDER BY QYID");
}

std::vector<Company> DesktopSession::CompaniesOfOperator()
{
    // The super administrator may work in every company of the version's
    // category: an agency's clients (10) or the ordinary companies (0).
    if (CurrentOperatorView().post == "0")
        return ReadCompanies(std::string("SELECT QYID, QYMC FROM XT_QYXX WHERE LBDM=") +
                             (fennix::Services().CheckAgencyExist() ? "10" : "0") + " ORDER BY QYID");
    TPSession* session = Session();
    std::vector<std::string> granted;
    if (!session || !session->ListCompanies(granted))
        return {};
    std::string ids;
    for (const std::string& id : granted) {
        if (!IsCompanyId(id))
            continue;
        ids += (ids.empty() ? "" : ",") + id;
    }
    if (ids.empty())
        return {};
    return ReadCompanies("SELECT QYID, QYMC FROM XT_QYXX WHERE QYID IN (" + ids + ") ORDER BY QYID");
}

std::string DesktopSession::CompanyName(const std::string& companyId)
{
    if (!IsCompanyId(companyId))
        return {};
    const std::vector<Company> found =
        ReadCompanies("SELECT QYID, QYMC FROM XT_QYXX WHERE QYID=" + companyId);
    return found.empty() ? std::string() : found.front().name;
}

UserConfigStamp DesktopSession::ReadUserConfigStamp()
{
    UserConfigStamp stamp;
    struct stat info {};
    if (::stat(UserConfigFile().c_str(), &info) != 0)
        return stamp;
    stamp.exists = true;
    stamp.inode = static_cast<std::uint64_t>(info.st_ino);
    stamp.modifiedNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.prevOperator = fennix::Services().ReadIniValueStr(priv::UserConfigPath(), priv::kUserConfigSection,
                                                            priv::kPrevOperatorKey, "");
    return stamp;
}

} // namespace privhost
