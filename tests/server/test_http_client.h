#pragma once

#include <string>
#include <vector>

namespace vornmark::server {

// A small libcurl client for the server tests, verifying the server against the
// test CA. Not the program's own transport: it reports every status and body.
struct TestReply {
    long status = 0;  // 0 when the exchange failed
    std::string body;
    std::string error;    // curl's message when the exchange failed
    std::string headers;  // the response's header block as received

    // The value of the named response header (the name as the server spells it); empty if absent.
    std::string header(const std::string& name) const;
};

struct TestRequest {
    std::string method = "GET";
    std::string url;       // e.g. "https://localhost:1234/api.php?type=single"
    std::string body;      // sent for POST and PUT
    std::string ca_file;   // empty for plain HTTP
    bool chunked = false;  // send the body without a Content-Length
    std::vector<std::string> headers;
};

// Keeps its connection open between requests (HTTP keep-alive) until destroyed.
class TestHttpSession {
public:
    TestHttpSession();
    ~TestHttpSession();
    TestHttpSession(const TestHttpSession&) = delete;
    TestHttpSession& operator=(const TestHttpSession&) = delete;

    TestReply send(const TestRequest& request);

private:
    void* curl_;
};

// One request on a connection of its own.
TestReply send_request(const TestRequest& request);

}  // namespace vornmark::server
