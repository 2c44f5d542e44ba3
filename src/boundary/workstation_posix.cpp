// Host name and system user on POSIX systems.
#include "boundary/workstation.h"

#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

namespace priv {

std::string WorkstationName()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

std::string SystemUserName()
{
    // The account the process runs as, not what the environment claims. It
    // does not change while the process runs, and asking the user database
    // costs a file read (or a directory server's round trip): once is enough.
    static const std::string account = [] {
        long size = sysconf(_SC_GETPW_R_SIZE_MAX);
        std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : 16384));
        passwd entry{};
        passwd* found = nullptr;
        if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
            found->pw_name)
            return std::string(found->pw_name);
        return std::to_string(geteuid());
    }();
    return account;
}

} // namespace priv
