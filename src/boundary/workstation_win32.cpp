// Computer name and system user on Windows (UTF-16 from the system, UTF-8
// for the module).
#include "boundary/workstation.h"

#include <windows.h>

#include <string>

namespace priv {
namespace {

std::string Utf8(const wchar_t* text, int length)
{
    if (length <= 0)
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return {};
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), size, nullptr, nullptr);
    return out;
}

} // namespace

std::string WorkstationName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &length))
        return {};
    return Utf8(name, static_cast<int>(length));
}

std::string SystemUserName()
{
    // The account the process runs as does not change while it runs.
    static const std::string account = [] {
        wchar_t name[257] = {};
        DWORD length = 257;
        if (!GetUserNameW(name, &length) || length == 0)
            return std::string();
        // The length counts the terminating NUL.
        return Utf8(name, static_cast<int>(length) - 1);
    }();
    return account;
}

} // namespace priv
