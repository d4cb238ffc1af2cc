#include "bench/leaderboard_bench.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include <curl/curl.h>

namespace vornmark::server {

namespace {

std::size_t keep_body(char* data, std::size_t size, std::size_t count, void* body) {
    static_cast<std::string*>(body)->append(data, size * count);
    return size * count;
}

}  // namespace

double percentile(std::vector<double>& values, double p) {
    if (values.empty()) return 0;
    std::size_t at = std::min(values.size() - 1, static_cast<std::size_t>(p * values.size()));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(at), values.end());
    return values[at];
}

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

Reply one_request(const Target& target, const std::string& path, const std::string& post_body,
                  const std::string& from) {
    Reply reply;
    CURL* curl = curl_easy_init();
    const std::string url = target.base_url + path;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_CAINFO, target.ca_file.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, keep_body);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply.body);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, 20000L);
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    const std::string interface = "host!" + from;
    if (!from.empty()) curl_easy_setopt(curl, CURLOPT_INTERFACE, interface.c_str());
    curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/json");
    if (!post_body.empty()) {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, post_body.c_str());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(post_body.size()));
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    }
    const auto start = Clock::now();
    if (curl_easy_perform(curl) == CURLE_OK) curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    reply.ms = Ms(Clock::now() - start).count();
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return reply;
}

int connect_from(const char* from, int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, from, &local.sin_addr);
    bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<std::uint16_t>(port));
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool closed_by_peer(int fd) {
    pollfd p{fd, POLLIN | POLLRDHUP, 0};
    if (poll(&p, 1, 0) <= 0) return false;
    char byte;
    return (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) || recv(fd, &byte, 1, MSG_DONTWAIT) == 0;
}

void TlsDripper::drop() {
    if (ssl) SSL_free(ssl);
    if (fd >= 0) close(fd);
    ssl = nullptr;
    fd = -1;
}

void TlsDripper::open(SSL_CTX* context, int port) {
    drop();
    fd = connect_from(from.c_str(), port);
    if (fd < 0) return;
    ssl = SSL_new(context);
    SSL_set_fd(ssl, fd);
    SSL_set_tlsext_host_name(ssl, "localhost");
    timeval timeout{2, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    if (SSL_connect(ssl) != 1 ||
        (!head.empty() && SSL_write(ssl, head.data(), static_cast<int>(head.size())) <= 0)) {
        drop();
    }
    sent = 0;
}

void TlsDripper::step(SSL_CTX* context, int port) {
    if (fd < 0 || closed_by_peer(fd)) {
        ++reconnects;
        open(context, port);
        if (fd < 0) return;
    }
    if (SSL_write(ssl, dripped.data() + (sent % dripped.size()), 1) == 1) ++sent;
}

// CPU time the process has used so far, user and system, in milliseconds.
double cpu_ms(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i >= 14) ticks += std::atof(field.c_str());
    }
    return ticks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

long resident_kib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return -1;
}

std::string submission_body(const std::string& cpu, int score) {
    return R"({"cpu_name":")" + cpu + R"(","score":)" + std::to_string(score) +
           R"(,"threads":1,"type":"single"})";
}

}  // namespace vornmark::server
