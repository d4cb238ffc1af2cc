#include "engine/render/vector_state.h"

namespace vornmark {

namespace {

// Compiled for AVX on its own; called only where the processor (and the system) has it.
__attribute__((target("avx"))) void zero_upper_halves() {
    __builtin_ia32_vzeroupper();
}

bool has_avx() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx") != 0;
}

}  // namespace

void settle_vector_state() {
    static const bool avx = has_avx();
    if (avx) zero_upper_halves();
}

}  // namespace vornmark
