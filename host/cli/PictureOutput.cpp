#include "host/cli/PictureOutput.h"

#include <cstring>

#include "host/cli/OutputFile.h"
#include "host/cli/StreamPaths.h"

namespace zr::cli {

cairo_status_t PictureSink::write(void* sink, unsigned char const* data, unsigned int length) {
    auto& self = *static_cast<PictureSink*>(sink);
    if (self.error_ == 0)
        self.error_ = writeAll(self.output_.descriptor(), data, length);
    return self.error_ == 0 ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

void PictureSink::check(cairo_surface_t* surface) const {
    if (error_ != 0)
        output_.fail(std::strerror(error_));
    if (cairo_status_t const status = cairo_surface_status(surface); status != CAIRO_STATUS_SUCCESS)
        output_.fail(cairo_status_to_string(status));
}

void writePng(cairo_surface_t* surface, OutputFile& output) {
    PictureSink sink(output);
    cairo_surface_flush(surface);
    cairo_status_t const status = cairo_surface_write_to_png_stream(surface, PictureSink::write, &sink);
    sink.check(surface);
    if (status != CAIRO_STATUS_SUCCESS)
        output.fail(cairo_status_to_string(status));
}

} // namespace zr::cli
