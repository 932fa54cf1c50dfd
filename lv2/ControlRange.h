#pragma once
// What a plug-in accepts on one control port: generated from the module descriptions into
// GeneratedControls.h, in the order of the plug-in's controls in lv2/PluginCatalog.h.

#include <cmath>
#include <span>

namespace zr::lv2 {

struct ControlRange {
    float min;
    float max;
    float defaultValue;
    bool integer; // integer, toggle and enumeration ports: values are rounded
};

// [audio thread] The value a module receives for what a host wrote on the port: clamped to
// the range and rounded for whole-number ports. A NaN gives `previous`, so a broken value
// never reaches a module.
inline float acceptedValue(ControlRange const& range, float written, float previous) {
    if (std::isnan(written))
        return previous;
    float const clamped = std::fmin(std::fmax(written, range.min), range.max);
    return range.integer ? std::nearbyint(clamped) : clamped;
}

} // namespace zr::lv2
