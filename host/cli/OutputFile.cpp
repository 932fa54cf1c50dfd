#include "host/cli/OutputFile.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/cli/StreamPaths.h"

namespace zr::cli {
namespace {

namespace fs = std::filesystem;

constexpr int kMostLinks = 40; // as the kernel allows when it resolves a path

[[noreturn]] void refuse(std::string const& name, std::string const& reason) {
    throw std::runtime_error("cannot write " + name + ": " + reason);
}

// The file a chain of symbolic links ends at, which may not exist yet (a dangling link).
fs::path followLinks(fs::path path, std::string const& name) {
    for (int hops = 0; hops < kMostLinks; ++hops) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(path, error)))
            return path;
        fs::path const to = fs::read_symlink(path, error);
        if (error)
            refuse(name, error.message());
        path = to.is_absolute() ? to : path.parent_path() / to;
    }
    refuse(name, "too many symbolic links");
}

// Why a path that exists cannot be written as a stream or replaced; empty when it can.
std::string refusalFor(fs::file_type type) {
    switch (type) {
    case fs::file_type::directory:
        return "it is a folder; name a file in it";
    case fs::file_type::block:
        return "it is a block device; zrhost never writes into disks";
    case fs::file_type::socket:
        return "it is a socket; zrhost writes files, devices and pipes";
    case fs::file_type::not_found:
    case fs::file_type::regular:
    case fs::file_type::character:
    case fs::file_type::fifo:
        return {};
    default:
        return "it is neither a file, a device nor a pipe";
    }
}

bool isStreamType(fs::file_type type) {
    return type == fs::file_type::character || type == fs::file_type::fifo;
}

} // namespace

bool writesIntoStream(fs::path const& target) {
    std::error_code ignored;
    return isStandardStream(target) || isStreamType(fs::status(target, ignored).type());
}

OutputFile::OutputFile(fs::path target, Content content) : target_(std::move(target)), name_(outputName(target_)) {
    if (isStandardStream(target_)) {
        if (content == Content::Binary && ::isatty(STDOUT_FILENO))
            refuse(name_, "it is a terminal; redirect it into a file or a pipe");
        streamDescriptor_ = STDOUT_FILENO;
        return;
    }
    // The kernel follows the links here, /proc/self/fd's included.
    std::error_code error;
    fs::file_status const status = fs::status(target_, error);
    if (error && status.type() == fs::file_type::none)
        refuse(name_, error.message());
    if (std::string const refusal = refusalFor(status.type()); !refusal.empty())
        refuse(name_, refusal);
    if (isStreamType(status.type())) {
        streamDescriptor_ = ::open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (streamDescriptor_ < 0)
            refuse(name_, std::strerror(errno));
        ownsStream_ = true;
        return;
    }
    // The file to replace, with the links leading to it resolved: its folder takes the
    // temporary file, so that the rename replaces the file and leaves the links.
    std::error_code unresolved;
    fs::path const file =
        status.type() == fs::file_type::regular ? fs::canonical(target_, unresolved) : followLinks(target_, name_);
    if (unresolved)
        refuse(name_, unresolved.message());
    replaced_ = file;
    replacesOlder_ = status.type() == fs::file_type::regular;
    if (replacesOlder_ && ::access(file.c_str(), W_OK) != 0)
        refuse(name_, "it is read-only");
    struct stat older {};
    mode_t const mode = replacesOlder_ && ::stat(file.c_str(), &older) == 0 ? (older.st_mode & 07777) : 0666;
    fs::path const folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    try {
        temporary_.emplace(folder, file.filename().string(), "part", mode);
    } catch (std::runtime_error const& failure) {
        refuse(name_, std::string("cannot create a file in ") + folder.string() + ": " + failure.what());
    }
    if (replacesOlder_)
        ::fchmod(temporary_->descriptor(), mode); // the umask took bits the older file had
}

OutputFile::~OutputFile() {
    if (ownsStream_ && streamDescriptor_ >= 0)
        ::close(streamDescriptor_);
}

int OutputFile::descriptor() const {
    return temporary_ ? temporary_->descriptor() : streamDescriptor_;
}

fs::path OutputFile::scratchFolder() const {
    if (!temporary_)
        return fs::temp_directory_path();
    return temporary_->path().parent_path();
}

void OutputFile::write(void const* data, std::size_t size) {
    if (int const error = writeAll(descriptor(), data, size); error != 0)
        fail(std::strerror(error));
}

void OutputFile::fail(std::string const& reason) const {
    std::string consequence;
    if (temporary_)
        consequence = replacesOlder_ ? "; " + name_ + " is left as it was" : "; nothing was written";
    throw std::runtime_error("could not write " + name_ + ": " + reason + consequence);
}

void OutputFile::commit() {
    if (!temporary_) {
        if (ownsStream_ && ::close(streamDescriptor_) != 0) {
            streamDescriptor_ = -1;
            fail(std::strerror(errno));
        }
        streamDescriptor_ = -1;
        return;
    }
    if (int const error = temporary_->flushAndClose(); error != 0)
        fail(std::strerror(error));
    if (int const error = temporary_->renameTo(replaced_); error != 0)
        fail(std::strerror(error));
}

} // namespace zr::cli
