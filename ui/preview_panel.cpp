#include "ui/preview_panel.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "base/run_kind.h"
#include "engine/steady_clock.h"
#include "session/run_texts.h"
#include "ui/app_state.h"
#include "ui/colours.h"
#include "ui/wrapped_text.h"

namespace vornmark {

namespace {

constexpr float image_margin_x = 16.0f;
constexpr float image_margin_y = 40.0f;
constexpr float bar_margin = 8.0f;
constexpr float bar_height = 20.0f;
constexpr float highlight_width = 40.0f;
constexpr float rounding = 4.0f;
constexpr const char* placeholder_hint = "Start a benchmark to render";
constexpr const char* idle_bar_text = "Ready: the bar fills as the tiles are rendered";
constexpr const char* idle_bar_short_text = "Ready";

float preview_height_limit(float available_height) {
    return available_height * 0.65f - image_margin_y;
}

}  // namespace

PreviewRect fit_preview(float aw, float ah, std::int32_t texture_width, std::int32_t texture_height) {
    if (texture_width <= 0 || texture_height <= 0) {
        return {};
    }
    const float limit = preview_height_limit(ah);
    const float aspect = static_cast<float>(texture_width) / static_cast<float>(texture_height);
    PreviewRect rect;
    rect.width = aw - image_margin_x;
    rect.height = rect.width / aspect;
    if (rect.height > limit) {
        rect.width = aspect * limit;
    }
    rect.height = std::min(rect.height, limit);
    rect.x_offset = (aw - rect.width) * 0.5f;
    return rect;
}

float progress_fraction(std::int32_t done, std::int32_t total) {
    return total != 0 ? static_cast<float>(done) / static_cast<float>(total) : 0.0f;
}

int highlight_alpha(float u) {
    return static_cast<int>(40.0f - std::fabs(u - 0.5f) * 80.0f);
}

std::string rough_duration(double seconds) {
    char text[48];
    if (seconds < 90.0)
        std::snprintf(text, sizeof text, "about %.0f s", std::max(seconds, 1.0));
    else if (seconds < 90.0 * 60.0)
        std::snprintf(text, sizeof text, "about %.0f min", seconds / 60.0);
    else
        std::snprintf(text, sizeof text, "about %.0f h %02.0f min", std::floor(seconds / 3600.0),
                      std::floor(std::fmod(seconds, 3600.0) / 60.0));
    return text;
}

std::vector<std::string> idle_description(const BenchmarkConfig& settings,
                                          const std::vector<HistoryEntry>& history,
                                          const std::string& cpu_name) {
    char what[160];
    std::snprintf(what, sizeof what,
                  "A run renders one fixed scene, %d x %d pixels at %d samples each, and scores its time.",
                  settings.width, settings.height, settings.samples);
    std::vector<std::string> lines = {what, "Single-Core renders it on one thread, Multi-Core on every one."};

    // The latest run of each kind on this processor.
    const HistoryEntry* single = nullptr;
    const HistoryEntry* multi = nullptr;
    for (const HistoryEntry& entry : history) {
        if (entry.cpu != cpu_name || !(entry.time_seconds > 0.0)) continue;
        if (entry.type == run_kind_text(RunKind::Single)) single = &entry;
        if (entry.type == run_kind_text(RunKind::Multi)) multi = &entry;
    }
    if (single == nullptr && multi == nullptr) {
        lines.push_back(
            "It takes minutes on most machines; this one's time will show here after its first run.");
        return lines;
    }
    std::string times = "On this machine:";
    if (single != nullptr) times += " Single-Core " + rough_duration(single->time_seconds);
    if (single != nullptr && multi != nullptr) times += ",";
    if (multi != nullptr) times += " Multi-Core " + rough_duration(multi->time_seconds);
    lines.push_back(times + " (from the history).");
    return lines;
}

void draw_preview_panel(AppState& app) {
    const ImVec2 avail = ImGui::GetContentRegionAvail();
    const float limit = preview_height_limit(avail.y);

    ImGui::PushStyleColor(ImGuiCol_Text, teal);
    ImGui::Text("RENDER PREVIEW");
    ImGui::PopStyleColor();
    ImGui::Separator();

    // Only the tiles finished since the last upload, at most 30 times a second
    // while running; the tiles that finish last are uploaded in the frame after.
    if (app.gpu != nullptr) {
        upload_preview(app.preview_uploads, app.runs, *app.gpu, static_cast<double>(steady_now_ns()) * 1e-9);
    }

    if (app.gpu != nullptr && app.gpu->has_texture()) {
        const PreviewRect rect =
            fit_preview(avail.x, avail.y, app.gpu->texture_width(), app.gpu->texture_height());
        if (rect.x_offset > 0.0f) {
            ImGui::SetCursorPosX(ImGui::GetCursorPosX() + rect.x_offset);
        }
        ImGui::Image(app.gpu->texture_id(), ImVec2(rect.width, rect.height), ImVec2(0.0f, 0.0f),
                     ImVec2(1.0f, 1.0f), white, transparent);
        return;
    }

    const float width = avail.x - image_margin_x;
    const ImVec2 p0 = ImGui::GetCursorScreenPos();
    const ImVec2 p1(p0.x + width, p0.y + limit);
    ImDrawList* draw = ImGui::GetWindowDrawList();
    draw->AddRectFilled(p0, p1, well_fill, rounding);
    draw->AddRect(p0, p1, well_border, rounding, 0, 1.0f);
    // The hint, and under it, centred and wrapped to the placeholder, what a run does and how long
    // it takes. The hint stays in the middle while the whole block fits below it; on a short
    // placeholder the block moves up, and paragraphs that still do not fit are left out whole.
    const float wrap = std::max(width - 2.0f * image_margin_x, 1.0f);
    const auto measure = [](std::string_view piece) {
        return ImGui::CalcTextSize(piece.data(), piece.data() + piece.size()).x;
    };
    std::vector<std::vector<std::string>> paragraphs;
    for (const std::string& paragraph :
         idle_description(app.runs.settings(), app.history.entries(), app.sysinfo.cpu_name))
        paragraphs.push_back(wrap_at_blanks(paragraph, wrap, measure));
    const ImVec2 text_size = ImGui::CalcTextSize(placeholder_hint);
    const float line_height = ImGui::GetTextLineHeight();
    const float gap = ImGui::GetStyle().ItemSpacing.y;
    const auto height_of = [&](const std::vector<std::string>& lines) {
        return static_cast<float>(lines.size()) * line_height + gap;
    };
    float block = text_size.y * 2.0f;
    for (const auto& lines : paragraphs) block += height_of(lines);
    const float bottom = p0.y + limit - gap;
    const float centred = p0.y + (limit - text_size.y) * 0.5f;
    const ImVec2 text_pos(p0.x + (width - text_size.x) * 0.5f,
                          std::max(p0.y + gap, std::min(centred, bottom - block)));
    draw->PushClipRect(p0, p1, true);
    draw->AddText(ImGui::GetFont(), ImGui::GetFontSize(), text_pos, hint_text, placeholder_hint);

    float y = text_pos.y + text_size.y * 2.0f;
    for (const auto& lines : paragraphs) {
        if (y + height_of(lines) - gap > bottom) break;
        for (const std::string& line : lines) {
            draw->AddText(ImVec2(p0.x + (width - measure(line)) * 0.5f, y), detail_text, line.c_str());
            y += line_height;
        }
        y += gap;
    }
    draw->PopClipRect();
    ImGui::Dummy(ImVec2(width, limit));
}

void draw_progress_panel(AppState& app, ImFont* mono) {
    ImGui::Spacing();
    ImGui::Spacing();

    const RunProgress& progress = app.runs.progress();
    const bool running = progress.running;
    const float p = progress_fraction(progress.tiles_done, progress.tiles_total);

    // A cancelled run keeps saying so, with the tiles it got done, until the next one starts.
    const bool cancelled = !running && progress.ended == RunEvent::Cancelled;
    if (running || p > 0.0f || cancelled) {
        if (mono != nullptr) {
            ImGui::PushFont(mono);
        }
        // A narrow column gets the line's fields on more lines rather than a line cut at its edge.
        const std::string text =
            cancelled ? cancelled_text(progress.tiles_done, progress.tiles_total)
                      : progress_text(ProgressLayout::Window, progress);
        const auto measure = [](std::string_view piece) {
            return ImGui::CalcTextSize(piece.data(), piece.data() + piece.size()).x;
        };
        for (const std::string& line :
             pack_fields(text, window_progress_separator, ImGui::GetContentRegionAvail().x - bar_margin, measure))
            ImGui::TextColored(cancelled ? orange : light_grey, "%s", line.c_str());
        if (mono != nullptr) {
            ImGui::PopFont();
        }
    }

    const ImVec2 p0 = ImGui::GetCursorScreenPos();
    const float width = ImGui::GetContentRegionAvail().x - bar_margin;
    const ImVec2 p1(p0.x + width, p0.y + bar_height);
    ImDrawList* draw = ImGui::GetWindowDrawList();
    draw->AddRectFilled(p0, p1, bar_track, rounding);
    if (p > 0.0f) {
        const float fill_end = p0.x + width * p;
        draw->AddRectFilled(p0, ImVec2(fill_end, p1.y), running ? bar_fill_running : bar_fill_idle, rounding);
        if (running) {
            const float u = static_cast<float>(std::fmod(ImGui::GetTime() * 2.0, 1.0));
            const float x0 = p0.x + u * width * p;
            const float x1 = std::min(x0 + highlight_width, fill_end);
            const int alpha = highlight_alpha(u);
            draw->AddRectFilled(ImVec2(x0, p0.y), ImVec2(x1, p1.y), bar_highlight(alpha), rounding);
        }
    }
    draw->AddRect(p0, p1, faint_line, rounding, 0, 1.0f);
    // Before any run the bar says what it is for, in the placeholder's colour, at most as tall as
    // the bar leaves room for.
    if (!running && p == 0.0f && !cancelled) {
        ImFont* font = ImGui::GetFont();
        const float size = std::min(ImGui::GetFontSize(), bar_height - 4.0f);
        const char* label = idle_bar_text;
        ImVec2 text = font->CalcTextSizeA(size, FLT_MAX, 0.0f, label);
        if (text.x > width - 8.0f) {
            label = idle_bar_short_text;
            text = font->CalcTextSizeA(size, FLT_MAX, 0.0f, label);
        }
        draw->PushClipRect(p0, p1, true);
        draw->AddText(font, size, ImVec2(p0.x + (width - text.x) * 0.5f, p0.y + (bar_height - text.y) * 0.5f),
                      detail_text, label);
        draw->PopClipRect();
    }
    ImGui::Dummy(ImVec2(width, bar_height));
}

}  // namespace vornmark
