#include "cli/scaling_run.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include <nlohmann/json.hpp>

#include "cli/conditions_json.h"
#include "cli/exit_codes.h"
#include "cli/program_configuration.h"
#include "session/run_texts.h"
#include "session/run_controller.h"
#include "session/stop_signal.h"

namespace vornmark::cli {

int run_scaling(const Options& options) {
    std::FILE* notes = options.json ? stderr : stdout;
    std::vector<PlannedRun> planned;
    for (const std::int32_t threads : scaling_steps(multi_core_preset().threads)) {
        BenchmarkConfig config = preset_config(threads);
        config.samples = scaling_samples;
        planned.push_back({config, false});
    }
    fit_planned_runs(planned);
    const BenchmarkConfig& work = planned.front().config;
    std::string threads;
    for (const PlannedRun& run : planned)
        threads += (threads.empty() ? "" : ", ") + std::to_string(run.config.threads);
    std::fprintf(notes,
                 "Thread scaling: the preset's scene at %dx%d, %d samples per pixel, depth %d, tile %d, on "
                 "%s threads\n",
                 work.width, work.height, work.samples, work.max_depth, work.tile_size, threads.c_str());
    if (!options.json) std::printf("%s\n", scaling_heading().c_str());
    std::fflush(notes);

    RunController controller;
    controller.set_known_images({});
    std::vector<BenchmarkConfig> configs;
    for (const PlannedRun& run : planned) configs.push_back(run.config);
    controller.start_sequence(std::move(configs));

    std::vector<ScalingStep> steps;
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    while (controller.busy()) {
        if (stop_requested()) {
            if (!controller.progress().running) return exit_stopped();
            controller.cancel();
        }
        const RunUpdate update = controller.poll();
        if (update.event == RunEvent::Cancelled) {
            std::fprintf(notes, "%s\n",
                         cancelled_text(update.progress.tiles_done, update.progress.tiles_total).c_str());
            return exit_stopped();
        }
        if (update.event == RunEvent::Failed) {
            std::fprintf(stderr, "vornmark-cli: %s\n",
                         update.error.empty() ? "the run did not finish" : update.error.c_str());
            return exit_run_failed;
        }
        if (update.event == RunEvent::Finished) {
            if (stop_requested()) return exit_stopped();
            const FinishedRun& run = *update.finished;
            ScalingStep step;
            step.threads = run.result.threads;
            step.seconds = run.result.time_seconds;
            const double first = steps.empty() ? step.seconds : steps.front().seconds;
            step.speedup = step.seconds > 0.0 ? first / step.seconds : 0.0;
            step.efficiency = step.speedup / step.threads;
            if (run.conditions) {
                step.tail_percent = run.conditions->tail_percent;
                step.verdict = std::string(verdict_word(run.conditions->verdict));
            }
            steps.push_back(step);
            if (options.json) {
                rows.push_back({
                    {"threads", step.threads},
                    {"time_seconds", step.seconds},
                    {"speedup", step.speedup},
                    {"efficiency", step.efficiency},
                    {"tail_percent",
                     step.tail_percent ? nlohmann::ordered_json(*step.tail_percent) : nullptr},
                    {"conditions", run.conditions ? conditions_json(*run.conditions) : nullptr},
                });
            } else {
                std::printf("%s\n", scaling_row(step).c_str());
                std::fflush(stdout);
            }
        }
        if (controller.busy()) std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    if (options.json) {
        const BenchmarkConfig& config = planned.front().config;
        const nlohmann::ordered_json table = {
            {"scaling",
             {{"width", config.width},
              {"height", config.height},
              {"samples", config.samples},
              {"max_depth", config.max_depth},
              {"tile_size", config.tile_size},
              {"steps", rows}}},
        };
        std::printf("%s\n", table.dump().c_str());
    }
    return exit_ok;
}

}  // namespace vornmark::cli
