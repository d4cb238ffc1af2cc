#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vornmark {

// The lines of `text` when it is wrapped to `width`: broken at blanks and line breaks only, so a
// version number, a path or an address stays whole. A single word wider than a line is broken
// where it reaches the edge. `measure` gives the width of a piece of text.
std::vector<std::string> wrap_at_blanks(std::string_view text, float width,
                                        const std::function<float(std::string_view)>& measure);

// The fields of `text` (the pieces between `separator`s) packed into as few lines as fit `width`,
// the separator kept between fields on one line; a field wider than a line stands alone.
std::vector<std::string> pack_fields(std::string_view text, std::string_view separator, float width,
                                     const std::function<float(std::string_view)>& measure);

// Draws `text` wrapped at blanks to `width`, or to the right edge of the current region when none
// is given, every line starting at the x where the text starts (also after SameLine).
void text_wrapped_at_blanks(std::string_view text, float width = -1.0f);

}  // namespace vornmark
