#include "ui/run_updates.h"

#include "session/run_controller.h"
#include "session/verified_run.h"
#include "ui/app_state.h"

namespace vornmark {

namespace {

void show_and_record(AppState& app, const RunUpdate& update) {
    const FinishedRun& run = *update.finished;
    // "Run Both" shows its first run as the single-core score and its second as the multi-core one,
    // whatever their types (with one hardware thread both are "single"); a lone run by its type.
    const bool run_both = update.run_both;
    const bool single = run_both ? update.index == 0 : run.result.type == RunKind::Single;
    // A wrong image's run has no score to show: its place shows the mismatch instead.
    (single ? app.shown_single_score : app.shown_multi_score) = run.has_valid_score() ? run.result.score : 0;
    (single ? app.shown_single_wrong : app.shown_multi_wrong) = !run.has_valid_score();
    // The second run of "Run Both" does not hide a wrong image of the first.
    if (!(run_both && update.index == 1 && app.shown_verdict.status == ImageStatus::Mismatch))
        app.shown_verdict = run.verdict;
    const bool recorded =
        record_verified_run(run, app.sysinfo.cpu_name, app.history, &app.leaderboard_client);
    (single ? app.shown_single_unsaved : app.shown_multi_unsaved) =
        recorded && !app.history.last_save().saved;
}

}  // namespace

RunUpdate poll_runs(AppState& app) {
    RunUpdate update = app.runs.poll();
    switch (update.event) {
    case RunEvent::Started:
        if (update.index == 0) app.shown_verdict = ImageVerdict{};
        break;
    case RunEvent::Finished:
        show_and_record(app, update);
        break;
    case RunEvent::None:
    case RunEvent::Failed:
    case RunEvent::Cancelled:
        break;
    }
    return update;
}

}  // namespace vornmark
