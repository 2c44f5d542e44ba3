// The four posts every installation holds, and the operator category of a
// super administrator. The stores keep them in the tables; the boundary's
// helpers and the filter compare against them, so they live at the bottom.
#pragma once

namespace priv {

inline constexpr const char* kSuperAdminPost = "0";
inline constexpr const char* kSystemPost = "SYSTEM";
inline constexpr const char* kBusinessPost = "BUSINESS";
inline constexpr const char* kAuditorPost = "AUDITOR";
inline constexpr const char* kSuperAdminCategory = "0";

} // namespace priv
