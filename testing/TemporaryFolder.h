#pragma once
// A folder of its own under the temporary folder, removed afterwards, for tests and fuzz
// targets that work with real files.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include <unistd.h>

namespace zr::test {

class TemporaryFolder {
public:
    explicit TemporaryFolder(std::string const& name)
        : path_(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(path_);
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::filesystem::path const& path() const { return path_; }
    // The folder, emptied (and made again if something removed it).
    std::filesystem::path const& fresh() const {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
        return path_;
    }

    // Writes `content` as the file `name` in the folder; gives its path.
    std::filesystem::path write(std::string const& name, std::string const& content) const {
        std::ofstream(path_ / name, std::ios::binary) << content;
        return path_ / name;
    }

private:
    std::filesystem::path path_;
};

inline std::string contentOf(std::filesystem::path const& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

} // namespace zr::test
