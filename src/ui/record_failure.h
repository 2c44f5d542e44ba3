// A change undone because its row in the operation log could not be written
// is told to the user as such, not as the window's usual failure.
#pragma once

namespace priv {

// Shows "系统错误：[70018513]" with the reason when the last recorded change
// was undone for its record; answers whether it showed it.
bool ShowRecordFailure();

} // namespace priv
