// The tests' seams into the substitute host (fennix/testing.h, which is not
// installed): scripted answers and recorded message boxes, statement failures,
// the statement log and hook, a fixed clock and Caps Lock state.
#include "fennix/testing.h"

#include "database.h"
#include "state.h"

#include "boundary/datetime.h"
#include "quillet/quillet.h"

namespace fennix {

using detail::State;

// --- Message boxes ------------------------------------------------------------

void QueueAnswer(int answer)
{
    State().answers.push_back(answer);
}

std::vector<ShownMessage> ShownMessages()
{
    return State().shown;
}

void ClearShownMessages()
{
    State().shown.clear();
}

// --- Database failures on demand, statement log ------------------------------

void FailStatementsContaining(const std::string& fragment, int skip, int times)
{
    State().failures.push_back(detail::StatementFailure{fragment, skip < 0 ? 0 : skip, times, 0});
}

void ClearStatementFailures()
{
    State().failures.clear();
}

void SetStatementHook(std::function<void(const std::string& sql)> hook)
{
    State().statementHook = std::move(hook);
}

std::vector<std::string> ExecutedStatements()
{
    return State().executed;
}

void ClearExecutedStatements()
{
    State().executed.clear();
    State().keepStatements = true;
}

std::size_t CachedStatementCount(const std::string& connectionName)
{
    return detail::CachedStatements(connectionName);
}

// --- Clock, keyboard -------------------------------------------------------------

void SetNow(std::optional<double> dayCount)
{
    State().now = dayCount;
    if (dayCount)
        quillet::SetClock([] { return priv::FormatDateTimeSeconds(State().now.value_or(0.0)); });
    else
        quillet::SetClock({});
}

void SetCapsLock(std::optional<bool> on)
{
    State().capsLock = on;
}

} // namespace fennix
