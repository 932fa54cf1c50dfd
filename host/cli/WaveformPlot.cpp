#include "host/cli/WaveformPlot.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <cairo-pdf.h>
#include <cairo-svg.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <stdexcept>

#include "host/cli/PictureOutput.h"
#include "host/cli/StreamPaths.h"
#include "host/cli/WaveformEnvelope.h"

namespace zr::cli {
namespace {

constexpr double kLeft = 64.0;
constexpr double kRight = 16.0;
constexpr double kTop = 12.0;
constexpr double kBottom = 36.0;
constexpr double kLaneGap = 14.0;
constexpr double kFullScaleVolts = 10.0;
constexpr double kThinnestLane = 40.0;

struct Box {
    double x, y, width, height;
};

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using Context = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

// A tick step of 1, 2 or 5 times a power of ten that gives at most `most` ticks over `span`.
double niceStep(double span, int most) {
    double const raw = span / most;
    double const power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double factor : {1.0, 2.0, 5.0, 10.0})
        if (factor * power >= raw)
            return factor * power;
    return 10.0 * power;
}

void label(cairo_t* cr, double x, double y, std::string const& text, double alignX) {
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    cairo_move_to(cr, x - extents.width * alignX, y);
    cairo_show_text(cr, text.c_str());
}

double levelToY(Box const& lane, double volts) {
    return lane.y + lane.height * 0.5 * (1.0 - volts / kFullScaleVolts);
}

void drawLevelAxis(cairo_t* cr, Box const& lane, std::string const& name) {
    cairo_set_font_size(cr, 10.0);
    for (double volts = -kFullScaleVolts; volts <= kFullScaleVolts; volts += 5.0) {
        double const y = std::round(levelToY(lane, volts)) + 0.5;
        cairo_set_source_rgb(cr, volts == 0.0 ? 0.55 : 0.82, volts == 0.0 ? 0.55 : 0.82, volts == 0.0 ? 0.55 : 0.82);
        cairo_move_to(cr, lane.x, y);
        cairo_line_to(cr, lane.x + lane.width, y);
        cairo_stroke(cr);
        cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
        char text[16];
        std::snprintf(text, sizeof text, "%+.0f V", volts);
        label(cr, lane.x - 6.0, y + 3.5, volts == 0.0 ? "0 V" : text, 1.0);
    }
    cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
    label(cr, lane.x + 4.0, lane.y + 11.0, name, 0.0);
}

void drawTimeAxis(cairo_t* cr, Box const& plot, double seconds) {
    double const step = niceStep(seconds, 10);
    cairo_set_font_size(cr, 10.0);
    for (int i = 0; i * step <= seconds + 1e-9; ++i) {
        double const t = i * step;
        double const x = std::round(plot.x + plot.width * t / seconds) + 0.5;
        cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
        cairo_move_to(cr, x, plot.y);
        cairo_line_to(cr, x, plot.y + plot.height);
        cairo_stroke(cr);
        cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
        char text[16];
        std::snprintf(text, sizeof text, step < 0.1 ? "%.2f" : step < 1.0 ? "%.1f" : "%.0f", t);
        label(cr, x, plot.y + plot.height + 14.0, text, 0.5);
    }
    label(cr, plot.x + plot.width * 0.5, plot.y + plot.height + 30.0, "time (s)", 0.5);
}

// Each pixel column shows the lowest and highest sample that falls into it.
void drawSamples(cairo_t* cr, Box const& lane, WaveformEnvelope const& envelope, int channel) {
    if (envelope.totalFrames() == 0)
        return;
    cairo_set_source_rgb(cr, 0.11, 0.35, 0.65);
    for (int column = 0; column < envelope.columns(); ++column) {
        WaveformEnvelope::Span const span = envelope.column(channel, column);
        double const clampedHigh = std::clamp(static_cast<double>(span.high) * kFullScaleVolts, -kFullScaleVolts, kFullScaleVolts);
        double const clampedLow = std::clamp(static_cast<double>(span.low) * kFullScaleVolts, -kFullScaleVolts, kFullScaleVolts);
        double const x = lane.x + column + 0.5;
        cairo_move_to(cr, x, levelToY(lane, clampedHigh) - 0.5);
        cairo_line_to(cr, x, levelToY(lane, clampedLow) + 0.5);
    }
    cairo_stroke(cr);
}

// A surface that draws into the picture's format; PNG draws into memory and encodes at the end.
Surface surfaceFor(PictureFormat format, PictureSink& sink, PlotSize size) {
    switch (format) {
    case PictureFormat::Svg:
        return {cairo_svg_surface_create_for_stream(PictureSink::write, &sink, size.width, size.height), cairo_surface_destroy};
    case PictureFormat::Pdf:
        return {cairo_pdf_surface_create_for_stream(PictureSink::write, &sink, size.width, size.height), cairo_surface_destroy};
    case PictureFormat::Png:
        break;
    }
    return {cairo_image_surface_create(CAIRO_FORMAT_RGB24, size.width, size.height), cairo_surface_destroy};
}

// cairo and fontconfig keep the fonts they loaded for the life of the process; the labels are
// the tool's only text, so it gives them back once the picture is written.
void releaseFontCaches() {
    cairo_debug_reset_static_data();
    FcFini();
}

void drawLanes(cairo_t* cr, WaveformEnvelope const& envelope, std::vector<std::string> const& names, float sampleRate,
               PlotSize size) {
    cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
    cairo_paint(cr);
    cairo_set_line_width(cr, 1.0);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);

