#pragma once

#include "server/options.h"

// Serves the leaderboard until SIGINT or SIGTERM; returns the exit code: 0 after a
// clean stop, 1 when it could not start (one line in the log says why).
int serve(const ServerOptions& options);

// --import-sqlite: copies the runs and returns the exit code.
int import_sqlite(const ServerOptions& options);
