#pragma once
// cairo's encoded pictures (PNG, SVG, PDF) written into an OutputFile, so that pictures go to
// files, devices, pipes and standard output alike.

#include <cairo.h>

namespace zr::cli {

class OutputFile;

// The closure of cairo's stream functions: it writes into `output` and keeps the first error.
class PictureSink {
public:
    explicit PictureSink(OutputFile& output) : output_(output) {}
    // A cairo_write_func_t; `sink` is a PictureSink.
    static cairo_status_t write(void* sink, unsigned char const* data, unsigned int length);
    // Throws as OutputFile::fail does when a write failed or `surface` is in error.
    void check(cairo_surface_t* surface) const;

private:
    OutputFile& output_;
    int error_ = 0;
};

// Encodes an image surface as PNG into `output`. Throws as OutputFile::fail does.
void writePng(cairo_surface_t* surface, OutputFile& output);

} // namespace zr::cli
