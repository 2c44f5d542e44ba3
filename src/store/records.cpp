#include "store/records.h"

#include "boundary/codepage.h"
#include "boundary/host.h"
#include "boundary/utilities.h"
#include "store/schema.h"

namespace priv {

std::string RecordText(std::string_view text)
{
    // The 8-bit code pages the host runs on never need more than two bytes
    // for one UTF-8 byte, so a short text fits without being measured (the
    // cut measures character by character and would dominate large loads).
    if (text.size() * 2 <= kRecordTextBytes)
        return std::string(text);
    return CutToHostBytes(text, kRecordTextBytes);
}

OperatorInfo ReadOperatorRow(const QueryResult& query)
{
    OperatorInfo info;
    auto text = [&query](const char* column) { return RecordText(query.AsString(column)); };
    info.Code = text(schema::kOperatorCode);
    info.Name = text(schema::kOperatorName);
    info.Password = text(schema::kPassword);
    info.PostCode = query.AsString(schema::kOperatorCategory) == schema::kSuperAdminCategory
                        ? std::string(schema::kSuperAdminPost)
                        : text(schema::kPostCode);
    info.PostName = RecordText(PostDisplayName(info.PostCode, query.AsString(schema::kPostName)));
    info.Phone = text(schema::kPhone);
    info.Email = text(schema::kEmail);
    info.Description = text(schema::kDescription);
    info.Address = text(schema::kAddress);
    info.DepartmentName = text(schema::kDepartmentName);
    info.ValidFlag = text(schema::kValidFlag);
    info.TimeLimitFlag = text(schema::kTimeLimitFlag);
    info.TimeLimit = query.AsDateTime(schema::kTimeLimit);
    info.LastSignIn = query.AsDateTime(schema::kLastSignIn);
    info.DepartmentCode = text(schema::kDepartmentCode);
    return info;
}

} // namespace priv
