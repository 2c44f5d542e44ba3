#include "records.h"

#include "boundary/text.h"

namespace fennix::detail {

NamedRecord::~NamedRecord()
{
    // The record owns what was stored as an owned object (the module's
    // session object): it goes with the record, through the release function
    // stored beside it because only its creator knows its type.
    for (priv::RecordEntry& entry : entries_) {
        if (entry.kind == priv::EntryKind::OwnedObject && entry.object && entry.release) {
            void* object = entry.object;
            entry.object = nullptr;
            entry.release(object);
        }
    }
}

priv::RecordEntry* NamedRecord::Find(std::string_view name)
{
    for (priv::RecordEntry& entry : entries_)
        if (priv::SameTextAscii(entry.name, name))
            return &entry;
    return nullptr;
}

priv::RecordEntry& NamedRecord::Append(std::string name)
{
    priv::RecordEntry& entry = entries_.emplace_back();
    entry.name = std::move(name);
    return entry;
}

} // namespace fennix::detail
