#include "boundary/host.h"

#include <stdexcept>

namespace priv {
namespace {

Host* boundHost = nullptr;

} // namespace

Host& CurrentHost()
{
    if (!boundHost)
        throw std::logic_error("the module is not bound to a host");
    return *boundHost;
}

void BindHost(Host* host)
{
    boundHost = host;
}

} // namespace priv
