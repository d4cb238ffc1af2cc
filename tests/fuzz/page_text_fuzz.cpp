// Any bytes as a processor's name on the web pages: escaped, they open no markup, and a page made
// with the name holds no more tags than with a harmless one.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "server/html_text.h"
#include "server/pages_html.h"
#include "server/submission.h"

namespace vornmark::server {

namespace {

std::size_t tags(const std::string& html) {
    std::size_t n = 0;
    for (char c : html) n += c == '<';
    return n;
}

}  // namespace

}  // namespace vornmark::server

using namespace vornmark;
using namespace vornmark::server;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string name(reinterpret_cast<const char*>(data), size);
    const std::string escaped = html_escaped(name);
    if (escaped.find_first_of("<>\"'") != std::string::npos || !is_valid_utf8(escaped)) std::abort();
    for (char c : query_value(name)) {
        if (c == '&' || c == '#' || c == '"' || c == '<' || c == ' ' || c == '+') std::abort();
    }
    static const std::size_t plain_tags = tags(standings_page_html({{{"x", 1, 1}, {}}}, {}));
    if (tags(standings_page_html({{{name, 1, 1}, {}}}, {})) != plain_tags) std::abort();
    static const std::size_t plain_page_tags = tags(processor_page_html("single", {{{"x", 1, 1}, {}}, 1}));
    if (tags(processor_page_html("single", {{{name, 1, 1}, {}}, 1})) != plain_page_tags) std::abort();
    return 0;
}
