// glibc's allocator with a count around it. The program's malloc family
// takes precedence over the C library's for every library of the process;
// the C library's own entry points do the work.
#include "heap_counter.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <malloc.h>

// glibc's own entry points, under the names glibc gives them: the counter
// has to call these, not its own malloc family, so the names are not ours
// to choose.
// NOLINTBEGIN(bugprone-reserved-identifier)
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* pointer);
}
// NOLINTEND(bugprone-reserved-identifier)

namespace {

std::atomic<long long> live{0};
std::atomic<long long> peak{0};

void Added(void* pointer)
{
    if (!pointer)
        return;
    const long long now =
        live.fetch_add(static_cast<long long>(malloc_usable_size(pointer)), std::memory_order_relaxed) +
        static_cast<long long>(malloc_usable_size(pointer));
    long long highest = peak.load(std::memory_order_relaxed);
    while (now > highest && !peak.compare_exchange_weak(highest, now, std::memory_order_relaxed)) {
    }
}

void Removed(void* pointer)
{
    if (pointer)
        live.fetch_sub(static_cast<long long>(malloc_usable_size(pointer)), std::memory_order_relaxed);
}

} // namespace

extern "C" {

void* malloc(std::size_t size)
{
    void* pointer = __libc_malloc(size);
    Added(pointer);
    return pointer;
}

void* calloc(std::size_t count, std::size_t size)
{
    void* pointer = __libc_calloc(count, size);
    Added(pointer);
    return pointer;
}

void* realloc(void* pointer, std::size_t size)
{
    const long long before = pointer ? static_cast<long long>(malloc_usable_size(pointer)) : 0;
    void* moved = __libc_realloc(pointer, size);
    if (!moved && size > 0)
        return nullptr; // the old block stays
    live.fetch_sub(before, std::memory_order_relaxed);
    Added(moved);
    return moved;
}

void free(void* pointer)
{
    Removed(pointer);
    __libc_free(pointer);
}

void* memalign(std::size_t alignment, std::size_t size)
{
    void* pointer = __libc_memalign(alignment, size);
    Added(pointer);
    return pointer;
}

void* aligned_alloc(std::size_t alignment, std::size_t size)
{
    return memalign(alignment, size);
}

int posix_memalign(void** result, std::size_t alignment, std::size_t size)
{
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0)
        return EINVAL;
    void* pointer = memalign(alignment, size);
    if (!pointer)
        return ENOMEM;
    *result = pointer;
    return 0;
}

void* valloc(std::size_t size)
{
    return memalign(4096, size);
}

void* pvalloc(std::size_t size)
{
    return memalign(4096, (size + 4095) & ~static_cast<std::size_t>(4095));
}

} // extern "C"

namespace priv::bench {

long long HeapLiveBytes()
{
    return live.load(std::memory_order_relaxed);
}

void HeapWindow::Start()
{
    start_ = live.load(std::memory_order_relaxed);
    peak.store(start_, std::memory_order_relaxed);
}

long long HeapWindow::PeakBytes() const
{
    return peak.load(std::memory_order_relaxed) - start_;
}

long long HeapWindow::LiveBytes() const
{
    return live.load(std::memory_order_relaxed) - start_;
}

} // namespace priv::bench
