#include "tests/server/test_http_client.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include <curl/curl.h>

namespace vornmark::server {

namespace {

std::size_t append_body(char* data, std::size_t size, std::size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

struct UploadCursor {
    const std::string* body;
    std::size_t offset;
};

// Hands the body out in small pieces, so a chunked upload really is several chunks.
std::size_t read_body(char* buffer, std::size_t size, std::size_t count, void* cursor_pointer) {
    auto* cursor = static_cast<UploadCursor*>(cursor_pointer);
    std::size_t n = std::min({size * count, cursor->body->size() - cursor->offset, std::size_t{512}});
    std::memcpy(buffer, cursor->body->data() + cursor->offset, n);
    cursor->offset += n;
    return n;
}

std::size_t append_header(char* data, std::size_t size, std::size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

void global_init_once() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

std::string TestReply::header(const std::string& name) const {
    const std::string start = "\r\n" + name + ": ";
    std::size_t at = headers.find(start);
    if (at == std::string::npos) return {};
    at += start.size();
    return headers.substr(at, headers.find("\r\n", at) - at);
}

TestHttpSession::TestHttpSession() {
    global_init_once();
    curl_ = curl_easy_init();
}

TestHttpSession::~TestHttpSession() {
    curl_easy_cleanup(static_cast<CURL*>(curl_));
}

TestReply send_request(const TestRequest& request) {
    TestHttpSession session;
    return session.send(request);
}

TestReply TestHttpSession::send(const TestRequest& request) {
    TestReply reply;
    CURL* curl = static_cast<CURL*>(curl_);
    if (curl == nullptr) {
        reply.error = "curl_easy_init failed";
        return reply;
    }
    curl_easy_reset(curl);
    curl_slist* headers = nullptr;
    for (const std::string& h : request.headers) headers = curl_slist_append(headers, h.c_str());

    UploadCursor cursor{&request.body, 0};
    curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, 20000L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, append_body);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply.body);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, append_header);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &reply.headers);
    if (!request.ca_file.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, request.ca_file.c_str());

    if (request.method == "POST" && request.chunked) {
        headers = curl_slist_append(headers, "Transfer-Encoding: chunked");
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_READFUNCTION, read_body);
        curl_easy_setopt(curl, CURLOPT_READDATA, &cursor);
    } else if (request.method == "POST") {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
    } else if (request.method == "HEAD") {
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    } else if (request.method != "GET") {
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    }
    if (request.method == "POST") headers = curl_slist_append(headers, "Expect:");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);

    CURLcode rc = curl_easy_perform(curl);
    if (rc == CURLE_OK) {
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    } else {
        reply.error = curl_easy_strerror(rc);
    }
    curl_slist_free_all(headers);
    return reply;
}

}  // namespace vornmark::server
