#include "tests/support/leaderboard_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "tests/support/wait_until.h"

extern char** environ;

namespace vornmark {

namespace {

using Clock = std::chrono::steady_clock;

int status_to_exit_code(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

// The child gets default signal handling and an empty mask whatever the test process
// has set up, so that SIGTERM and SIGINT reach the server's own handling.
struct SpawnAttributes {
    posix_spawnattr_t attr{};
    SpawnAttributes() {
        posix_spawnattr_init(&attr);
        sigset_t empty;
        sigemptyset(&empty);
        posix_spawnattr_setsigmask(&attr, &empty);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGTERM);
        sigaddset(&defaults, SIGINT);
        sigaddset(&defaults, SIGPIPE);
        posix_spawnattr_setsigdefault(&attr, &defaults);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attr); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
};

struct FileActions {
    posix_spawn_file_actions_t actions{};
    FileActions() { posix_spawn_file_actions_init(&actions); }
    ~FileActions() { posix_spawn_file_actions_destroy(&actions); }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
};

pid_t spawn(const std::vector<std::string>& argv, FileActions& files) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    SpawnAttributes attributes;
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, args[0], &files.actions, &attributes.attr, args.data(), environ);
    if (rc != 0) {
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
    }
    return pid;
}

// Waits for the child up to `timeout`; returns the exit code, or nothing if it still runs.
bool wait_for_exit(pid_t pid, std::chrono::milliseconds timeout, int& exit_code) {
    return wait_until(
        [&] {
            int status = 0;
            const pid_t r = waitpid(pid, &status, WNOHANG);
            if (r == pid) exit_code = status_to_exit_code(status);
            if (r < 0 && errno != EINTR) exit_code = -1;
            return r == pid || (r < 0 && errno != EINTR);
        },
        timeout);
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void write_file(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + path);
}

void run_checked(const std::vector<std::string>& argv) {
    CommandResult result = run_command(argv);
    if (result.exit_code != 0) {
        throw std::runtime_error(argv[0] + " " + argv[1] + " failed (exit " +
                                 std::to_string(result.exit_code) + "): " + result.output);
    }
}

bool accepts_connections(int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

// The server announces "listening on http[s]://HOST:PORT"; returns PORT, or 0 if the
// line is not there yet.
int announced_port(const std::string& log) {
    const std::string marker = "listening on ";
    std::size_t at = log.find(marker);
    if (at == std::string::npos) return 0;
    std::size_t end = log.find('\n', at);
    if (end == std::string::npos) return 0;
    // The URL ends at the first comma or space; a database URI may follow.
    std::string line = log.substr(at + marker.size(), end - at - marker.size());
    line = line.substr(0, line.find_first_of(", "));
    std::size_t colon = line.rfind(':');
    if (colon == std::string::npos) return 0;
    return std::atoi(line.c_str() + colon + 1);
}

}  // namespace

std::string leaderboard_binary_path() {
    return VORNMARK_LEADERBOARD_BIN;
}

