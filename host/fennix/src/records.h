// The host's named-value records (user information, company information).
#pragma once

#include "boundary/host.h"

#include <deque>
#include <string>
#include <string_view>

namespace fennix::detail {

// Entries live in a deque so that the pointer Find or Append hands out stays
// valid while more entries are appended; entries are never removed one by
// one, only with the whole record.
class NamedRecord final : public priv::HostRecord {
public:
    NamedRecord() = default;
    NamedRecord(const NamedRecord&) = delete;
    NamedRecord& operator=(const NamedRecord&) = delete;
    // Releases every owned object the record still holds.
    ~NamedRecord() override;

    priv::RecordEntry* Find(std::string_view name) override;
    priv::RecordEntry& Append(std::string name) override;

    std::size_t Size() const { return entries_.size(); }

private:
    std::deque<priv::RecordEntry> entries_;
};

} // namespace fennix::detail
