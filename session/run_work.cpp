#include "session/run_work.h"

#include "engine/tile_plan.h"
#include "verify/preset_work.h"

namespace vornmark {

void RunWork::begin(const BenchmarkConfig& config) {
    weighted_ = preset_work_known() && renders_preset_image(config);
    done_ = 0.0;
    total_ = static_cast<double>(plan_tiles(config).size());
}

void RunWork::add_finished(const std::vector<std::int32_t>& tiles) {
    for (const std::int32_t tile : tiles) done_ += weighted_ ? preset_tile_work(tile) : 1.0;
}

}  // namespace vornmark
