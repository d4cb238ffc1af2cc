// The server's reading of a submission and its name rules: a stored name is canonical, keeps the
// rules and has a key; any UTF-8 text goes through the name functions without harm.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "server/cpu_name.h"
#include "server/submission.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const SubmissionCheck check = parse_submission(text);
    if (check.ok()) {
        const std::string& name = check.submission.cpu_name;
        if (canonical_cpu_name(name) != name || !cpu_name_rule_broken(name).empty()) std::abort();
        if (cpu_name_key(name).empty()) std::abort();
    }
    if (is_valid_utf8(text) && !has_control_characters(text)) {
        const std::string canonical = canonical_cpu_name(text);
        if (canonical_cpu_name(canonical) != canonical) std::abort();
        cpu_name_rule_broken(canonical);
        cpu_name_key(canonical);
    }
    return 0;
}
