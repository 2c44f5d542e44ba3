// Purging the operation log's old rows without losing what makes it
// tamper-evident: the rows before a date go, and a checkpoint row takes the
// place of the last one, carrying its number and hash, so that the chain
// still links from the checkpoint to the rows kept (VerifyChain starts
// there). The purge itself is a row of the chain, naming what went and the
// hash of the last row purged: a checkpoint no purge row vouches for is
// treated as rows removed.
#pragma once

#include <cstdint>
#include <string>

namespace priv::audit {

struct PurgeResult {
    std::int64_t first = 0; // the rows purged, by number; count 0: nothing to purge
    std::int64_t last = 0;
    std::int64_t count = 0;
};

// Deletes the rows written before `before` ("yyyy-mm-dd" or
// "yyyy-mm-dd hh:nn[:ss]", the workstations' clocks), up to the first row
// written at or after it (rows are purged from the start of the chain only,
// so a workstation whose clock ran behind keeps its later rows), in one
// recorded change. False with the reason in `message`; nothing purged then.
bool PurgeBefore(const std::string& before, PurgeResult& result, std::string& message);

// The detail of the purge row that vouches for a checkpoint at `sequence`
// carrying `hash` contains this text.
std::string PurgedLastText(std::int64_t sequence, const std::string& hash);

} // namespace priv::audit
