#include "session/current_operator.h"

namespace priv {

OperatorInfo& CurrentOperator()
{
    static OperatorInfo current;
    return current;
}

std::string& PrevOperatorText()
{
    static std::string previous;
    return previous;
}

} // namespace priv
