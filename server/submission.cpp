#include "server/submission.h"

#include "server/cpu_name.h"

#include <optional>
#include <set>
#include <vector>

namespace vornmark::server {

namespace {

SubmissionCheck failed(std::string error) {
    SubmissionCheck check;
    check.error = std::move(error);
    return check;
}

std::string check_integer(const nlohmann::json& body, const char* key, std::int64_t highest,
                          std::int32_t& out) {
    auto it = body.find(key);
    if (it == body.end()) return std::string("missing member \"") + key + "\"";
    // JSON integers only: floats (even 5.0), booleans and strings are refused.
    if (!it->is_number_integer()) return std::string("\"") + key + "\" must be an integer";
    bool in_range = false;
    if (it->is_number_unsigned()) {
        auto v = it->get<std::uint64_t>();
        in_range = v >= 1 && v <= static_cast<std::uint64_t>(highest);
    } else {
        auto v = it->get<std::int64_t>();
        in_range = v >= 1 && v <= highest;
    }
    if (!in_range) return std::string("\"") + key + "\" must be from 1 to " + std::to_string(highest);
    out = static_cast<std::int32_t>(it->get<std::int64_t>());
    return {};
}

}  // namespace

bool is_valid_utf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        std::uint32_t code = 0;
        if ((byte & 0xE0) == 0xC0) {
            length = 2;
            code = byte & 0x1F;
        } else if ((byte & 0xF0) == 0xE0) {
            length = 3;
            code = byte & 0x0F;
        } else if ((byte & 0xF8) == 0xF0) {
            length = 4;
            code = byte & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        static constexpr std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

bool has_control_characters(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7F) return true;
        // U+0080..U+009F are encoded as C2 80 .. C2 9F.
        if (byte == 0xC2 && i + 1 < text.size()) {
            auto next = static_cast<unsigned char>(text[i + 1]);
            if (next >= 0x80 && next <= 0x9F) return true;
        }
    }
    return false;
}

SubmissionCheck check_submission(const nlohmann::json& body) {
    if (!body.is_object()) return failed("body must be a JSON object");

    SubmissionCheck check;
    Submission& s = check.submission;

    auto name = body.find("cpu_name");
    if (name == body.end()) return failed("missing member \"cpu_name\"");
    if (!name->is_string()) return failed("\"cpu_name\" must be a string");
    const std::string& sent = name->get_ref<const std::string&>();
    if (sent.empty()) return failed("\"cpu_name\" must not be empty");
    if (!is_valid_utf8(sent)) return failed("\"cpu_name\" must be valid UTF-8");
    if (has_control_characters(sent)) return failed("\"cpu_name\" must not contain control characters");
    s.cpu_name = canonical_cpu_name(sent);
    // Measured as stored: normalising can make a name longer than it was sent.
    if (s.cpu_name.size() > max_cpu_name_bytes) {
        return failed("\"cpu_name\" must be at most " + std::to_string(max_cpu_name_bytes) + " bytes");
    }
    if (std::string rule = cpu_name_rule_broken(s.cpu_name); !rule.empty()) {
        return failed("\"cpu_name\" must " + rule);
    }

    if (std::string e = check_integer(body, "score", max_score, s.score); !e.empty()) return failed(e);
    if (std::string e = check_integer(body, "threads", max_threads, s.threads); !e.empty()) return failed(e);

    auto type = body.find("type");
    if (type == body.end()) return failed("missing member \"type\"");
    if (!type->is_string() || (*type != "single" && *type != "multi")) {
        return failed("\"type\" must be \"single\" or \"multi\"");
    }
    s.type = type->get<std::string>();
    if ((s.type == "single") != (s.threads == 1)) {
        return failed("\"type\" must be \"single\" exactly when \"threads\" is 1");
    }
    return check;
}

SubmissionCheck parse_submission(std::string_view body) {
    // The parser takes a NUL byte for the end of the text and would ignore what follows.
    if (body.find('\0') != std::string_view::npos) return failed("body is not valid JSON");
    // The parser keeps the last of two equal keys; a proxy or a log reader may keep the
    // first, so neither is trusted.
    std::vector<std::set<std::string>> keys_of_open_objects;
    std::optional<std::string> repeated;
    auto watch_keys = [&](int, nlohmann::json::parse_event_t event, nlohmann::json& parsed) {
        if (event == nlohmann::json::parse_event_t::object_start) keys_of_open_objects.emplace_back();
        if (event == nlohmann::json::parse_event_t::object_end) keys_of_open_objects.pop_back();
        if (event == nlohmann::json::parse_event_t::key &&
            !keys_of_open_objects.back().insert(parsed.get<std::string>()).second && !repeated) {
            repeated = parsed.get<std::string>();
        }
        return true;
    };
    nlohmann::json document = nlohmann::json::parse(body, watch_keys, /*allow_exceptions=*/false);
    if (document.is_discarded()) return failed("body is not valid JSON");
    if (repeated) return failed("body must not repeat a member (\"" + *repeated + "\")");
    return check_submission(document);
}

}  // namespace vornmark::server
