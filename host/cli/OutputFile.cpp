#include "host/cli/OutputFile.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>

namespace zr::cli {

OutputFile::OutputFile(std::filesystem::path finalPath) : final_(std::move(finalPath)) {
    if (std::filesystem::is_directory(final_))
        throw std::runtime_error("cannot write " + final_.string() + ": it is a folder");
    temporary_ = final_;
    temporary_ += ".part-" + std::to_string(::getpid());
    std::ofstream probe(temporary_, std::ios::binary | std::ios::trunc);
    if (!probe)
        throw std::runtime_error("cannot write " + final_.string() + ": " + std::strerror(errno));
}

OutputFile::~OutputFile() {
    if (!committed_) {
        std::error_code ignored;
        std::filesystem::remove(temporary_, ignored);
    }
}

void OutputFile::commit() {
    std::error_code error;
    std::filesystem::rename(temporary_, final_, error);
    if (error)
        throw std::runtime_error("cannot write " + final_.string() + ": " + error.message());
    committed_ = true;
}

} // namespace zr::cli
