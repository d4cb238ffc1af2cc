// The client's reading of a standings reply: only its own refusals (the JSON library's errors,
// impossible standings), and names that are safe to print.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/printable_text.h"
#include "net/standings.h"

using namespace vornmark;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        for (const LeaderboardEntry& row :
             standings_from_reply(std::string(reinterpret_cast<const char*>(data), size))) {
            if (printable_text(row.cpu) != row.cpu) std::abort();
        }
    } catch (const nlohmann::json::exception&) {
    } catch (const ImpossibleStandings&) {
    }
    return 0;
}
