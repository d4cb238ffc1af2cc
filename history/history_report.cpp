#include "history/history_report.h"

#include "history/utf8_path.h"

namespace vornmark {

std::string history_load_problem(const HistoryStore& history) {
    const HistoryLoadOutcome& load = history.last_load();
    if (!load.failed) return {};
    std::string text = "The history file could not be read (" + load.reason + ").";
    if (!load.kept_aside.empty()) text += " Its content was kept as " + load.kept_aside + ".";
    return text;
}

std::string history_change_problem(const HistoryStore& history) {
    const HistorySaveOutcome& save = history.last_save();
    if (save.saved) return {};
    // The path once: most reasons name the file already.
    const bool reason_names_file = save.reason.find(history.path()) != std::string::npos;
    const std::string why = " (" + save.reason + "); " +
                            (reason_names_file ? std::string("the file") : history.path()) + " is unchanged";
    switch (save.change) {
    case HistoryChange::Append:
        return "History: the run could not be saved" + why + ", and the run is not kept";
    case HistoryChange::Remove:
        return "History: the run could not be deleted" + why + ", and the run stays";
    case HistoryChange::Save:
    case HistoryChange::None:
        break;
    }
    return "History: the history could not be saved" + why;
}

std::string history_notice(const HistoryStore& history) {
    const HistorySaveOutcome& save = history.last_save();
    if (!save.saved) return history_change_problem(history);
    // The copy lies beside the file: its name is enough, so the path is named once.
    if (!save.kept_aside.empty())
        return "History: the unreadable file was kept beside it as " +
               utf8_from_path(path_from_utf8(save.kept_aside).filename()) + "; " + history.path() +
               " holds the runs since";
    if (save.change == HistoryChange::None) return history_load_problem(history);
    return {};
}

}  // namespace vornmark
