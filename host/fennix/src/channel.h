// The main-frame channel: window messages and copy-data between the module's
// windows and the host's main window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fennix::detail {

void* FindWindowByClass(const std::string& className);
void SendWindowMessage(void* target, unsigned message, std::intptr_t wParam, std::intptr_t lParam);
void SendCopyData(void* target, void* sender, std::uintptr_t kind, const std::vector<char>& bytes);

} // namespace fennix::detail
