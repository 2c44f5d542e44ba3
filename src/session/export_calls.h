// What the three Boolean exports do, on the module's UTF-8 text. The export
// table (src/module) converts the host's buffer at the edge and keeps every
// exception away from the host.
#pragma once

#include <functional>
#include <string>

namespace priv {

// Shows the login window modally; true when it closed with OK. The window
// layer installs it; without one the window path answers false.
using LoginWindowRunner = std::function<bool()>;
void SetLoginWindowRunner(LoginWindowRunner runner);
bool RunLoginWindow();

// On success `params` becomes exactly "CZY_DM=<code>;CZY_LB=<post>".
bool CallLoadLoginForm(std::string& params);
bool CallInitGlobalUserInfo(const std::string& params);
// On failure returns false and the message that belongs under "ResultMsgStr".
bool CallFilterUserAuthrz(const std::string& params, std::string& failureMessage);
// A filter call whose buffer holds no parameter string (no end within the
// bound): nothing can be read from it, so it fails with its reason; the
// version step still runs, as after any failed filter.
bool CallFilterUserAuthrzWithoutParams(std::string& failureMessage);

// The unload handler's share of the module-wide state.
void ReleaseModuleState();

} // namespace priv
