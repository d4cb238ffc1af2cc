#pragma once

#include "server/options.h"

namespace vornmark::server {

// Serves the leaderboard until SIGINT or SIGTERM; returns the exit code: 0 after a
// clean stop, 1 when it could not start (one line in the log says why).
int serve(const ServerOptions& options);

// --import-sqlite: copies the runs and returns the exit code.
int import_sqlite(const ServerOptions& options);

struct BoardRules;
// The board's rules as the flags set them.
BoardRules board_rules(const ServerOptions& options);

// An operator's command (flagged, hide, unhide, forget-address) against the --db, which a
// server may be using at the same time; prints what it did. Returns the exit code.
int moderate(const ServerOptions& options);

}  // namespace vornmark::server
