#include "host/realtime/ShapeListening.h"

#include <stdexcept>
#include <string>

#include "host/realtime/PatchPlayer.h"

namespace zr::host {
namespace {

constexpr double kUnboundedSeconds = 86400.0;

// A sine-like tone of 220 Hz (A3, 4 V) through the shaper, or the oscillator alone.
std::string const kCurvePatch = R"json({ "duration": 1,
  "modules": {
    "osc": { "id": "ZR_ShapeOsc2", "pins": { "Shape": "(-5,0)(-2.5,5)(0,0)(2.5,-5)(5,0)", "Interpolation": 30, "Gate": true } },
    "shaper": { "id": "ZR_Waveshaper2", "pins": { "Interpolation": 10 } } },
  "connections": [ { "from": "osc.Out", "to": "shaper.Input" } ],
  "sources": { "osc.Pitch": 4 },
  "outputs": ["shaper.Out"] })json";

std::string const kWavePatch = R"json({ "duration": 1,
  "modules": { "osc": { "id": "ZR_ShapeOsc2", "pins": { "Interpolation": 10, "Gate": true } } },
  "sources": { "osc.Pitch": 4 },
  "outputs": ["osc.Out"] })json";

LoadedPatch loadListened(Bundle& bundle, ModuleDescriptions const& descriptions, ShapeListeningOptions const& options,
                         float sampleRate) {
    PatchOverrides overrides;
    overrides.sampleRate = sampleRate;
    overrides.duration = kUnboundedSeconds;
    if (options.patch)
        return loadPatchFile(bundle, descriptions, *options.patch, overrides);
    std::string const& text = options.as == ShapeListeningOptions::As::Wave ? kWavePatch : kCurvePatch;
    return loadPatch(bundle, descriptions, text, std::filesystem::current_path(), "the listening patch", overrides);
}

PinAddress shapePinOf(ShapeListeningOptions const& options) {
    if (!options.patch)
        return options.as == ShapeListeningOptions::As::Wave ? PinAddress{"osc", "Shape"} : PinAddress{"shaper", "Shape"};
    size_t const dot = options.shapePin.find('.');
    if (dot == std::string::npos)
        throw std::invalid_argument("the shape pin '" + options.shapePin + "' is not \"module.pin\"");
    return {options.shapePin.substr(0, dot), options.shapePin.substr(dot + 1)};
}

} // namespace

// Declared in the order they are made; they go in reverse, the player (which deactivates the
// client) before the patch it plays.
struct ShapeListening::Playing {
    JackClient client;
    LivePatch live;
    PatchPlayer player;
    Patch::PinHandle shapePin;

    Playing(Bundle& bundle, ModuleDescriptions const& descriptions, ShapeListeningOptions const& options)
        : client(options.client),
          live(loadListened(bundle, descriptions, options, static_cast<float>(client.sampleRate()))),
          player(client, live), shapePin(handleOf(options)) {}

    Patch::PinHandle handleOf(ShapeListeningOptions const& options) {
        PinAddress const pin = shapePinOf(options);
        ModuleDescription const& module = *live.loaded().patch->module(pin.module).description();
        PinDescription const* described = module.findPin(pin.pin);
        if (!described || !described->isInput() || described->shapeForm != ShapeForm::image)
            throw std::invalid_argument("'" + pin.text() + "' is no shape input that takes a blob image");
        return live.handle(pin.module, pin.pin);
    }
};

ShapeListening::ShapeListening(Bundle& bundle, ModuleDescriptions const& descriptions, ShapeListeningOptions const& options)
    : playing_(std::make_unique<Playing>(bundle, descriptions, options)) {
    // Queued before play(), the shape is in place for the first period the player runs.
    if (!options.shape.empty() && !setShape(options.shape))
        throw std::invalid_argument("the shape image of " + std::to_string(options.shape.size()) +
                                    " bytes is larger than any shape");
    playing_->player.start();
    if (options.connect)
        playing_->player.connectOutputs(options.connectTo);
    playing_->player.play();
}

ShapeListening::~ShapeListening() = default;

bool ShapeListening::setShape(std::span<uint8_t const> image) { return playing_->player.sendValue(playing_->shapePin, image); }

bool ShapeListening::serverGone() const { return playing_->client.serverGone(); }

std::vector<std::string> ShapeListening::outputPorts() const { return playing_->player.outputPortNames(); }

} // namespace zr::host
