#pragma once
// Paths as the command line gives them, where "-" stands for standard input (where a command
// reads) or standard output (where it writes), in every subcommand alike. Writing goes
// through OutputFile; this file holds what readers and writers of either kind share.

#include <cstddef>
#include <filesystem>
#include <string>

namespace zr::cli {

// Whether `path` is "-".
bool isStandardStream(std::filesystem::path const& path);

// The name messages use: "standard input" or "standard output" for "-", else the path.
std::string inputName(std::filesystem::path const& path);
std::string outputName(std::filesystem::path const& path);

// The extension in lower case with its dot (".wav"), by which outputs choose their format;
// empty when there is none.
std::string lowercaseExtension(std::filesystem::path const& path);

// The whole content of the file at `path`, or of standard input for "-". Throws
// std::runtime_error "cannot read NAME: reason" for a missing or unreadable file, a folder,
// or more than `limit` bytes.
std::string readInput(std::filesystem::path const& path, std::size_t limit);

// Writes all `size` bytes, retrying short writes and interrupted calls. Returns 0, or the
// errno of the failed write.
int writeAll(int descriptor, void const* data, std::size_t size);

} // namespace zr::cli
