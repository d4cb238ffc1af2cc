#pragma once

#include <cstddef>

namespace vornmark {

// A program linked with vornmark_counting_allocator counts every heap allocation it makes through
// operator new (all its forms), so that a test or a benchmark can show that a piece of code makes
// none. The blocks come from malloc.

// Allocations so far, on every thread.
std::size_t heap_allocations();

}  // namespace vornmark
