// Reading the operation log a page at a time, for a viewer that shows the
// newest rows first and lets the reader sort by any column: each page
// continues after the last row of the one before (by its sort value and its
// number), so that the millionth row costs what the first did and nothing
// is read that is not shown.
#pragma once

#include "store/audit_reader.h"
#include "store/audit_record.h"

#include <string>
#include <vector>

namespace priv::audit {

// The columns a reader sees and sorts by.
enum class Column {
    Sequence,
    LocalTime,
    Workstation,
    SystemUser,
    Operator,
    Event,
    ObjectKind,
    ObjectCode,
    Detail,
    Result,
};
inline constexpr int kColumnCount = 10;

// Rows with equal values keep number order, in the same direction.
struct PageOrder {
    Column column = Column::Sequence;
    bool descending = true;
};

// The value a row is sorted by (an absent value sorts as "").
std::string SortValue(const Row& row, Column column);

// Up to `limit` rows that match `filter` (which CheckFilter accepted), in
// `order`, after `after` (the last row already read; none for the first
// page), appended to `rows`. False with the database's message when the log
// cannot be read.
bool ReadPage(const Filter& filter, const PageOrder& order, const Row* after, int limit,
              std::vector<Row>& rows, std::string& message);

} // namespace priv::audit
