// The window exports' work: what each puts on screen. A window that is not
// part of the build shows nothing, which the host sees as a page that did not
// open.
#pragma once

#include <string>

namespace priv::module {

void ShowLogoutForm(void* applicationWindow);
void ShowOperatorManagement(void* applicationWindow, void* container, const std::string& params);
void ShowPasswordChange(void* applicationWindow, void* container, const std::string& params);
void ShowPrivilegeAssignment(void* applicationWindow, void* container, const std::string& params);

} // namespace priv::module
