#pragma once

#include <string>

namespace vornmark {

// Hands an https:// address to the desktop's browser and returns at once: xdg-open on Linux
// (open_in_browser_linux.cpp), ShellExecuteW on Windows (open_in_browser_windows.cpp). Anything but
// an https:// address without blanks or control characters is refused. Returns an empty text when
// the browser was asked, otherwise why not, one line.
std::string open_in_browser(const std::string& url);

// Whether open_in_browser would hand this text over at all.
bool is_openable_url(const std::string& url);

}  // namespace vornmark