CommandResult run_command(const std::vector<std::string>& argv, std::chrono::milliseconds timeout) {
    if (argv.empty()) throw std::runtime_error("run_command: no program");
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");

    pid_t pid = -1;
    try {
        FileActions files;
        posix_spawn_file_actions_adddup2(&files.actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&files.actions, fds[1], STDERR_FILENO);
        posix_spawn_file_actions_addopen(&files.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        pid = spawn(argv, files);
    } catch (...) {
        close(fds[0]);
        close(fds[1]);
        throw;
    }
    close(fds[1]);

    CommandResult result;
    const auto deadline = Clock::now() + timeout;
    bool killed = false;
    char buffer[4096];
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            kill(pid, SIGKILL);
            killed = true;
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        int n = poll(&p, 1, static_cast<int>(left.count()));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) continue;
        ssize_t got = read(fds[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        result.output.append(buffer, static_cast<std::size_t>(got));
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exit_code = status_to_exit_code(status);
    if (killed) result.output += "\n[killed after time-out]\n";
    return result;
}

LeaderboardServerProcess::LeaderboardServerProcess(LeaderboardServerOptions options) : options_(options) {
    std::string base = (std::filesystem::temp_directory_path() / "vornmark-leaderboard-XXXXXX").string();
    if (mkdtemp(base.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary directory: " + std::string(std::strerror(errno)));
    }
    directory_ = base;
    ca_file_ = directory_ + "/ca.pem";
    cert_file_ = directory_ + "/server.pem";
    key_file_ = directory_ + "/server.key";
    db_path_ = options_.database.empty() ? directory_ + "/leaderboard.db" : options_.database;
    log_path_ = directory_ + "/server.log";
    try {
        make_certificates();
        start();
    } catch (...) {
        if (pid_ > 0) kill_hard();
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
        throw;
    }
}

LeaderboardServerProcess::~LeaderboardServerProcess() {
    // No test framework here to fail a test; an unclean end (a crash, a sanitizer
    // report, a hang) at least shows up loudly with the server's log.
    if (pid_ > 0) {
        int exit_code = stop();
        if (exit_code != 0) {
            std::fprintf(stderr, "vornmark-leaderboard ended with exit code %d; its log:\n%s\n", exit_code,
                         log_text().c_str());
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
}

std::string LeaderboardServerProcess::url() const {
    return std::string(options_.plain_http ? "http://" : "https://") + host_ + ":" + std::to_string(port_);
}

void LeaderboardServerProcess::make_certificates() {
    // EC keys: much quicker to make than RSA, and every TLS stack here speaks them.
    const std::string ca_key = directory_ + "/ca.key";
    const std::string csr = directory_ + "/server.csr";
    const std::string extensions = directory_ + "/server.ext";
    run_checked({"openssl",
                 "req",
                 "-x509",
                 "-newkey",
                 "ec",
                 "-pkeyopt",
                 "ec_paramgen_curve:prime256v1",
                 "-nodes",
                 "-keyout",
                 ca_key,
                 "-out",
                 ca_file_,
                 "-days",
                 "2",
                 "-subj",
                 "/CN=Vornmark test CA",
                 "-addext",
                 "basicConstraints=critical,CA:TRUE",
                 "-addext",
                 "keyUsage=critical,keyCertSign,cRLSign"});
    run_checked({"openssl", "req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                 "-nodes", "-keyout", key_file_, "-out", csr, "-subj", "/CN=localhost"});
    write_file(extensions, "basicConstraints=CA:FALSE\n"
                           "keyUsage=critical,digitalSignature,keyEncipherment\n"
                           "extendedKeyUsage=serverAuth\n"
                           "subjectAltName=DNS:localhost,IP:127.0.0.1\n");
    run_checked({"openssl", "x509", "-req", "-in", csr, "-CA", ca_file_, "-CAkey", ca_key, "-CAcreateserial",
                 "-out", cert_file_, "-days", "2", "-extfile", extensions});
}

void LeaderboardServerProcess::start() {
    std::vector<std::string> argv = {leaderboard_binary_path(),
                                     "--listen",
                                     host_ + ":" + std::to_string(port_),
                                     "--db",
                                     db_path_,
                                     "--rate-limit",
                                     std::to_string(options_.rate_limit),
                                     "--address-key",
                                     options_.address_key.empty() ? directory_ + "/address.key"
                                                                  : options_.address_key};
    // Every test comes from one address: a public board's limits only where a test asks for them.
    if (!options_.public_board) argv.insert(argv.end(), {"--private", "--max-score-per-thread", "10000000"});
    argv.insert(argv.end(), options_.extra_args.begin(), options_.extra_args.end());
    if (options_.plain_http) {
        argv.push_back("--http");
    } else {
        argv.insert(argv.end(), {"--cert", cert_file_, "--key", key_file_});
    }

    // The log collects every run; only what this run adds is searched for the port.
    std::error_code size_error;
    auto log_offset = std::filesystem::file_size(log_path_, size_error);
    if (size_error) log_offset = 0;

    FileActions files;
    posix_spawn_file_actions_addopen(&files.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files.actions, STDOUT_FILENO, log_path_.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&files.actions, STDOUT_FILENO, STDERR_FILENO);
    pid_ = spawn(argv, files);

    int exit_code = 0;
    bool exited = false;
    int listening = 0;  // the port this run announced, once it accepts connections
    wait_until(
        [&] {
            exited = wait_for_exit(pid_, std::chrono::milliseconds(0), exit_code);
            if (exited) return true;
            const std::string log = log_text();
            const int port = announced_port(log.size() > log_offset ? log.substr(log_offset) : std::string());
            if (port > 0 && accepts_connections(port)) listening = port;
            return listening > 0;
        },
        options_.start_timeout);
    const std::string log = log_text();
    const std::string since_start = log.size() > log_offset ? log.substr(log_offset) : std::string();
    if (exited) {
        pid_ = -1;
        throw std::runtime_error("vornmark-leaderboard exited with " + std::to_string(exit_code) +
                                 " while starting: " + since_start);
    }
    if (listening == 0) {
        kill_hard();
        throw std::runtime_error("vornmark-leaderboard did not listen in time: " + since_start);
    }
    port_ = listening;
}

int LeaderboardServerProcess::stop() {
    if (pid_ <= 0) return -1;
    kill(pid_, SIGTERM);
    int exit_code = -1;
    if (!wait_for_exit(pid_, std::chrono::milliseconds(10000), exit_code)) {
        kill(pid_, SIGKILL);
        wait_for_exit(pid_, std::chrono::milliseconds(10000), exit_code);
    }
    pid_ = -1;
    return exit_code;
}

void LeaderboardServerProcess::kill_hard() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    int exit_code = -1;
    wait_for_exit(pid_, std::chrono::milliseconds(10000), exit_code);
    pid_ = -1;
}

void LeaderboardServerProcess::restart() {
    if (pid_ > 0) stop();
    start();
}

std::string LeaderboardServerProcess::log_text() const {
    return read_file(log_path_);
}

}  // namespace vornmark
