// The key functions of the host interface's classes: the translation unit
// that defines them holds the classes' type information and virtual tables.
// It is built into exactly one library of a process (see src/CMakeLists.txt).
#include "boundary/host.h"

namespace priv {

HostRecord::~HostRecord() = default;

Host::~Host() = default;

} // namespace priv
