// The machine's description on Windows: CPUID, the processor topology report, the registry, the
// memory status, the computer name and DXGI.
#include <dxgi.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "sysinfo/cpu_brand.h"
#include "sysinfo/graphics_adapter.h"
#include "sysinfo/system_info.h"
#include "sysinfo/windows_version.h"

namespace vornmark {

namespace {

std::vector<SYSTEM_LOGICAL_PROCESSOR_INFORMATION> logical_processor_information() {
    DWORD bytes = 0;
    ::GetLogicalProcessorInformation(nullptr, &bytes);
    if (bytes == 0) return {};
    std::vector<SYSTEM_LOGICAL_PROCESSOR_INFORMATION> records(bytes /
                                                              sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION));
    std::memset(records.data(), 0, records.size() * sizeof records[0]);
    bytes = static_cast<DWORD>(records.size() * sizeof records[0]);
    if (!::GetLogicalProcessorInformation(records.data(), &bytes)) return {};
    records.resize(bytes / sizeof records[0]);
    return records;
}

// A REG_SZ value of at most `capacity` - 1 characters; empty when absent, of another type or longer.
std::string registry_string(HKEY key, const char* name, DWORD capacity) {
    std::vector<char> buffer(capacity + 1, '\0');
    DWORD type = 0;
    DWORD size = capacity;
    if (::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
        ERROR_SUCCESS)
        return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ) return {};
    return std::string(buffer.data());
}

double processor_clock_ghz() {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", 0, KEY_READ,
                        &key) != ERROR_SUCCESS)
        return 0.0;
    DWORD mhz = 0;
    DWORD size = sizeof mhz;
    DWORD type = 0;
    if (::RegQueryValueExA(key, "~MHz", nullptr, &type, reinterpret_cast<BYTE*>(&mhz), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        mhz = 0;
    ::RegCloseKey(key);
    return mhz * 0.001;
}

std::string operating_system_version() {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0, KEY_READ,
                        &key) != ERROR_SUCCESS)
        return {};
    const std::string product = registry_string(key, "ProductName", 256);
    const std::string display = registry_string(key, "DisplayVersion", 64);
    const std::string build = registry_string(key, "CurrentBuildNumber", 64);
    ::RegCloseKey(key);
    return windows_version_text(product, display, build);
}

std::string computer_name() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    if (!::GetComputerNameA(name, &size)) return {};
    return std::string(name);
}

std::vector<GraphicsAdapter> dxgi_adapters() {
    std::vector<GraphicsAdapter> adapters;
    IDXGIFactory* factory = nullptr;
    if (FAILED(::CreateDXGIFactory(IID_IDXGIFactory, reinterpret_cast<void**>(&factory))) || !factory)
        return adapters;
    IDXGIAdapter* adapter = nullptr;
    for (UINT index = 0; factory->EnumAdapters(index, &adapter) != DXGI_ERROR_NOT_FOUND; ++index) {
        if (!adapter) continue;
        DXGI_ADAPTER_DESC description{};
        if (SUCCEEDED(adapter->GetDesc(&description))) {
            char name[128] = {};
            ::WideCharToMultiByte(CP_UTF8, 0, description.Description, -1, name, sizeof name - 1, nullptr,
                                  nullptr);
            adapters.push_back({name, static_cast<std::uint64_t>(description.DedicatedVideoMemory)});
        }
        adapter->Release();
        adapter = nullptr;
    }
    factory->Release();
    return adapters;
}

}  // namespace

SystemInfo probe_system_info() {
    SystemInfo info;
    info.cpu_name = cpuid_brand_string();

    const auto records = logical_processor_information();
    std::uint64_t cache_bytes[4] = {};
    for (const auto& record : records) {
        if (record.Relationship == RelationProcessorCore) ++info.cores;
        if (record.Relationship == RelationCache) {
            const CACHE_DESCRIPTOR& cache = record.Cache;
            if (cache.Level == 1 && cache.Type != CacheData) continue;
            if (cache.Level >= 1 && cache.Level <= 3) cache_bytes[cache.Level] = cache.Size;
        }
    }
    info.l1_cache = cache_size_text(cache_bytes[1]);
    info.l2_cache = cache_size_text(cache_bytes[2]);
    info.l3_cache = cache_size_text(cache_bytes[3]);

    // Every processor group, not only the one this thread runs in.
    info.hardware_threads = static_cast<std::int32_t>(::GetActiveProcessorCount(ALL_PROCESSOR_GROUPS));
    info.clock_ghz = processor_clock_ghz();

    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    if (::GlobalMemoryStatusEx(&memory)) info.ram_mb = memory.ullTotalPhys >> 20;

    info.os_version = operating_system_version();
    info.computer_name = computer_name();
    return info;
}

void probe_graphics_adapter(SystemInfo& info, const std::vector<GraphicsAdapter>& extra) {
    std::vector<GraphicsAdapter> adapters = dxgi_adapters();
    adapters.insert(adapters.end(), extra.begin(), extra.end());
    choose_graphics_adapter(adapters, info);
}

}  // namespace vornmark
