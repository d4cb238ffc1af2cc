#pragma once

namespace httplib {
class Server;
}
class Api;

// Serves the Api through the HTTP library, with one log line per request.
void install_api(httplib::Server& server, Api& api);
