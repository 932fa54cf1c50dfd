#include "host/cli/TemporaryFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace zr::cli {

TemporaryFile::TemporaryFile(std::filesystem::path const& folder, std::string const& name, std::string const& tag,
                             mode_t mode) {
    std::string const stem = "." + name + "." + tag + "-" + std::to_string(::getpid());
    for (int attempt = 0; descriptor_ < 0; ++attempt) {
        path_ = folder / (attempt == 0 ? stem : stem + "-" + std::to_string(attempt));
        // Registered before it exists, so that no moment leaves it behind on an interruption.
        registration_.emplace(path_);
        descriptor_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (descriptor_ >= 0)
            break;
        int const error = errno;
        registration_.reset();
        if (error != EEXIST || attempt >= 100)
            throw std::runtime_error(std::strerror(error));
    }
}

TemporaryFile::~TemporaryFile() {
    if (descriptor_ >= 0)
        ::close(descriptor_);
    if (!renamed_)
        ::unlink(path_.c_str());
}

int TemporaryFile::flushAndClose() {
    int error = ::fsync(descriptor_) == 0 ? 0 : errno;
    if (::close(descriptor_) != 0 && error == 0)
        error = errno;
    descriptor_ = -1;
    return error;
}

int TemporaryFile::renameTo(std::filesystem::path const& target) {
    if (std::rename(path_.c_str(), target.c_str()) != 0)
        return errno;
    renamed_ = true;
    registration_.reset();
    return 0;
}

} // namespace zr::cli
