#pragma once

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>

#include "history/utf8_path.h"

namespace vornmark {

// A fresh directory under the system's temporary directory, removed with everything in it.
class TempDir {
public:
    TempDir() {
        // A name nobody else uses: create_directory fails when it exists already.
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string name = "vornmark-test-" + std::to_string(random()) + std::to_string(random());
            std::filesystem::path candidate = std::filesystem::temp_directory_path() / name;
            std::error_code error;
            if (std::filesystem::create_directory(candidate, error)) {
                path_ = std::move(candidate);
                return;
            }
        }
        throw std::runtime_error("cannot make a temporary directory");
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The UTF-8 path of `name` (UTF-8) in the directory.
    std::string file(const std::string& name) const { return utf8_from_path(path_ / path_from_utf8(name)); }

private:
    std::filesystem::path path_;
};

}  // namespace vornmark
