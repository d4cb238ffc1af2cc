#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vornmark {

struct SystemInfo;

struct GraphicsAdapter {
    std::string description;
    std::uint64_t dedicated_bytes = 0;
};

// Keeps the first adapter with strictly the most dedicated memory; one with none is never chosen.
// Sets gpu_name and vram_mb (whole MiB) and returns true, or leaves both untouched and returns false.
bool choose_graphics_adapter(const std::vector<GraphicsAdapter>& adapters, SystemInfo& info);

// The DRM cards under `root` (sys/class/drm/card<N>/device), in card order. A PCI card is described
// by its names in the PCI id database `pci_ids_file` (empty: the system's), see
// pci_adapter_description; its dedicated memory is mem_info_vram_total where the driver exposes it,
// else 0.
std::vector<GraphicsAdapter> list_drm_adapters(const std::string& root, const std::string& pci_ids_file = {});

}  // namespace vornmark
