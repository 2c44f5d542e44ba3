#include "session/named_values.h"

#include "boundary/datetime.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace priv {
namespace {

// Lets go of an entry's old value before it takes a new one. An owned object
// is freed unless it is the very object about to be stored again.
void ReleaseOldValue(RecordEntry& entry, const void* keep)
{
    if (entry.kind == EntryKind::OwnedObject && entry.object && entry.object != keep && entry.release)
        entry.release(entry.object);
    entry.object = nullptr;
    entry.release = nullptr;
    entry.text.clear();
    entry.number = 0.0;
}

RecordEntry& EntryFor(HostRecord& record, std::string_view name, const void* keep)
{
    if (RecordEntry* entry = record.Find(name)) {
        ReleaseOldValue(*entry, keep);
        return *entry;
    }
    return record.Append(std::string(name));
}

} // namespace

std::string GetTextValue(HostRecord& record, std::string_view name, const std::string& defaultValue)
{
    const RecordEntry* entry = record.Find(name);
    if (!entry)
        return defaultValue;
    switch (entry->kind) {
    case EntryKind::Text:
        return entry->text;
    case EntryKind::Number: {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%g", entry->number);
        return buffer;
    }
    default:
        return defaultValue;
    }
}

double GetNumberValue(HostRecord& record, std::string_view name, double defaultValue)
{
    const RecordEntry* entry = record.Find(name);
    if (!entry)
        return defaultValue;
    if (entry->kind == EntryKind::Number)
        return entry->number;
    if (entry->kind == EntryKind::Text) {
        // Date-times published as text ("yyyy-mm-dd hh:nn:ss") read back as
        // the day counts they stand for.
        if (const std::optional<double> moment = ParseDateTime(entry->text))
            return *moment;
        char* end = nullptr;
        const double value = std::strtod(entry->text.c_str(), &end);
        return end != entry->text.c_str() ? value : defaultValue;
    }
    return defaultValue;
}

int GetIntegerValue(HostRecord& record, std::string_view name, int defaultValue)
{
    const RecordEntry* entry = record.Find(name);
    if (!entry)
        return defaultValue;
    switch (entry->kind) {
    case EntryKind::OwnedObject:
    case EntryKind::BorrowedObject:
        return entry->object ? 1 : 0;
    case EntryKind::Number:
        return static_cast<int>(std::trunc(entry->number));
    case EntryKind::Text:
        return entry->text.empty() ? defaultValue : std::atoi(entry->text.c_str());
    }
    return defaultValue;
}

void* GetObjectValue(HostRecord& record, std::string_view name)
{
    const RecordEntry* entry = record.Find(name);
    if (!entry || (entry->kind != EntryKind::OwnedObject && entry->kind != EntryKind::BorrowedObject))
        return nullptr;
    return entry->object;
}

void SetTextValue(HostRecord& record, std::string_view name, const std::string& text)
{
    RecordEntry& entry = EntryFor(record, name, nullptr);
    entry.kind = EntryKind::Text;
    entry.text = text;
}

void SetNumberValue(HostRecord& record, std::string_view name, double value)
{
    RecordEntry& entry = EntryFor(record, name, nullptr);
    entry.kind = EntryKind::Number;
    entry.number = value;
}

void SetOwnedObjectValue(HostRecord& record, std::string_view name, void* object, ObjectRelease release)
{
    RecordEntry& entry = EntryFor(record, name, object);
    entry.kind = EntryKind::OwnedObject;
    entry.object = object;
    entry.release = release;
}

} // namespace priv
