#pragma once
// Counts the program's heap allocations and their bytes, to show that a path makes none or how its
// memory grows with its input. It replaces the global operator new, so only one source file of a
// program may include it.

#include <atomic>
#include <cstdlib>
#include <new>

namespace talvex::testing {
inline std::atomic<long> g_allocations{0};
inline std::atomic<long> g_allocated_bytes{0};
}  // namespace talvex::testing

// GCC sees malloc and free meet through the replaced pair and warns; the pairing is ours and matched.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    talvex::testing::g_allocations.fetch_add(1, std::memory_order_relaxed);
    talvex::testing::g_allocated_bytes.fetch_add(static_cast<long>(size), std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
// The library's temporary buffers come from the nothrow form and go back through the deletes here.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    talvex::testing::g_allocations.fetch_add(1, std::memory_order_relaxed);
    talvex::testing::g_allocated_bytes.fetch_add(static_cast<long>(size), std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
