#include "ui/standing_view.h"

#include <algorithm>

#include "ui/app_state.h"
#include "ui/colours.h"
#include "ui/wrapped_text.h"

namespace vornmark {

namespace {

constexpr float run_histogram_height = 36.0f;
constexpr float chosen_histogram_height = 48.0f;

void draw_grey_wrapped(const ImVec4& colour, const std::string& text) {
    ImGui::PushStyleColor(ImGuiCol_Text, colour);
    text_wrapped_at_blanks(text);
    ImGui::PopStyleColor();
}

std::string whole(double value) {
    return std::to_string(static_cast<long long>(value + 0.5));
}

// "median 139 · p10–p90 120–150 · 41 runs"
std::string spread_text(const Standing& standing) {
    std::string text;
    if (standing.median && standing.p10 && standing.p90)
        text = "median " + whole(*standing.median) + " \u00B7 p10\u2013p90 " + whole(*standing.p10) +
               "\u2013" + whole(*standing.p90) + " \u00B7 ";
    return text + std::to_string(standing.runs) + (standing.runs == 1 ? " run" : " runs");
}

}  // namespace

void draw_standing_histogram(const Standing& standing, std::optional<double> marked, float height) {
    if (!standing.has_histogram()) return;
    const float width = ImGui::GetContentRegionAvail().x;
    if (width <= 4.0f) return;
    const ImVec2 origin = ImGui::GetCursorScreenPos();
    ImGui::Dummy(ImVec2(width, height));
    ImDrawList* draw = ImGui::GetWindowDrawList();

    const double low = standing.edges.front();
    const double span = std::max(1e-9, standing.edges.back() - low);
    // A whole score s stands for [s, s + 1): its mark goes in the middle of that unit.
    auto x_of = [&](double score) {
        const double at = std::clamp((score + 0.5 - low) / span, 0.0, 1.0);
        return origin.x + static_cast<float>(at) * width;
    };
    std::int64_t tallest = 1;
    for (std::int64_t count : standing.counts) tallest = std::max(tallest, count);
    const float bottom = origin.y + height;
    const float top = origin.y + 4.0f;  // room for the marker's head
    const ImU32 bar = ImGui::GetColorU32(histogram_bar);
    for (std::size_t i = 0; i < standing.counts.size(); ++i) {
        if (standing.counts[i] <= 0) continue;
        const float x0 = origin.x + static_cast<float>((standing.edges[i] - low) / span) * width;
        const float x1 = origin.x + static_cast<float>((standing.edges[i + 1] - low) / span) * width;
        const float h = (bottom - top) * static_cast<float>(standing.counts[i]) / static_cast<float>(tallest);
        // At least a pixel wide and a pixel tall, so that a lone run still shows.
        draw->AddRectFilled(ImVec2(x0, bottom - std::max(1.0f, h)),
                            ImVec2(std::max(x0 + 1.0f, x1 - 1.0f), bottom), bar);
    }
    if (standing.median) {
        const float x = x_of(*standing.median);
        draw->AddLine(ImVec2(x, top), ImVec2(x, bottom), ImGui::GetColorU32(histogram_median), 1.0f);
    }
    if (marked) {
        const float x = x_of(*marked);
        const ImU32 marker = ImGui::GetColorU32(histogram_marker);
        draw->AddLine(ImVec2(x, top), ImVec2(x, bottom), marker, 2.0f);
        draw->AddTriangleFilled(ImVec2(x - 4.0f, origin.y), ImVec2(x + 4.0f, origin.y), ImVec2(x, top + 2.0f),
                                marker);
    }
}

void draw_run_standing(AppState& app) {
    const StandingOutcome outcome = app.leaderboard_client.run_standing();
    if (outcome.state != StandingOutcome::State::Ready && outcome.state != StandingOutcome::State::Failed)
        return;
    // Only under the score it is about: a later run, not submitted, has none of its own yet.
    const std::int32_t shown =
        outcome.kind == RunKind::Single ? app.shown_single_score : app.shown_multi_score;
    const bool wrong = outcome.kind == RunKind::Single ? app.shown_single_wrong : app.shown_multi_wrong;
    if (!outcome.score || *outcome.score != shown || wrong) return;

    ImGui::Spacing();
    if (outcome.state == StandingOutcome::State::Failed) {
        draw_grey_wrapped(label_grey, standing_unavailable_line(outcome.error));
        return;
    }
    draw_grey_wrapped(outcome.kind == RunKind::Single ? teal : orange, standing_line(outcome.standing));
    draw_standing_histogram(outcome.standing, static_cast<double>(*outcome.score), run_histogram_height);
}

float chosen_processor_height(const AppState& app, RunKind kind) {
    if (!app.chosen_processor || app.chosen_processor->kind != kind) return 0.0f;
    const ImGuiStyle& style = ImGui::GetStyle();
    return ImGui::GetTextLineHeightWithSpacing() * 2.0f + chosen_histogram_height +
           style.ItemSpacing.y * 3.0f;
}

void draw_chosen_processor(AppState& app, RunKind kind) {
    if (!app.chosen_processor || app.chosen_processor->kind != kind) return;
    const ChosenProcessor& chosen = *app.chosen_processor;
    const bool own = chosen.cpu == app.sysinfo.cpu_name;
    ImGui::TextColored(own ? teal : white, "%s", chosen.cpu.c_str());

    const StandingOutcome outcome = app.leaderboard_client.processor_standing();
    if (outcome.kind != kind || outcome.cpu != chosen.cpu) return;
    if (outcome.state == StandingOutcome::State::Failed) {
        draw_grey_wrapped(label_grey, standing_unavailable_line(outcome.error));
        return;
    }
    if (outcome.state != StandingOutcome::State::Ready) return;
    ImGui::TextColored(label_grey, "%s", spread_text(outcome.standing).c_str());
    std::optional<double> best;
    if (own) {
        const std::int32_t score = app.history.best_score(kind);
        if (score > 0) best = score;
    }
    draw_standing_histogram(outcome.standing, best, chosen_histogram_height);
}

void choose_processor(AppState& app, RunKind kind, const std::string& cpu) {
    if (app.chosen_processor && app.chosen_processor->kind == kind && app.chosen_processor->cpu == cpu) {
        app.chosen_processor.reset();
        return;
    }
    app.chosen_processor = ChosenProcessor{kind, cpu};
    app.leaderboard_client.fetch_processor_standing(kind, cpu);
}

}  // namespace vornmark
