// Module-wide state that lives between export calls: the signed-in operator
// and the code of the last operator who signed in.
#pragma once

#include "store/records.h"

#include <string>

namespace priv {

// All empty at load; replaced whole, and only, by a successful password check.
OperatorInfo& CurrentOperator();
// Set by a successful password check and read from the per-user file when
// the login window opens; cleared at unload.
std::string& PrevOperatorText();

} // namespace priv
