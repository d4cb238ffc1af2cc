#pragma once

namespace vornmark {

// Marks the upper halves of the AVX registers as clean (VZEROUPPER) on processors with AVX; does
// nothing on others. The kernel runs SSE2 code only, but after its thread has been switched out
// and back in, some processors run that code 10-30 % slower until a VZEROUPPER: the state restored
// with the thread counts as dirty upper halves. Called once per pixel, so a render does not measure
// how often its thread was switched out.
void settle_vector_state();

}  // namespace vornmark
