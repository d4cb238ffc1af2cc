#include "tests/support/postgres_server.h"

#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "tests/support/leaderboard_server.h"

namespace vornmark {

namespace fs = std::filesystem;

namespace {

constexpr auto command_timeout = std::chrono::milliseconds(120000);

// The newest /usr/lib/postgresql/N/bin holding pg_ctl; empty if there is none.
std::string find_bin_dir() {
    std::vector<fs::path> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", error)) {
        if (fs::exists(entry.path() / "bin" / "pg_ctl")) found.push_back(entry.path() / "bin");
    }
    if (found.empty()) return {};
    std::sort(found.begin(), found.end(), [](const fs::path& a, const fs::path& b) {
        return std::atoi(a.parent_path().filename().c_str()) < std::atoi(b.parent_path().filename().c_str());
    });
    return found.back().string();
}

// A port that was free a moment ago (the kernel picks it).
int free_loopback_port() {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error("socket failed");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(fd);
        throw std::runtime_error("cannot find a free port");
    }
    close(fd);
    return ntohs(address.sin_port);
}

}  // namespace

bool postgres_available() {
    return !find_bin_dir().empty();
}

PostgresServer::PostgresServer(bool durable) : bin_dir_(find_bin_dir()), durable_(durable) {
    if (bin_dir_.empty()) throw std::runtime_error("no PostgreSQL server programs in /usr/lib/postgresql");
    std::string base = (fs::temp_directory_path() / "vornmark-postgres-XXXXXX").string();
    if (mkdtemp(base.data()) == nullptr) throw std::runtime_error("cannot make a temporary directory");
    directory_ = base;
    try {
        fs::create_directory(directory_ + "/socket");
        if (geteuid() == 0) {
            passwd* owner = getpwnam("postgres");
            if (!owner) throw std::runtime_error("running as root, but there is no postgres user");
            for (const char* path : {"", "/socket"}) {
                if (chown((directory_ + path).c_str(), owner->pw_uid, owner->pw_gid) != 0) {
                    throw std::runtime_error("chown failed: " + std::string(std::strerror(errno)));
                }
            }
        }
        run_as_owner({command_path("initdb"), "--pgdata", directory_ + "/data", "--username", "postgres",
                      "--auth", "trust", "--encoding", "UTF8", "--locale", "C", "--no-sync"});
        // The port was free when picked; another process may take it before the server does.
        for (int attempt = 0;; ++attempt) {
            port_ = free_loopback_port();
            if (try_start()) break;
            if (attempt == 4) throw std::runtime_error("PostgreSQL did not start on a free port");
        }
    } catch (...) {
        std::error_code ignored;
        fs::remove_all(directory_, ignored);
        throw;
    }
}

PostgresServer::~PostgresServer() {
    try {
        run_as_owner({command_path("pg_ctl"), "stop", "--pgdata", directory_ + "/data", "--mode", "immediate",
                      "--wait"});
    } catch (const std::exception&) {
        // Nothing to add: the directory goes anyway.
    }
    std::error_code ignored;
    fs::remove_all(directory_, ignored);
}

std::string PostgresServer::command_path(const std::string& name) const {
    return bin_dir_ + "/" + name;
}

void PostgresServer::run_as_owner(const std::vector<std::string>& argv) const {
    std::vector<std::string> full;
    if (geteuid() == 0) full = {"runuser", "-u", "postgres", "--"};
    full.insert(full.end(), argv.begin(), argv.end());
    CommandResult result = run_command(full, command_timeout);
    if (result.exit_code != 0) {
        throw std::runtime_error(argv[0] + " failed (exit " + std::to_string(result.exit_code) +
                                 "): " + result.output);
    }
}

bool PostgresServer::try_start() {
    std::string settings = "-c listen_addresses=127.0.0.1 -c port=" + std::to_string(port_) +
                           " -c unix_socket_directories=" + directory_ + "/socket";
    // Tests end servers of the leaderboard, never this one, and the data goes with the directory.
    if (!durable_) settings += " -c fsync=off";
    try {
        run_as_owner({command_path("pg_ctl"), "start", "--pgdata", directory_ + "/data", "--wait", "--log",
                      directory_ + "/server.log", "-o", settings});
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
}

void PostgresServer::restart() {
    run_as_owner(
        {command_path("pg_ctl"), "stop", "--pgdata", directory_ + "/data", "--mode", "fast", "--wait"});
    if (!try_start())
        throw std::runtime_error("PostgreSQL did not start again on port " + std::to_string(port_));
}

std::string PostgresServer::uri(const std::string& database) const {
    return "postgresql://postgres@127.0.0.1:" + std::to_string(port_) + "/" + database;
}

std::string PostgresServer::create_database() {
    std::string name = "board" + std::to_string(++databases_made_);
    run_as_owner({command_path("createdb"), "--host", "127.0.0.1", "--port", std::to_string(port_),
                  "--username", "postgres", name});
    return uri(name);
}

std::vector<pid_t> PostgresServer::process_ids() const {
    std::ifstream pid_file(directory_ + "/data/postmaster.pid");
    pid_t postmaster = 0;
    pid_file >> postmaster;
    if (postmaster <= 0) return {};
    std::vector<pid_t> pids{postmaster};
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(entry.path() / "stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        // "PID (NAME) STATE PPID ...": the name may hold spaces, so read after its last ')'.
        const std::size_t close = text.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream fields(text.substr(close + 2));
        char state = 0;
        pid_t parent = 0;
        fields >> state >> parent;
        if (parent == postmaster) pids.push_back(static_cast<pid_t>(std::stoi(name)));
    }
    return pids;
}

}  // namespace vornmark
