#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct pci_access;

namespace vornmark {

// Names of PCI devices from the PCI id database (pci.ids) through libpci. Only the local file is
// read: no network lookups, no udev database, no cache file.
class PciNames {
public:
    // `id_file` empty: the database libpci was built to use (Debian: /usr/share/misc/pci.ids).
    explicit PciNames(const std::string& id_file = {});
    ~PciNames();
    PciNames(const PciNames&) = delete;
    PciNames& operator=(const PciNames&) = delete;

    // The database's names; nothing when it lacks the id (or has no file at all).
    std::optional<std::string> vendor(std::uint16_t vendor_id);
    std::optional<std::string> device(std::uint16_t vendor_id, std::uint16_t device_id);

private:
    std::string id_file_;
    pci_access* access_ = nullptr;
};

// A graphics adapter's description for the system panel, from the database's names shortened: the
// vendor by its bracketed short name or without its company suffix ("Advanced Micro Devices, Inc.
// [AMD/ATI]" gives "AMD/ATI", "NVIDIA Corporation" gives "NVIDIA"), followed by the device name. The ids
// stand in for what the database lacks: "AMD/ATI [1002:73ff]", "Graphics [1234:5678]". At most 127
// bytes, cut at a character boundary.
std::string pci_adapter_description(const std::optional<std::string>& vendor_name,
                                    const std::optional<std::string>& device_name, std::uint16_t vendor_id,
                                    std::uint16_t device_id);

}  // namespace vornmark
