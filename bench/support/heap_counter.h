// The heap of the whole process counted at malloc itself, so that what the
// database client libraries allocate (SQLite's pages and statements, libpq's
// result sets) counts beside the program's own objects. A benchmark that
// links heap_counter.cpp gets the counting malloc; HeapWindow then tells what
// one operation took at its highest and what it left behind.
#pragma once

#include <cstddef>

namespace priv::bench {

// Bytes allocated now, as malloc_usable_size counts them.
long long HeapLiveBytes();

// From Start on: the most that was allocated at once beyond what was
// allocated at Start, and what is allocated beyond it now.
class HeapWindow {
public:
    void Start();
    long long PeakBytes() const;
    long long LiveBytes() const;

private:
    long long start_ = 0;
};

inline double Mebibytes(long long bytes)
{
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

} // namespace priv::bench
