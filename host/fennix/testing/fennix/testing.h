// The substitute host's test seams: statement failures on demand, the
// statement log and hook, recorded message boxes and scripted answers, a
// fixed clock and Caps Lock state. They act on libfennix's own state, so
// libfennix carries them (host/fennix/src/testing.cpp), but this header is
// not installed and only the test and benchmark targets see it (the
// fennix_testing target): a host built on the framework configures it through
// fennix/fennix.h alone.
#pragma once

#include "fennix/fennix.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace fennix {

// --- Message boxes ------------------------------------------------------------
// Every message box is recorded, shown or not. Not interactive, the next
// queued answer is returned (1 when none is queued).
enum class MessageKind { Info, Error, Confirm, Catalogue };
struct ShownMessage {
    MessageKind kind;
    int number;            // catalogue number; 0 for plain texts
    std::string text;      // the text as shown (placeholders filled)
    std::string arguments; // the argument text as passed (char 1 between arguments)
};
// Next answers of ConfirmMsgBoxA (1 yes, 0 no) and InforMsg, first in first
// out; with none queued the answer is 1.
FENNIX_API void QueueAnswer(int answer);
FENNIX_API std::vector<ShownMessage> ShownMessages();
FENNIX_API void ClearShownMessages();

// --- Database failures on demand --------------------------------------------
// Statements handed to ExecADOQueryMsg whose text contains `fragment` fail:
// the first `skip` matches run, then `times` matches fail (-1: all of them).
// The same rule applies to the transaction commands by their texts "BEGIN"
// and "COMMIT" (a failing COMMIT rolls the transaction back, as a real failed
// commit does); a rollback always runs.
FENNIX_API void FailStatementsContaining(const std::string& fragment, int skip = 0, int times = -1);
FENNIX_API void ClearStatementFailures();
// Called with each statement's text right after ExecADOQueryMsg handed it to
// the database (whether it ran or failed there), on the same thread, so that a test can step a second
// workstation in at an exact point of an operation. Empty: none. Open
// forgets it.
FENNIX_API void SetStatementHook(std::function<void(const std::string& sql)> hook);
// The statement log: every statement text handed to ExecADOQueryMsg, in
// order (failed ones too), kept only once asked for. ClearExecutedStatements
// empties it and keeps statements from then on; Open empties it and stops
// keeping (a large save would otherwise leave a million texts behind).
FENNIX_API std::vector<std::string> ExecutedStatements();
FENNIX_API void ClearExecutedStatements();
// How many compiled statements the connection keeps for texts that come
// again (SQLite; 0 where the driver gains nothing from keeping them).
FENNIX_API std::size_t CachedStatementCount(const std::string& connectionName);

// --- Clock, keyboard ------------------------------------------------------------
// Fixes Now() (and the log's time stamps); nullopt: the real local clock.
FENNIX_API void SetNow(std::optional<double> dayCount);
// Fixes CapsLockStatus(); nullopt: the real state (read from the X11
// keyboard extension where the desktop runs on X11, otherwise off).
FENNIX_API void SetCapsLock(std::optional<bool> on);

} // namespace fennix
