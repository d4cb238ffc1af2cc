#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "server/address_unit.h"
#include "server/cpu_name.h"
#include "server/log.h"
#include "server/serve.h"
#include "server/store.h"
#include "server/store_factory.h"
#include "server/submission.h"

namespace vornmark::server {

namespace {

std::string utc_time(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&t, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

}  // namespace

int moderate(const ServerOptions& options) {
    try {
        std::unique_ptr<Store> store = open_store(options.db_path, board_rules(options));
        const std::string& argument = options.command_argument;
        if (options.command == "flagged") {
            for (const FlaggedRun& run : store->flagged(1000)) {
                std::printf("%s  %s  %s  score %lld  threads %lld  %s\n", utc_time(run.submitted_at).c_str(),
                            run.type.c_str(), printable_for_log(run.cpu_name, 200).c_str(),
                            static_cast<long long>(run.score), static_cast<long long>(run.threads),
                            run.why.c_str());
            }
            return 0;
        }
        if (options.command == "hide" || options.command == "unhide") {
            const bool hide = options.command == "hide";
            if (!store->set_hidden(argument, hide)) {
                std::fprintf(stderr, "vornmark-leaderboard: no processor named %s\n",
                             printable_for_log(argument, 200).c_str());
                return 1;
            }
            std::printf("%s %s\n", hide ? "hidden:" : "listed again:",
                        printable_for_log(canonical_cpu_name(argument), 200).c_str());
            return 0;
        }
        // forget-address
        if (!address_unit(argument)) {
            std::fprintf(stderr, "vornmark-leaderboard: %s is not an IPv4 or IPv6 address\n",
                         printable_for_log(argument, 100).c_str());
            return 2;
        }
        // The server's own key: a new one would match no stored run.
        if (!std::filesystem::exists(options.address_key)) {
            std::fprintf(stderr,
                         "vornmark-leaderboard: no address key %s (give the server's --address-key)\n",
                         options.address_key.c_str());
            return 1;
        }
        const AddressKey key = AddressKey::load_or_create(options.address_key);
        const std::int64_t forgotten = store->forget_unit(key.unit_of(argument));
        std::printf("uncounted %lld runs from %s\n", static_cast<long long>(forgotten),
                    address_unit(argument)->c_str());
        return 0;
    } catch (const std::exception& e) {
        log_line("vornmark-leaderboard: " + one_line(e.what()));
        return 1;
    }
}

}  // namespace vornmark::server
