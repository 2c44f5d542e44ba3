// The module's own operations on the host's named-value records (user
// information, company information). Names are looked up without regard to
// ASCII case; getters answer the default for a missing entry and setters
// append one, so neither ever fails.
#pragma once

#include "boundary/host.h"

#include <string>
#include <string_view>

namespace priv {

std::string GetTextValue(HostRecord& record, std::string_view name, const std::string& defaultValue = {});
double GetNumberValue(HostRecord& record, std::string_view name, double defaultValue = 0.0);
// For an object entry: non-zero exactly when the object is set.
int GetIntegerValue(HostRecord& record, std::string_view name, int defaultValue = 0);
void* GetObjectValue(HostRecord& record, std::string_view name);

void SetTextValue(HostRecord& record, std::string_view name, const std::string& text);
void SetNumberValue(HostRecord& record, std::string_view name, double value);
// The record owns the object from now on and frees it with `release` when the
// entry is replaced by anything but the very same object, or when the record goes.
void SetOwnedObjectValue(HostRecord& record, std::string_view name, void* object, ObjectRelease release);

} // namespace priv
