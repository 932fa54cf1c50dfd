#pragma once
// Where a command writes one result, written so that nothing the run did not create is
// damaged. A regular file, or a name that does not exist yet, is written under a temporary
// name beside it and renamed over it only when complete and flushed to the disk: a failed or
// interrupted run leaves an older file as it was and no partial file behind. A symbolic link
// is followed (the file it points to is replaced, the link stays). "-" is standard output,
// and an existing character device or FIFO (/dev/null, a named pipe) is written into as a
// stream, in order and never replaced. Folders, sockets and block devices are refused.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "host/cli/TemporaryFile.h"

namespace zr::cli {

// Whether `target` is written as a stream: "-", or a character device or FIFO (links
// followed). Looks only; opens nothing.
bool writesIntoStream(std::filesystem::path const& target);

class OutputFile {
public:
    // Binary content is refused on a terminal; text is not.
    enum class Content { Binary, Text };

    // Opens the temporary file or the stream at once, so that a place that cannot be written
    // fails before any work (opening a FIFO waits for its reader). Throws std::runtime_error
    // "cannot write NAME: reason". [main thread]
    explicit OutputFile(std::filesystem::path target, Content content = Content::Binary);
    // Removes the temporary file unless commit() ran; closes what it opened.
    ~OutputFile();
    OutputFile(OutputFile const&) = delete;
    OutputFile& operator=(OutputFile const&) = delete;

    // Whether the content goes into a stream (standard output, a device, a FIFO): written
    // once, in order, with no going back to fix a header.
    bool isStream() const { return !temporary_.has_value(); }
    int descriptor() const;
    // As messages name it: the path as given, or "standard output".
    std::string const& name() const { return name_; }
    // The file that is replaced, links followed; empty for a stream.
    std::filesystem::path const& replacedFile() const { return replaced_; }
    // Where scratch files go: beside the replaced file, so on the same disk, or the system's
    // temporary folder for a stream.
    std::filesystem::path scratchFolder() const;

    // Writes all bytes; throws as fail() does.
    void write(void const* data, std::size_t size);
    // Throws std::runtime_error "could not write NAME: reason", followed by what became of an
    // older file of that name.
    [[noreturn]] void fail(std::string const& reason) const;
    // Makes the content the target's: flushes it and renames the temporary file into place
    // (for a stream, closes what it opened). Throws as fail() does.
    void commit();

private:
    std::filesystem::path target_;
    std::string name_;
    std::filesystem::path replaced_;
    bool replacesOlder_ = false;
    std::optional<TemporaryFile> temporary_;
    int streamDescriptor_ = -1;
    bool ownsStream_ = false;
};

} // namespace zr::cli
