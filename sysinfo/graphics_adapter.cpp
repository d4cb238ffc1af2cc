#include "sysinfo/graphics_adapter.h"

#include "sysinfo/system_info.h"

namespace vornmark {

bool choose_graphics_adapter(const std::vector<GraphicsAdapter>& adapters, SystemInfo& info) {
    const GraphicsAdapter* chosen = nullptr;
    std::uint64_t best = 0;
    for (const GraphicsAdapter& adapter : adapters) {
        if (adapter.dedicated_bytes > best) {
            best = adapter.dedicated_bytes;
            chosen = &adapter;
        }
    }
    if (chosen == nullptr) return false;
    info.gpu_name = chosen->description;
    info.vram_mb = chosen->dedicated_bytes >> 20;
    return true;
}

}  // namespace vornmark
