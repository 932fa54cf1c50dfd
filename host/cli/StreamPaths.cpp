#include "host/cli/StreamPaths.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <fcntl.h>
#include <unistd.h>

namespace zr::cli {
namespace {

// Reads until the end or until more than `limit` bytes came; gives the errno of a failed read.
int readUpTo(int descriptor, std::size_t limit, std::string& content) {
    char chunk[65536];
    while (content.size() <= limit) {
        ssize_t const got = ::read(descriptor, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return errno;
        if (got == 0)
            return 0;
        content.append(chunk, static_cast<std::size_t>(got));
    }
    return 0;
}

} // namespace

bool isStandardStream(std::filesystem::path const& path) {
    return path == "-";
}

std::string inputName(std::filesystem::path const& path) {
    return isStandardStream(path) ? "standard input" : path.string();
}

std::string outputName(std::filesystem::path const& path) {
    return isStandardStream(path) ? "standard output" : path.string();
}

std::string lowercaseExtension(std::filesystem::path const& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) { return std::tolower(c); });
    return extension;
}

std::string readInput(std::filesystem::path const& path, std::size_t limit) {
    std::string const name = inputName(path);
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored))
        throw std::runtime_error("cannot read " + name + ": it is a folder");
    int const descriptor = isStandardStream(path) ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        throw std::runtime_error("cannot read " + name + ": " + std::strerror(errno));
    std::string content;
    int const error = readUpTo(descriptor, limit, content);
    if (descriptor != STDIN_FILENO)
        ::close(descriptor);
    if (error != 0)
        throw std::runtime_error("cannot read " + name + ": " + std::strerror(error));
    if (content.size() > limit)
        throw std::runtime_error("cannot read " + name + ": it holds more than " + std::to_string(limit) + " bytes");
    return content;
}

int writeAll(int descriptor, void const* data, std::size_t size) {
    auto const* bytes = static_cast<char const*>(data);
    while (size > 0) {
        ssize_t const written = ::write(descriptor, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return errno;
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

} // namespace zr::cli
