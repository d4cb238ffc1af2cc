#pragma once

#include <imgui.h>

namespace vornmark {

// The colours the panels must draw with, written down once for the tests from the design rather
// than taken from ui/colours.h, so that a wrong value there shows up.
namespace palette {

inline const ImVec4 teal(0.0f, 0.831f, 0.667f, 1.0f);
inline const ImVec4 orange(1.0f, 0.42f, 0.208f, 1.0f);
inline const ImVec4 placeholder_grey(0.3f, 0.3f, 0.3f, 1.0f);
inline const ImVec4 muted_grey(0.4f, 0.4f, 0.4f, 1.0f);
inline const ImVec4 label_grey(0.5f, 0.5f, 0.5f, 1.0f);
inline const ImVec4 error_red(0.8f, 0.2f, 0.2f, 1.0f);
inline const ImVec4 dim_error_red(0.6f, 0.2f, 0.2f, 1.0f);

}  // namespace palette

}  // namespace vornmark
