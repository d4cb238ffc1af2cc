// A second process for the sharing tests: changes one history file the way the window or the runner
// does, while the test (or another copy of this program) changes it too.
//   history_writer PATH append TAG COUNT   appends runs dated TAG-0 .. TAG-(COUNT-1)
//   history_writer PATH remove-newest COUNT   deletes the newest run it shows, COUNT times, and prints
//                                             the date of each run it clicked, one a line
#include <cstdio>
#include <cstdlib>
#include <string>

#include "history/history_store.h"

using namespace vornmark;

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    const std::string mode = argv[2];
    HistoryStore store(argv[1]);
    store.load();
    if (mode == "append" && argc == 5) {
        const int count = std::atoi(argv[4]);
        for (int i = 0; i < count; ++i) {
            HistoryEntry entry;
            entry.date = std::string(argv[3]) + "-" + std::to_string(i);
            entry.type = "single";
            entry.score = i;
            store.append(entry);
            if (!store.last_save().saved) return 1;
        }
        return 0;
    }
    if (mode == "remove-newest") {
        const int count = std::atoi(argv[3]);
        for (int i = 0; i < count && !store.entries().empty(); ++i) {
            std::printf("%s\n", store.entries().back().date.c_str());
            store.remove(store.entries().size() - 1);
            if (!store.last_save().saved) return 1;
        }
        return 0;
    }
    return 2;
}
