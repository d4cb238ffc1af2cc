#pragma once

namespace vornmark::app {

// The fixed dark style with teal and orange accents: sizes, then every colour slot
// that the window sets. Sizes are not scaled here (ScaleAllSizes comes later).
void apply_vornmark_style();

}  // namespace vornmark::app
