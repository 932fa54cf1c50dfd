#include "host/cli/ShapeSound.h"

#include <cstdio>
#include <exception>
#include <span>

#include "host/realtime/ShapeListening.h"

namespace zr::cli {
namespace {

std::span<uint8_t const> imageOf(Shape const& shape) {
    return {static_cast<uint8_t const*>(shape.blobData()), static_cast<size_t>(shape.blobSize())};
}

host::ShapeListeningOptions optionsOf(ListenRequest const& request, Shape const& initial) {
    host::ShapeListeningOptions options;
    std::span<uint8_t const> const image = imageOf(initial);
    options.shape.assign(image.begin(), image.end());
    options.as = request.role == ListenRequest::Role::Wave ? host::ShapeListeningOptions::As::Wave
                                                           : host::ShapeListeningOptions::As::TransferCurve;
    options.patch = request.patch;
    options.shapePin = request.shapePin;
    options.client.serverName = request.serverName;
    return options;
}

// Plays the shape through JACK while a server runs; says why not otherwise, once.
class JackShapeSound final : public ShapeSound {
public:
    JackShapeSound(ListenRequest const& request, Shape const& initial, host::Bundle& bundle,
                   host::ModuleDescriptions const& descriptions) {
        if (request.patch && request.shapePin.empty()) {
            whyOff_ = "name the pin of " + request.patch->string() + " that takes the shape: --shape-pin MODULE.PIN";
            return;
        }
        try {
            listening_ = std::make_unique<host::ShapeListening>(bundle, descriptions, optionsOf(request, initial));
        } catch (std::exception const& error) {
            whyOff_ = error.what();
        }
    }

    void shapeChanged(Shape const& shape) override {
        if (!listening_)
            return;
        if (listening_->serverGone()) {
            std::fprintf(stderr, "zrhost: listening is off: the JACK server stopped; the editor works on\n");
            listening_.reset();
            return;
        }
        listening_->setShape(imageOf(shape));
    }

    std::optional<std::string> whyOff() const override { return whyOff_; }

private:
    std::unique_ptr<host::ShapeListening> listening_;
    std::optional<std::string> whyOff_;
};

} // namespace

std::unique_ptr<ShapeSound> makeShapeSound(ListenRequest const& request, Shape const& initial, host::Bundle& bundle,
                                           host::ModuleDescriptions const& descriptions) {
    return std::make_unique<JackShapeSound>(request, initial, bundle, descriptions);
}

} // namespace zr::cli
