// Reading the operation log back: the rows a reader asks for, and the check
// of its chain. Plain C++ over the host's connection, like the recorder.
#pragma once

#include "store/audit_record.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace priv {
class QueryResult;
}

namespace priv::audit {

// Which rows a reader wants; empty parts do not narrow. Times are the
// workstations' local times, "yyyy-mm-dd" or "yyyy-mm-dd hh:nn[:ss]"; both
// ends count, and an end given as a date alone stands for that whole day.
struct Filter {
    std::string since;
    std::string until;
    std::string operatorCode; // letter case ignored, as every code
    std::string event;        // an event name, exactly (kSignIn, kOperatorAdd, ...)
};

// Checks the filter's times; false with the reason in `message`.
bool CheckFilter(const Filter& filter, std::string& message);

// The filter as a condition on QX_CZRZ: " WHERE ..." or empty. Only for a
// filter CheckFilter accepted (a time it cannot read does not narrow).
std::string WhereClause(const Filter& filter);

// The current row of a query over kRowColumns.
Row ReadRow(const QueryResult& rows);

// Hands the rows that match, in number order, to `consume` (which may stop
// the reading by answering false), a few thousand at a time so that a long
// log never sits in memory whole. False when the log cannot be read.
bool ReadRows(const Filter& filter, const std::function<bool(const Row&)>& consume, std::string& message);

// What a walk along the chain found.
struct ChainCheck {
    enum class Finding {
        Intact,
        Changed,    // a row's content (or its hash) is not what was written
        Removed,    // rows are missing
        Inserted,   // a row that the recorder never wrote
        HeadBroken, // the chain's head is missing or disagrees with its last row
        NoLog,      // the database keeps no operation log
        Unreadable, // the log could not be read
    };
    Finding finding = Finding::Intact;
    std::int64_t firstRow = 0; // the first row concerned (the first missing one for Removed)
    std::int64_t lastRow = 0;  // Removed: the last missing one
    std::int64_t rowsRead = 0;
    std::int64_t lastSequence = 0; // the chain's end as read, for Intact
    std::string lastHash;
    std::string text; // what a person is told
};

// Walks the whole chain from row 1 and names the first row that was
// changed, removed or inserted.
ChainCheck VerifyChain();

} // namespace priv::audit
