// The keyboard state the host reads from the platform.
#pragma once

#include <optional>

namespace fennix::detail {

// Caps Lock as the windowing system reports it; nullopt where the platform
// tells nothing (the offscreen platform, Wayland).
std::optional<bool> PlatformCapsLock();

} // namespace fennix::detail
