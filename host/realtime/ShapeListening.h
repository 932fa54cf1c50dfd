#pragma once
// Hearing a shape while it is edited: a JACK client that plays a tone through the shape, and
// takes each new shape from the editing thread through a jack_ringbuffer_t, so that it sounds
// from the next period on. Three ways to hear it:
//   - TransferCurve (the default): a sine-like tone of 220 Hz through ZR_Waveshaper2 with the
//     shape as its transfer curve;
//   - Wave: the shape as ZR_ShapeOsc2's waveform at 220 Hz;
//   - a patch file whose pin `shapePin` ("module.pin", a shape pin taking the blob image)
//     gets the shape.
// The outputs go to the server's playback ports unless told otherwise.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "host/realtime/JackClient.h"

namespace zr::host {

class Bundle;
class ModuleDescriptions;

struct ShapeListeningOptions {
    enum class As { TransferCurve, Wave };
    As as = As::TransferCurve;
    // When given, this patch plays instead, and `shapePin` names the pin the shape goes to.
    std::optional<std::filesystem::path> patch;
    std::string shapePin;
    // The blob image heard from the first sample on; empty: the patch's own shape.
    std::vector<uint8_t> shape;
    JackClientOptions client{"zrhost-listen", std::nullopt};
    bool connect = true;
    std::vector<std::string> connectTo; // empty: the playback ports
};

class ShapeListening {
public:
    // [ui thread] Joins the server and starts playing, with `options.shape` (or the patch's own
    // shape) until the first setShape. Throws JackError when no server runs or a port cannot be
    // connected, and PatchError or std::invalid_argument for a patch or pin that does not fit or
    // a shape image larger than any shape; nothing is left running then.
    ShapeListening(Bundle& bundle, ModuleDescriptions const& descriptions, ShapeListeningOptions const& options);
    ~ShapeListening();
    ShapeListening(ShapeListening const&) = delete;
    ShapeListening& operator=(ShapeListening const&) = delete;

    // [ui thread] The shape's blob image, heard from the next period on. False, and the sound
    // unchanged, when the image exceeds any shape's size or the previous ones are not yet
    // taken (more than a few hundred within one period).
    bool setShape(std::span<uint8_t const> image);
    // [ui thread] Whether the server went away: nothing sounds any more.
    bool serverGone() const;
    // The full names of the output ports.
    std::vector<std::string> outputPorts() const;

private:
    struct Playing;
    std::unique_ptr<Playing> playing_;
};

} // namespace zr::host
