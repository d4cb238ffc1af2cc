#include "server/warm_up.h"

#include <algorithm>
#include <cstring>
#include <string>

#include <httplib.h>

namespace {

// A request from memory; the reply is thrown away.
class MemoryStream : public httplib::Stream {
public:
    explicit MemoryStream(std::string input) : input_(std::move(input)) {}

    bool is_readable() const override { return true; }
    bool is_writable() const override { return true; }
    ssize_t read(char* ptr, size_t size) override {
        size_t n = std::min(size, input_.size() - position_);
        std::memcpy(ptr, input_.data() + position_, n);
        position_ += n;
        return static_cast<ssize_t>(n);
    }
    ssize_t write(const char*, size_t size) override { return static_cast<ssize_t>(size); }
    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        ip = "127.0.0.1";
        port = 0;
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        ip = "127.0.0.1";
        port = 0;
    }
    socket_t socket() const override { return INVALID_SOCKET; }

private:
    std::string input_;
    size_t position_ = 0;
};

// Reaches the protected request processing of httplib::Server.
struct RequestProcessing : httplib::Server {
    using httplib::Server::process_request;
};

}  // namespace

void warm_up_request_parsing(httplib::Server& server) {
    MemoryStream stream("GET /warm-up HTTP/1.1\r\n"
                        "Host: localhost\r\n"
                        "Range: bytes=0-0\r\n"
                        "Connection: close\r\n"
                        "\r\n");
    bool connection_closed = false;
    auto process = &RequestProcessing::process_request;
    (server.*process)(stream, /*close_connection=*/true, connection_closed, [](httplib::Request&) {});
}
