#include "ui/host_context.h"

#include <cmath>

namespace priv {

std::string HostContext::UserField(std::string_view name) const
{
    if (!userInfo)
        return {};
    const RecordEntry* entry = userInfo->Find(name);
    if (!entry)
        return {};
    if (entry->kind == EntryKind::Number) {
        // Whole numbers read as the host writes them, without a fraction.
        double whole = 0.0;
        if (std::modf(entry->number, &whole) == 0.0)
            return std::to_string(static_cast<long long>(whole));
        return std::to_string(entry->number);
    }
    return entry->text;
}

HostContext CaptureHostContext(bool pageWindow)
{
    Host& host = CurrentHost();
    HostContext context;
    context.appHandle = host.GetAppHandle();
    context.mainFrameHandle = host.GetMainFrameHandle();
    context.appPath = host.GetAppPath();
    context.curSubAppPath = host.GetCurSubAppPath();
    context.curSubAppCode = host.GetCurSubAppCode();
    context.curFuncCode = host.GetCurFuncCode();
    context.curSubAppInfo = host.GetCurSubAppInfo();
    context.curSubAppVo = host.GetCurSubAppVo();
    context.userInfo = &host.GetUserInfoVO();
    context.companyInfo = &host.GetCompanyInfoVO();
    if (pageWindow) {
        context.curParentForm = host.GetCurParentForm();
        context.mainFrameParentForm = host.GetgsMainFrameParentForm();
    }
    return context;
}

} // namespace priv
