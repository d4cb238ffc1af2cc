#include <string_view>

#include "sysinfo/graphics_adapter.h"
#include "sysinfo/system_files.h"

namespace {

std::string vendor_name(std::string_view vendor_id) {
    if (vendor_id == "0x1002") return "AMD";
    if (vendor_id == "0x10de") return "NVIDIA";
    if (vendor_id == "0x8086") return "Intel";
    return {};
}

std::string without_hex_prefix(std::string_view id) {
    if (id.size() > 2 && id[0] == '0' && (id[1] == 'x' || id[1] == 'X')) id.remove_prefix(2);
    return std::string(id);
}

std::string describe_card(const std::string& device, const std::string& card_name) {
    const std::string vendor_id = read_first_line(device + "/vendor");
    const std::string device_id = read_first_line(device + "/device");
    if (!vendor_id.empty()) {
        const std::string vendor = vendor_name(vendor_id);
        std::string text = vendor.empty() ? std::string("Graphics") : vendor + " graphics";
        text += " [";
        text += without_hex_prefix(vendor_id);
        if (!device_id.empty()) {
            text += ':';
            text += without_hex_prefix(device_id);
        }
        text += ']';
        return text;
    }
    // Not a PCI device (a platform display controller): its driver's name says the most.
    if (const auto uevent = read_file_text(device + "/uevent")) {
        for (std::string_view rest = *uevent; !rest.empty();) {
            const auto end = rest.find('\n');
            const std::string_view line = rest.substr(0, end);
            rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
            if (line.substr(0, 7) == "DRIVER=" && line.size() > 7) return std::string(line.substr(7));
        }
    }
    return card_name;
}

}  // namespace

std::vector<GraphicsAdapter> list_drm_adapters(const std::string& root) {
    std::vector<GraphicsAdapter> adapters;
    for (const auto& [number, card] : numbered_entries(path_under(root, "sys/class/drm"), "card")) {
        const std::string device = card + "/device";
        GraphicsAdapter adapter;
        adapter.description = describe_card(device, "card" + std::to_string(number));
        adapter.dedicated_bytes =
            parse_unsigned(read_first_line(device + "/mem_info_vram_total")).value_or(0);
        adapters.push_back(std::move(adapter));
    }
    return adapters;
}
