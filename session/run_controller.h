#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/run_kind.h"
#include "engine/benchmark_config.h"
#include "engine/tile_plan.h"
#include "session/conditions_sampler.h"
#include "session/run_conditions.h"
#include "session/run_work.h"
#include "session/verified_run.h"
#include "verify/known_image.h"

namespace vornmark {

class BenchmarkEngine;

// What a poll saw happen to the runs since the poll before.
enum class RunEvent {
    None,       // nothing new: a run goes on, or none is going
    Started,    // a run has begun
    Finished,   // a run has finished; its image was checked
    Failed,     // a run was refused or could not take place; the sequence is over
    Cancelled,  // cancel() ended the sequence; the run going then left no result
};

// The runs as of the last poll, the same for every reader in between.
struct RunProgress {
    bool running = false;  // a run is going
    bool timing = false;   // its timed span has begun (before that it builds the scene and plans)
    std::int32_t tiles_done = 0;
    std::int32_t tiles_total = 0;
    // While timing: seconds since the timed span began. After a finished run: its time, until the
    // next run starts. Otherwise 0.
    double seconds = 0.0;
    // The work of the tiles done and of all tiles, in mean tiles (RunWork); weighted when each tile
    // counts by its own work, so the time left follows the work rather than the tile count.
    double work_done = 0.0;
    double work_total = 0.0;
    bool work_weighted = false;
    // How the last run ended (Finished, Failed or Cancelled); None while one is going or before any.
    RunEvent ended = RunEvent::None;
};

// Where the runs stand between two calls. Each state names what the next poll does.
enum class RunState {
    Idle,              // nothing going or queued: the poll reports nothing
    Running,           // a run is going: the poll reports its start (once), then its end
    Cancelling,        // as Running, after cancel(): an end without a result is Cancelled
    Waiting,           // a run of a sequence was reported: the poll starts the next one
    CancelledWaiting,  // cancel() while Waiting: the poll reports Cancelled
    Refused,           // the engine refused a start: the poll reports Failed with the reason
};

struct RunUpdate {
    RunEvent event = RunEvent::None;
    // The run the event is about: its settings and its place (0-based) among `count` runs started
    // together; run_both when they are "Run Both" (the single-core run, then the multi-core one).
    BenchmarkConfig config{};
    std::size_t index = 0;
    std::size_t count = 0;
    bool run_both = false;
    std::optional<FinishedRun> finished;  // Finished: the result and the verdict on its image
    std::string error;                    // Failed: why, one line (empty when nothing said why)
    RunProgress progress;                 // after the event
};

// The one way the window and the runner run benchmarks. It owns the engine, starts runs one after
// another (a sequence: "Run Both", --runs), takes each finished run exactly once and checks its
// image. The front end calls poll() once per frame or tick, before it draws or prints, and acts on
// what it returns; everything it shows in between reads the state that poll() left, so no reader
// depends on the order in which the others run. Every operation is called from one thread.
class RunController {
public:
    RunController();
    // Cancels a run in progress and waits for its tiles in flight.
    ~RunController();
    RunController(const RunController&) = delete;
    RunController& operator=(const RunController&) = delete;

    // The settings of runs started by kind, their thread count filled in per run: the preset,
    // unless the end-to-end window or a test makes them smaller.
    void set_settings(const BenchmarkConfig& settings) { settings_ = settings; }
    const BenchmarkConfig& settings() const { return settings_; }
    // The images finished runs are checked against (built_in_known_images() unless set).
    void set_known_images(std::vector<KnownImage> images);
    // Test seam for the runs to come (see TileHook).
    void set_tile_hook(TileHook hook, void* context);

    // Each starts the first run at once and queues the rest; the polls that follow start each
    // next run after the one before has been reported. Ignored while busy().
    // One run: Single on one worker, Multi on every hardware thread.
    void start(RunKind kind);
    // "Run Both": the single-core run, then the multi-core run.
    void start_both();
    // Runs of any settings, one after another.
    void start_sequence(std::vector<BenchmarkConfig> runs);

    // Ends the sequence: the run going is cancelled and the queued ones dropped; a later poll
    // reports Cancelled (or Finished, for a run whose last tile was done before the cancel).
    void cancel();

    RunUpdate poll();

    RunState state() const { return state_; }
    // A run is going or queued: from a start until the poll that reports how the sequence ended.
    bool busy() const { return state_ != RunState::Idle; }
    // The run going has ended (its last tile done, or cancelled) and the next poll reports it;
    // read at any time, so that a loop that sleeps between polls can wake for it.
    bool run_has_ended() const;
    const RunProgress& progress() const { return progress_; }
    // Why the last run failed, one line; empty once a run has started.
    const std::string& error() const { return error_; }

    // The image of the current or last run, for the preview and the image file.
    std::uint32_t run_serial() const;
    std::int32_t image_width() const;
    std::int32_t image_height() const;
    void snapshot_pixels(std::vector<std::uint8_t>& out) const;
    void snapshot_region(const Tile& area, std::vector<std::uint8_t>& out) const;
    std::vector<Tile> tile_plan() const;
    void tiles_finished_since(std::int32_t& cursor, std::vector<std::int32_t>& out) const;
    // The finished image itself; only while no run is going.
    const std::uint8_t* pixel_data() const;

    // Every run finished since the controller was made, with its conditions when both ends of its
    // timed span were sampled; kept in memory only.
    const std::vector<FinishedRun>& finished_runs() const { return finished_runs_; }

private:
    // Starts queue_[index]: Running, or Refused with the engine's reason.
    void launch(std::size_t index);
    RunUpdate report_refused();
    RunUpdate end_current();
    RunUpdate update_of(RunEvent event) const;
    void refresh_progress();

    std::unique_ptr<BenchmarkEngine> engine_;
    BenchmarkConfig settings_;
    std::vector<KnownImage> known_images_;

    // The sequence, kept after it ended for the reports of its last run.
    std::vector<BenchmarkConfig> queue_;
    bool run_both_ = false;

    RunState state_ = RunState::Idle;
    // What the states need besides: the run started last (its place in queue_; in Waiting the
    // next one follows it), whether a poll has reported its start (Running, Cancelling), when it
    // was launched, and why the engine refused it (Refused).
    std::size_t current_index_ = 0;
    bool start_reported_ = false;
    std::int64_t launched_ns_ = 0;
    std::string refusal_;

    RunProgress progress_;
    std::string error_;

    // The current run's work, followed through the tiles it has finished.
    RunWork work_;
    std::int32_t finish_cursor_ = 0;
    std::vector<std::int32_t> finished_tiles_;

    // Read by the run thread through the engine's span hook; see ConditionsSampler.
    ConditionsSampler conditions_;
    std::vector<FinishedRun> finished_runs_;
};

}  // namespace vornmark
