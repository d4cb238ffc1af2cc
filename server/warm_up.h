#pragma once

namespace httplib {
class Server;
}

// Runs one request through the server's request parsing on the calling thread, to be
// called before the server starts its worker threads and before any route is added.
//
// The HTTP library builds some lookup tables (the set of known methods, the Range
// header pattern) as function-local statics on first use. The library is not built
// with ThreadSanitizer, so when two workers race to the first use, the checker misses
// the library's own guard and reports a race on the table. Built here first, the
// tables reach every worker through thread creation. Costs one parse at start-up.
void warm_up_request_parsing(httplib::Server& server);
