// Counting replacements of the global allocation functions. The executable's
// definitions take precedence over the C and C++ runtime's for every module
// of the process, the plug-in's shared library included; each forwards to
// glibc's own allocator under its internal name.
#include "allocation_counter.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <new>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* p);
}

namespace {

std::atomic<std::size_t> allocations{0};
std::atomic<std::size_t> releases{0};

void* counted(void* p) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return p;
}

void* newOrThrow(std::size_t size, std::size_t alignment) {
    void* p = alignment == 0 ? __libc_malloc(size == 0 ? 1 : size)
                             : __libc_memalign(alignment, size == 0 ? 1 : size);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    return counted(p);
}

void* newOrNull(std::size_t size, std::size_t alignment) noexcept {
    void* p = alignment == 0 ? __libc_malloc(size == 0 ? 1 : size)
                             : __libc_memalign(alignment, size == 0 ? 1 : size);
    return p == nullptr ? nullptr : counted(p);
}

void release(void* p) noexcept {
    if (p != nullptr) {
        releases.fetch_add(1, std::memory_order_relaxed);
    }
    __libc_free(p);
}

}  // namespace

namespace velt::test {
AllocationCounts allocationCounts() {
    return {allocations.load(std::memory_order_relaxed), releases.load(std::memory_order_relaxed)};
}
}  // namespace velt::test

// ---- The malloc family.
extern "C" {
void* malloc(std::size_t size) { return counted(__libc_malloc(size)); }
void* calloc(std::size_t count, std::size_t size) { return counted(__libc_calloc(count, size)); }
void* realloc(void* p, std::size_t size) {
    if (p != nullptr && size == 0) {
        releases.fetch_add(1, std::memory_order_relaxed);
        return __libc_realloc(p, size);
    }
    return counted(__libc_realloc(p, size));
}
void free(void* p) { release(p); }
void* memalign(std::size_t alignment, std::size_t size) {
    return counted(__libc_memalign(alignment, size));
}
void* aligned_alloc(std::size_t alignment, std::size_t size) {
    return counted(__libc_memalign(alignment, size));
}
int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    void* p = __libc_memalign(alignment, size);
    if (p == nullptr) {
        return ENOMEM;
    }
    *out = counted(p);
    return 0;
}
void* valloc(std::size_t size) { return counted(__libc_memalign(4096, size)); }
void* reallocarray(void* p, std::size_t count, std::size_t size) {
    if (size != 0 && count > static_cast<std::size_t>(-1) / size) {
        errno = ENOMEM;
        return nullptr;
    }
    return realloc(p, count * size);
}
}

// ---- operator new and delete, every replaceable form.
void* operator new(std::size_t size) { return newOrThrow(size, 0); }
void* operator new[](std::size_t size) { return newOrThrow(size, 0); }
void* operator new(std::size_t size, std::align_val_t a) {
    return newOrThrow(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a) {
    return newOrThrow(size, static_cast<std::size_t>(a));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return newOrNull(size, 0); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return newOrNull(size, 0);
}
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return newOrNull(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return newOrNull(size, static_cast<std::size_t>(a));
}

void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, std::align_val_t) noexcept { release(p); }
void operator delete[](void* p, std::align_val_t) noexcept { release(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { release(p); }
