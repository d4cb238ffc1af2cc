#include "ui/wrapped_text.h"

#include <algorithm>

#include <imgui.h>

namespace vornmark {

namespace {

// Where to cut a word wider than a line: after the last path separator that fits, so that a path
// breaks between its folders; else the longest prefix that fits (at least one byte, and never half
// a UTF-8 sequence).
std::size_t fitting_prefix(std::string_view word, float width,
                           const std::function<float(std::string_view)>& measure) {
    auto next_boundary = [&word](std::size_t at) {
        do ++at;
        while (at < word.size() && (static_cast<unsigned char>(word[at]) & 0xC0) == 0x80);
        return at;
    };
    std::size_t fits = next_boundary(0);
    for (std::size_t end = fits; end < word.size();) {
        end = next_boundary(end);
        if (measure(word.substr(0, end)) > width) break;
        fits = end;
    }
    const std::size_t separator = word.substr(0, fits).find_last_of("/\\");
    return separator != std::string_view::npos && separator > 0 ? separator + 1 : fits;
}

void wrap_paragraph(std::string_view paragraph, float width,
                    const std::function<float(std::string_view)>& measure, std::vector<std::string>& lines) {
    std::string line;
    std::size_t at = 0;
    for (;;) {
        const std::size_t word_start = paragraph.find_first_not_of(' ', at);
        if (word_start == std::string_view::npos) break;
        const std::size_t word_end = std::min(paragraph.find(' ', word_start), paragraph.size());
        // The blanks before a word stay inside a line and vanish at a break.
        const std::string_view gap = paragraph.substr(at, word_start - at);
        std::string_view word = paragraph.substr(word_start, word_end - word_start);
        at = word_end;

        if (!line.empty()) {
            std::string longer = line + std::string(gap) + std::string(word);
            if (measure(longer) <= width) {
                line = std::move(longer);
                continue;
            }
            lines.push_back(std::move(line));
        }
        while (measure(word) > width) {
            const std::size_t piece = fitting_prefix(word, width, measure);
            if (piece >= word.size()) break;
            lines.emplace_back(word.substr(0, piece));
            word.remove_prefix(piece);
        }
        line = word;
    }
    lines.push_back(std::move(line));
}

}  // namespace

std::vector<std::string> wrap_at_blanks(std::string_view text, float width,
                                        const std::function<float(std::string_view)>& measure) {
    std::vector<std::string> lines;
    for (;;) {
        const std::size_t line_break = text.find('\n');
        wrap_paragraph(text.substr(0, line_break), width, measure, lines);
        if (line_break == std::string_view::npos) break;
        text.remove_prefix(line_break + 1);
    }
    return lines;
}

std::vector<std::string> pack_fields(std::string_view text, std::string_view separator, float width,
                                     const std::function<float(std::string_view)>& measure) {
    std::vector<std::string> lines;
    std::string line;
    for (bool last = false; !last;) {
        const std::size_t end = text.find(separator);
        last = end == std::string_view::npos;
        const std::string_view field = text.substr(0, end);
        if (!last) text.remove_prefix(end + separator.size());
        if (line.empty()) {
            line = field;
            continue;
        }
        std::string longer = line + std::string(separator) + std::string(field);
        if (measure(longer) <= width) {
            line = std::move(longer);
        } else {
            lines.push_back(std::move(line));
            line = field;
        }
    }
    lines.push_back(std::move(line));
    std::vector<std::string> fitted;
    for (const std::string& packed : lines) {
        if (measure(packed) <= width) {
            fitted.push_back(packed);
            continue;
        }
        for (std::string& piece : wrap_at_blanks(packed, width, measure)) fitted.push_back(std::move(piece));
    }
    return fitted;
}

void text_wrapped_at_blanks(std::string_view text, float width) {
    if (width < 0.0f) width = ImGui::GetContentRegionAvail().x;
    const std::vector<std::string> lines = wrap_at_blanks(text, width, [](std::string_view piece) {
        return ImGui::CalcTextSize(piece.data(), piece.data() + piece.size()).x;
    });
    std::string joined;
    for (const std::string& line : lines) {
        if (!joined.empty()) joined += '\n';
        joined += line;
    }
    ImGui::TextUnformatted(joined.data(), joined.data() + joined.size());
}

}  // namespace vornmark
