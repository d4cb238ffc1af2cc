#pragma once

#include <string>

namespace vornmark {

// A host that does not exist, and what an exchange with it may end in: "host not found" when
// the machine's resolver answers within the exchange's time limit, "timed out" when it does not
// (a DNS server that never replies, as happens now and then on shared build machines).
inline constexpr const char* unknown_host = "no-such-host.invalid";

inline bool names_the_unknown_host(const std::string& failure, const std::string& where) {
    return failure == "HttpSendRequest failed: host not found" + where ||
           failure == "HttpSendRequest failed: timed out" + where;
}

}  // namespace vornmark
