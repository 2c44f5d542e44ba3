// The snapshot of the host that a base window takes when it is created.
#pragma once

#include "boundary/host.h"

#include <string>
#include <string_view>

namespace priv {

// Items in the order they are captured. The references belong to the host;
// a window never frees them.
struct HostContext {
    HostHandle appHandle = nullptr;            // GetAppHandle
    HostHandle mainFrameHandle = nullptr;      // GetMainFrameHandle
    std::string appPath;                       // GetAppPath
    std::string curSubAppPath;                 // GetCurSubAppPath
    std::string curSubAppCode;                 // GetCurSubAppCode
    std::string curFuncCode;                   // GetCurFuncCode
    SubAppDescriptor* curSubAppInfo = nullptr; // GetCurSubAppInfo
    void* curSubAppVo = nullptr;               // GetCurSubAppVo
    HostRecord* userInfo = nullptr;            // GetUserInfoVO
    HostRecord* companyInfo = nullptr;         // GetCompanyInfoVO
    HostHandle curParentForm = nullptr;        // GetCurParentForm (page windows only)
    HostHandle mainFrameParentForm = nullptr;  // GetgsMainFrameParentForm (page windows only)

    // A text field of the signed-in user's record ("CZY_DM", "CZY_MC" ...);
    // empty when the record or the field is missing.
    std::string UserField(std::string_view name) const;
};

// Reads the host context; the two parent forms only for page windows.
HostContext CaptureHostContext(bool pageWindow);

} // namespace priv
