#include <windows.h>

#include <shellapi.h>

#include "cli/console.h"
#include "history/wide_text_windows.h"

namespace vornmark::cli {

std::vector<std::string> command_line_arguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) return std::vector<std::string>(argv + 1, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(utf8_from_wide(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

Utf8Console::Utf8Console() : previous_code_page_(::GetConsoleOutputCP()) {
    // 0: no console (output into a file or a pipe).
    if (previous_code_page_ != 0 && previous_code_page_ != CP_UTF8) ::SetConsoleOutputCP(CP_UTF8);
}

Utf8Console::~Utf8Console() {
    if (previous_code_page_ != 0 && previous_code_page_ != CP_UTF8) ::SetConsoleOutputCP(previous_code_page_);
}

}  // namespace vornmark::cli
