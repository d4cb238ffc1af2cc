#include "history/read_whole_file.h"

#include <exception>
#include <fstream>
#include <iterator>
#include <string>

#include "history/utf8_path.h"

namespace vornmark {

bool read_whole_file(const std::string& path, std::string& text) {
    try {
        std::ifstream in(path_from_utf8(path), std::ios::binary);
        if (!in) return false;
        // The stream buffer throws on a read error instead of setting a flag.
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return !in.bad();
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace vornmark
