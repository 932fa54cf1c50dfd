#pragma once
// A file written under a temporary name beside its final one and renamed only when it is
// complete, so that a failed run leaves no partial file (and an older file stays as it was).

#include <filesystem>

namespace zr::cli {

class OutputFile {
public:
    // Creates the temporary file at once, so that an unwritable place fails before any work.
    // Throws std::runtime_error naming the path and the reason.
    explicit OutputFile(std::filesystem::path finalPath);
    // Removes the temporary file unless commit() ran.
    ~OutputFile();
    OutputFile(OutputFile const&) = delete;
    OutputFile& operator=(OutputFile const&) = delete;

    std::filesystem::path const& temporaryPath() const { return temporary_; }
    std::filesystem::path const& finalPath() const { return final_; }
    // Renames the temporary file to the final name. Throws std::runtime_error on failure.
    void commit();

private:
    std::filesystem::path final_;
    std::filesystem::path temporary_;
    bool committed_ = false;
};

} // namespace zr::cli
