#include "boundary/utilities.h"

#include "boundary/codepage.h"

#include <array>
#include <cstring>

namespace priv {

bool IsSuperAdmin(std::string_view code)
{
    return code == kSuperAdminPost;
}
bool IsSystemPost(std::string_view code)
{
    return code == kSystemPost;
}
bool IsBusinessPost(std::string_view code)
{
    return code == kBusinessPost;
}

std::string PostDisplayName(std::string_view code, std::string_view storedName)
{
    if (code == kSuperAdminPost)
        return "超级管理员";
    if (code == kSystemPost)
        return "系统管理员";
    if (code == kBusinessPost)
        return "业务员";
    if (code == kAuditorPost)
        return "审核员";
    return std::string(storedName);
}

std::string QuoteSqlText(const std::string& text)
{
    return CurrentHost().ReplaceStr(text, "'", "''");
}

bool IsValidPhone(std::string_view text)
{
    for (const char c : text)
        if (!((c >= '0' && c <= '9') || c == '(' || c == ')' || c == '-'))
            return false;
    return true;
}

bool IsValidEmail(std::string_view text)
{
    if (text.empty())
        return true;
    const std::size_t at = text.find('@');
    if (at == std::string_view::npos || at == 0)
        return false;
    const std::string_view rest = text.substr(at + 1);
    const std::size_t dot = rest.find('.');
    return dot != std::string_view::npos && dot != 0 && dot != rest.size() - 1;
}

std::string GetTextField(std::string_view text, int index, std::string_view separator)
{
    if (index < 0)
        return {};
    if (separator.empty())
        return index == 0 ? std::string(text) : std::string();
    std::size_t start = 0;
    for (int piece = 0;; ++piece) {
        const std::size_t hit = text.find(separator, start);
        if (piece == index)
            return std::string(
                text.substr(start, hit == std::string_view::npos ? std::string_view::npos : hit - start));
        if (hit == std::string_view::npos)
            return {};
        start = hit + separator.size();
    }
}

std::string UserConfigPath()
{
    return CurrentHost().GetAppPath() + kUserConfigFile;
}

std::string ReadPrevOperator()
{
    return CurrentHost().ReadIniValueStr(UserConfigPath(), kUserConfigSection, kPrevOperatorKey, "admin");
}

bool WritePrevOperator(const std::string& operatorCode)
{
    return WriteUserConfig(kUserConfigSection, kPrevOperatorKey, operatorCode);
}

bool WriteUserConfig(const std::string& section, const std::string& key, const std::string& value)
{
    return CurrentHost().WriteIniValueStr(UserConfigPath(), section, key, value);
}

std::string MainSubAppCode()
{
    const SubAppDescriptor* mainFrame = CurrentHost().GetMainFrameInfo();
    return mainFrame ? mainFrame->code : std::string();
}

std::string MainProductCode()
{
    const SubAppDescriptor* mainFrame = CurrentHost().GetMainFrameInfo();
    return mainFrame ? mainFrame->product : std::string();
}

bool OpenHostFunction(HostHandle owner, const std::string& functionCode, std::string& params)
{
    // The host sees the buffer exactly as it sees an export's argv[0]: in its
    // own code page, zero-filled, at most 499 bytes of text.
    std::array<char, kHostFunctionBufferSize> buffer{};
    const std::string hostText = Utf8ToHost(CutToHostBytes(params, kHostFunctionBufferSize - 1));
    std::memcpy(buffer.data(), hostText.data(), hostText.size());
    char* bufferPointer = buffer.data();
    const bool answered = CurrentHost().ExecuteFunc(owner, functionCode, &bufferPointer);
    buffer.back() = '\0';
    params = HostToUtf8(std::string_view(buffer.data()));
    return answered;
}

} // namespace priv
