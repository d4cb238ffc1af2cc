#pragma once

#include <string>
#include <vector>

namespace vornmark::cli {

// The runner's text goes in and out as UTF-8 on both platforms. One implementation per platform:
// console_linux.cpp, console_windows.cpp.

// The command-line arguments after the program's name, as UTF-8. Windows: taken from the wide
// command line, so they are whole whatever code page the process runs with.
std::vector<std::string> command_line_arguments(int argc, char** argv);

// While it lives, a console shows the runner's UTF-8 output as such. Windows: the console's output
// code page is UTF-8 and the previous one is restored at the end; output into a file or pipe is
// UTF-8 bytes either way. Linux: nothing to do.
class Utf8Console {
public:
    Utf8Console();
    ~Utf8Console();
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

private:
    unsigned previous_code_page_ = 0;
};

}  // namespace vornmark::cli
