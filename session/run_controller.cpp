#include "session/run_controller.h"

#include <utility>

#include "base/check.h"
#include "engine/benchmark_engine.h"
#include "engine/benchmark_result.h"
#include "engine/steady_clock.h"

namespace vornmark {

namespace {

void sample_span(void* context, bool begins, std::int64_t steady_ns) {
    auto& sampler = *static_cast<ConditionsSampler*>(context);
    if (begins)
        sampler.span_begins(steady_ns);
    else
        sampler.span_ends(steady_ns);
}

}  // namespace

RunController::RunController()
    : engine_(std::make_unique<BenchmarkEngine>()), settings_(single_core_preset()),
      known_images_(built_in_known_images()) {
    engine_->set_span_hook(sample_span, &conditions_);
}

RunController::~RunController() {
    engine_->cancel();
}

void RunController::set_known_images(std::vector<KnownImage> images) {
    known_images_ = std::move(images);
}

void RunController::set_tile_hook(TileHook hook, void* context) {
    engine_->set_tile_hook(hook, context);
}

void RunController::start(RunKind kind) {
    BenchmarkConfig config = settings_;
    config.threads = kind == RunKind::Single ? 1 : multi_core_preset().threads;
    start_sequence({config});
}

void RunController::start_both() {
    if (busy()) return;
    BenchmarkConfig single = settings_;
    single.threads = 1;
    BenchmarkConfig multi = settings_;
    multi.threads = multi_core_preset().threads;
    start_sequence({single, multi});
    run_both_ = true;
}

void RunController::start_sequence(std::vector<BenchmarkConfig> runs) {
    if (busy() || runs.empty()) return;
    queue_ = std::move(runs);
    run_both_ = false;
    launch(0);
}

void RunController::cancel() {
    switch (state_) {
    case RunState::Running:
    case RunState::Cancelling:
        state_ = RunState::Cancelling;
        engine_->cancel();
        break;
    case RunState::Waiting:
        state_ = RunState::CancelledWaiting;
        break;
    case RunState::Idle:
    case RunState::CancelledWaiting:
    case RunState::Refused:  // the refusal is reported all the same
        break;
    }
}

void RunController::launch(std::size_t index) {
    DCHECK(index < queue_.size());
    current_index_ = index;
    error_.clear();
    const std::uint32_t serial = engine_->run_serial();
    launched_ns_ = steady_now_ns();
    conditions_.begin_run();
    engine_->start(queue_[index]);
    if (engine_->run_serial() == serial) {
        // Refused before it began (settings the engine cannot run): nothing to wait for.
        refusal_ = engine_->error();
        state_ = RunState::Refused;
        return;
    }
    state_ = RunState::Running;
    start_reported_ = false;
    work_.begin(queue_[index]);
    finish_cursor_ = 0;
    refresh_progress();
}

bool RunController::run_has_ended() const {
    return (state_ == RunState::Running || state_ == RunState::Cancelling) && !engine_->running();
}

RunUpdate RunController::poll() {
    switch (state_) {
    case RunState::Idle:
        break;
    case RunState::Refused:
        return report_refused();
    case RunState::Running:
    case RunState::Cancelling:
        if (!start_reported_) {
            start_reported_ = true;
            refresh_progress();
            return update_of(RunEvent::Started);
        }
        if (!engine_->running()) return end_current();
        refresh_progress();
        break;
    case RunState::CancelledWaiting:
        state_ = RunState::Idle;
        progress_.seconds = 0.0;
        progress_.ended = RunEvent::Cancelled;
        return update_of(RunEvent::Cancelled);
    case RunState::Waiting:
        launch(current_index_ + 1);
        if (state_ == RunState::Refused) return report_refused();
        start_reported_ = true;
        return update_of(RunEvent::Started);
    }
    return update_of(RunEvent::None);
}

RunUpdate RunController::report_refused() {
    state_ = RunState::Idle;
    error_ = std::move(refusal_);
    refusal_.clear();
    progress_.running = false;
    progress_.timing = false;
    progress_.seconds = 0.0;
    progress_.ended = RunEvent::Failed;
    RunUpdate update = update_of(RunEvent::Failed);
    update.error = error_;
    return update;
}

RunUpdate RunController::end_current() {
    DCHECK(run_has_ended() && current_index_ < queue_.size());
    const bool cancelled = state_ == RunState::Cancelling;
    const bool more = !cancelled && current_index_ + 1 < queue_.size();
    state_ = RunState::Idle;
    progress_.running = false;
    progress_.timing = false;
    progress_.tiles_done = engine_->tiles_done();
    progress_.tiles_total = engine_->tiles_total();
    progress_.seconds = 0.0;

    std::optional<BenchmarkResult> result = engine_->take_result();
    if (result) {
        // No run is going now, so the image and the plan are final.
        const BenchmarkConfig& config = queue_[current_index_];
        const std::vector<Tile> plan = engine_->tile_plan();
        FinishedRun run{
            std::move(*result), verify_image(config, engine_->pixel_data(), plan, known_images_), {}};
        run.conditions = conditions_.conditions(run.result.threads, multi_core_preset().threads, plan);
        finished_runs_.push_back(run);
        progress_.seconds = run.result.time_seconds;
        progress_.ended = RunEvent::Finished;
        if (more) state_ = RunState::Waiting;
        RunUpdate update = update_of(RunEvent::Finished);
        update.finished = std::move(run);
        return update;
    }
    if (cancelled) {
        progress_.ended = RunEvent::Cancelled;
        return update_of(RunEvent::Cancelled);
    }
    error_ = engine_->error();
    progress_.ended = RunEvent::Failed;
    RunUpdate update = update_of(RunEvent::Failed);
    update.error = error_;
    return update;
}

RunUpdate RunController::update_of(RunEvent event) const {
    RunUpdate update;
    update.event = event;
    if (!queue_.empty()) update.config = queue_[current_index_];
    update.index = current_index_;
    update.count = queue_.size();
    update.run_both = run_both_;
    update.progress = progress_;
    return update;
}

void RunController::refresh_progress() {
    progress_.running = engine_->running();
    progress_.tiles_done = engine_->tiles_done();
    progress_.tiles_total = engine_->tiles_total();
    // Until the run has begun its timed span, the clock reading is the previous run's.
    const std::int64_t started = engine_->start_time();
    progress_.timing = progress_.running && started >= launched_ns_;
    const std::int64_t now = steady_now_ns();
    progress_.seconds = progress_.timing && now > started ? elapsed_seconds(now - started) : 0.0;
    if (progress_.timing) conditions_.tick(now);
    progress_.ended = RunEvent::None;

    finished_tiles_.clear();
    engine_->tiles_finished_since(finish_cursor_, finished_tiles_);
    work_.add_finished(finished_tiles_);
    progress_.work_done = work_.done();
    progress_.work_total = work_.total();
    progress_.work_weighted = work_.weighted();
}

std::uint32_t RunController::run_serial() const {
    return engine_->run_serial();
}

std::int32_t RunController::image_width() const {
    return engine_->width();
}

std::int32_t RunController::image_height() const {
    return engine_->height();
}

void RunController::snapshot_pixels(std::vector<std::uint8_t>& out) const {
    engine_->snapshot_pixels(out);
}

void RunController::snapshot_region(const Tile& area, std::vector<std::uint8_t>& out) const {
    engine_->snapshot_region(area, out);
}

std::vector<Tile> RunController::tile_plan() const {
    return engine_->tile_plan();
}

void RunController::tiles_finished_since(std::int32_t& cursor, std::vector<std::int32_t>& out) const {
    engine_->tiles_finished_since(cursor, out);
}

const std::uint8_t* RunController::pixel_data() const {
    return engine_->pixel_data();
}

}  // namespace vornmark
