#include "tests/support/counting_allocator.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

std::atomic<std::size_t> allocation_count{0};

void* counted_allocation(std::size_t size) {
    allocation_count.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

// Aligned blocks come from malloc too (not every C library has aligned_alloc): the block's own
// address is kept in the word just before the aligned address.
void* counted_aligned_allocation(std::size_t size, std::align_val_t alignment) {
    allocation_count.fetch_add(1, std::memory_order_relaxed);
    const auto align = std::max(static_cast<std::size_t>(alignment), sizeof(void*));
    void* block = std::malloc(size + align + sizeof(void*));
    if (!block) throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(block) + sizeof(void*);
    void* aligned = reinterpret_cast<void*>((start + align - 1) / align * align);
    std::memcpy(static_cast<char*>(aligned) - sizeof(void*), &block, sizeof(void*));
    return aligned;
}

void free_aligned(void* p) noexcept {
    if (!p) return;
    void* block = nullptr;
    std::memcpy(&block, static_cast<char*>(p) - sizeof(void*), sizeof(void*));
    std::free(block);
}

}  // namespace

namespace vornmark {

std::size_t heap_allocations() {
    return allocation_count.load(std::memory_order_relaxed);
}

}  // namespace vornmark

// The replaced allocation functions are global by the language's rule.
void* operator new(std::size_t size) {
    return counted_allocation(size);
}
void* operator new[](std::size_t size) {
    return counted_allocation(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    allocation_count.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return counted_aligned_allocation(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return counted_aligned_allocation(size, alignment);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    free_aligned(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    free_aligned(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    free_aligned(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    free_aligned(p);
}
