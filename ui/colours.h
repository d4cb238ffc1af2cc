#pragma once

#include <imgui.h>

// The two accent colours that recur across the window, on its dark greys.
inline const ImVec4 teal(0.0f, 0.831f, 0.667f, 1.0f);
inline const ImVec4 orange(1.0f, 0.42f, 0.208f, 1.0f);
