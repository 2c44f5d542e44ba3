#include "ui/record_failure.h"

#include "boundary/host.h"
#include "store/audit_record.h"

namespace priv {

bool ShowRecordFailure()
{
    const std::optional<std::string> reason = audit::TakeRecordFailure();
    if (!reason)
        return false;
    CurrentHost().ErrorMsgBox(audit::RecordFailureMessage(*reason));
    return true;
}

} // namespace priv
