#include "session/current_operator.h"

namespace priv {

// Module-wide state is never destroyed: a host that exits without unloading
// the module runs the module's unload handler after exit() has destroyed
// every static object, and that handler still clears this state.

OperatorInfo& CurrentOperator()
{
    static auto* current = new OperatorInfo;
    return *current;
}

std::string& PrevOperatorText()
{
    static auto* previous = new std::string;
    return *previous;
}

} // namespace priv
