#include <charconv>
#include <optional>
#include <string_view>

#include "sysinfo/graphics_adapter.h"
#include "sysinfo/pci_names.h"
#include "sysinfo/system_files.h"

namespace vornmark {

namespace {

// "0x1002" as written in sysfs.
std::optional<std::uint16_t> parse_pci_id(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
    std::uint16_t id = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id, 16);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return id;
}

std::string describe_card(const std::string& device, const std::string& card_name, PciNames& names) {
    const auto vendor_id = parse_pci_id(read_first_line(device + "/vendor"));
    const auto device_id = parse_pci_id(read_first_line(device + "/device"));
    if (vendor_id && device_id) {
        return pci_adapter_description(names.vendor(*vendor_id), names.device(*vendor_id, *device_id),
                                       *vendor_id, *device_id);
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

std::vector<GraphicsAdapter> list_drm_adapters(const std::string& root, const std::string& pci_ids_file) {
    std::vector<GraphicsAdapter> adapters;
    PciNames names(pci_ids_file);
    for (const auto& [number, card] : numbered_entries(path_under(root, "sys/class/drm"), "card")) {
        const std::string device = card + "/device";
        GraphicsAdapter adapter;
        adapter.description = describe_card(device, "card" + std::to_string(number), names);
        adapter.dedicated_bytes =
            parse_unsigned(read_first_line(device + "/mem_info_vram_total")).value_or(0);
        adapters.push_back(std::move(adapter));
    }
    return adapters;
}

}  // namespace vornmark