    Box const plot{kLeft, kTop, size.width - kLeft - kRight, size.height - kTop - kBottom};
    double const seconds = std::max(static_cast<double>(envelope.totalFrames()) / sampleRate, 1e-3);
    drawTimeAxis(cr, plot, seconds);
    double const lanes = static_cast<double>(std::max(envelope.channels(), 1));
    double const laneHeight = (plot.height - kLaneGap * (lanes - 1.0)) / lanes;
    for (int c = 0; c < envelope.channels(); ++c) {
        Box const lane{plot.x, plot.y + c * (laneHeight + kLaneGap), plot.width, laneHeight};
        drawLevelAxis(cr, lane, static_cast<size_t>(c) < names.size() ? names[static_cast<size_t>(c)] : "");
        drawSamples(cr, lane, envelope, c);
        cairo_set_source_rgb(cr, 0.4, 0.4, 0.4);
        cairo_rectangle(cr, lane.x + 0.5, lane.y + 0.5, lane.width - 1.0, lane.height - 1.0);
        cairo_stroke(cr);
    }
}

void drawPlot(OutputFile& output, PictureFormat format, WaveformEnvelope const& envelope,
              std::vector<std::string> const& names, float sampleRate, PlotSize size) {
    PictureSink sink(output);
    Surface surface = surfaceFor(format, sink, size);
    {
        Context context(cairo_create(surface.get()), cairo_destroy);
        drawLanes(context.get(), envelope, names, sampleRate, size);
    }
    if (format == PictureFormat::Png) {
        writePng(surface.get(), output);
        return;
    }
    cairo_surface_finish(surface.get()); // the vector formats write as they finish
    sink.check(surface.get());
}

} // namespace

PictureFormat pictureFormatOf(std::filesystem::path const& path) {
    if (isStandardStream(path))
        return PictureFormat::Png;
    std::string const extension = lowercaseExtension(path);
    if (extension == ".png")
        return PictureFormat::Png;
    if (extension == ".svg")
        return PictureFormat::Svg;
    if (extension == ".pdf")
        return PictureFormat::Pdf;
    throw std::invalid_argument(path.string() + ": " + (extension.empty() ? "no extension" : "unknown extension " + extension) +
                                " for the plot; name it .png, .svg or .pdf");
}

PlotSize plotSizeFor(int channels) {
    PlotSize size;
    double const needed = kTop + kBottom + channels * (kThinnestLane + kLaneGap);
    size.height = std::max(size.height, static_cast<int>(std::ceil(needed)));
    return size;
}

int plotColumns(PlotSize size) {
    return static_cast<int>(size.width - kLeft - kRight);
}

void plotWaveforms(OutputFile& output, PictureFormat format, WaveformEnvelope const& envelope,
                   std::vector<std::string> const& names, float sampleRate, PlotSize size) {
    try {
        drawPlot(output, format, envelope, names, sampleRate, size);
    } catch (...) {
        releaseFontCaches();
        throw;
    }
    releaseFontCaches();
}

} // namespace zr::cli
