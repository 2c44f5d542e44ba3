#include "commands.h"

#include <iostream>

namespace privhost {

int RunDesktop(const AppOptions&)
{
    std::cerr << "privhost: the desktop host is not part of this build yet; use a command\n" << kUsage;
    return kExitSetup;
}

} // namespace privhost
