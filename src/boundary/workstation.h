// Who and where, as the operating system knows it: the name of this
// workstation and the system user the host runs as. The operation log keeps
// both beside the operator who was signed in, since an operator code alone
// does not say from which desk a change came.
#pragma once

#include <string>

namespace priv {

// The computer's host name (UTF-8); empty when the system does not tell.
std::string WorkstationName();
// The system account the process runs as (UTF-8); empty when unknown.
std::string SystemUserName();

} // namespace priv
