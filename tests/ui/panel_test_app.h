#pragma once

// What the panel tests share: an AppState with a temporary history file and a
// tiny benchmark, the real leaderboard server on loopback (started once per test
// program), and frames run until something happens.

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include <imgui.h>

#include "net/http.h"
#include "tests/support/endpoints.h"
#include "tests/support/temp_dir.h"
#include "ui/app_state.h"

namespace vornmark {

class GuiTestContext;

// The leaderboard server for this test program, started on first use; nullptr when
// it cannot be started here (its binary not built).
const HttpEndpoint* test_leaderboard_endpoint();

// Benchmark settings that finish in a few dozen milliseconds, slow enough for a
// score the server accepts.
BenchmarkConfig tiny_run_settings();
// Settings of a run that takes many seconds: for tests that cancel it.
BenchmarkConfig long_run_settings();

// An AppState whose history lives in `dir`, talking to `endpoint`, with tiny runs.
std::unique_ptr<AppState> make_test_app(const TempDir& dir, const HttpEndpoint& endpoint,
                                        const std::string& cpu_name);

// Wraps a panel's drawing in a borderless window of `size` at (0, 0), the way it sits
// in a column of the main layout; the result is a frame's draw callback.
std::function<void()> in_window(ImVec2 size, std::function<void()> draw);

// A tile hook that holds every tile after the first `free_tiles` until let_through() frees more
// or open() (or its destruction) frees all: a run is then surely still going where a test needs it
// to be.
class TileGate {
public:
    explicit TileGate(int free_tiles) : free_tiles_(free_tiles) {}
    ~TileGate() { open(); }
    void install(RunController& runs) { runs.set_tile_hook(&TileGate::hold, this); }
    void let_through(int more) { free_tiles_ += more; }
    void open() { open_ = true; }

private:
    static void hold(void* context, const Tile& tile, std::uint8_t* pixels, std::int32_t image_width);
    std::atomic<int> free_tiles_;
    std::atomic<int> tiles_{0};
    std::atomic<bool> open_{false};
};

// A frame of the window as the frame loop draws it: the runs polled, then the main layout.
std::function<void()> window_frame(AppState& app);

// Polls the runs as the frame loop does, without drawing, until they are over; false on time-out.
bool wait_for_runs_to_end(AppState& app);

// Runs frames until `done` holds; false after `timeout`.
bool frames_until(GuiTestContext& gui, const std::function<void()>& draw, const std::function<bool()>& done,
                  std::chrono::milliseconds timeout = std::chrono::seconds(60));

// Colours as the draw data carries them.
ImU32 packed(const ImVec4& colour);

// Number of finished requests the client is waiting for: waits until none is in flight
// and the last submission has an outcome; false on time-out.
bool wait_for_leaderboard(const LeaderboardClient& client,
                          std::chrono::milliseconds timeout = std::chrono::seconds(30));

// The server's standings of one run type, straight from the server: (cpu, runs) pairs.
struct ServerRow {
    std::string cpu;
    int avg_score = 0;
    int runs = 0;
};
std::vector<ServerRow> server_standings(const HttpEndpoint& endpoint, const std::string& type);

}  // namespace vornmark
