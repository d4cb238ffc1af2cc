#include "ui/open_in_browser.h"

#include <windows.h>

#include <shellapi.h>

#include "history/wide_text_windows.h"

namespace vornmark {

std::string open_in_browser(const std::string& url) {
    if (!is_openable_url(url)) return "Not opened: only an https:// address is handed to the browser";
    const std::wstring wide = wide_from_utf8(url);
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32)
        return "Not opened: Windows could not start a browser (error " + std::to_string(result) + ")";
    return {};
}

}  // namespace vornmark
