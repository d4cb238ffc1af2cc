#include "sysinfo/pci_names.h"

#include <cstdarg>
#include <cstdio>
#include <string_view>

extern "C" {
#include <pci/pci.h>
}

namespace vornmark {

namespace {

// libpci reports a missing or malformed id file as a warning on stderr; the fallback is the ids.
void ignore_warning(char*, ...) {}

std::optional<std::string> looked_up(const char* name) {
    if (name == nullptr || *name == '\0') return std::nullopt;
    return std::string(name);
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == ',')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == ',')) text.remove_suffix(1);
    return text;
}

std::string short_vendor(std::string_view name) {
    // "Advanced Micro Devices, Inc. [AMD/ATI]": the database's own short form.
    if (const auto open = name.rfind('['); open != std::string_view::npos && name.back() == ']') {
        const std::string_view inside = trimmed(name.substr(open + 1, name.size() - open - 2));
        if (!inside.empty()) return std::string(inside);
    }
    for (const std::string_view suffix :
         {" Corporation", " Corp.", ", Inc.", " Inc.", " Co., Ltd.", ", Ltd.", " Ltd.", " GmbH", " AG"}) {
        if (name.size() > suffix.size() && name.substr(name.size() - suffix.size()) == suffix) {
            name.remove_suffix(suffix.size());
            break;
        }
    }
    return std::string(trimmed(name));
}

std::string ids_text(std::uint16_t vendor_id, std::uint16_t device_id) {
    char text[16];
    std::snprintf(text, sizeof text, "[%04x:%04x]", vendor_id, device_id);
    return text;
}

// The longest prefix of `text` of at most `limit` bytes that does not split a UTF-8 sequence.
std::string cut_at_character(std::string text, std::size_t limit) {
    if (text.size() <= limit) return text;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return text;
}

}  // namespace

PciNames::PciNames(const std::string& id_file) : id_file_(id_file) {
    access_ = pci_alloc();
    if (access_ == nullptr) return;
    access_->warning = ignore_warning;
    access_->id_lookup_mode = 0;  // no cache file in $HOME, no DNS
    if (!id_file_.empty()) pci_set_name_list_path(access_, id_file_.data(), 0);
}

PciNames::~PciNames() {
    if (access_ != nullptr) pci_cleanup(access_);
}

std::optional<std::string> PciNames::vendor(std::uint16_t vendor_id) {
    if (access_ == nullptr) return std::nullopt;
    char buffer[256];
    return looked_up(pci_lookup_name(access_, buffer, sizeof buffer,
                                     PCI_LOOKUP_VENDOR | PCI_LOOKUP_NO_NUMBERS | PCI_LOOKUP_NO_HWDB,
                                     vendor_id));
}

std::optional<std::string> PciNames::device(std::uint16_t vendor_id, std::uint16_t device_id) {
    if (access_ == nullptr) return std::nullopt;
    char buffer[256];
    return looked_up(pci_lookup_name(access_, buffer, sizeof buffer,
                                     PCI_LOOKUP_DEVICE | PCI_LOOKUP_NO_NUMBERS | PCI_LOOKUP_NO_HWDB,
                                     vendor_id, device_id));
}

std::string pci_adapter_description(const std::optional<std::string>& vendor_name,
                                    const std::optional<std::string>& device_name, std::uint16_t vendor_id,
                                    std::uint16_t device_id) {
    const std::string vendor = vendor_name ? short_vendor(*vendor_name) : std::string();
    std::string text;
    if (vendor.empty()) {
        text = "Graphics " + ids_text(vendor_id, device_id);
    } else if (!device_name) {
        text = vendor + " " + ids_text(vendor_id, device_id);
    } else if (device_name->rfind(vendor + " ", 0) == 0) {
        text = *device_name;  // "NVIDIA" + "NVIDIA ..." would say it twice
    } else {
        text = vendor + " " + *device_name;
    }
    return cut_at_character(std::move(text), 127);
}

}  // namespace vornmark
