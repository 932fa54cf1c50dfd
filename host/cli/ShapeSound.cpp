#include "host/cli/ShapeSound.h"

namespace zr::cli {
namespace {

// Hears nothing and says so.
class SilentShapeSound final : public ShapeSound {
public:
    void shapeChanged(Shape const&) override {}
    std::optional<std::string> whyOff() const override {
        return "this zrhost has no audio connection for the editor; the editor works without it";
    }
};

} // namespace

std::unique_ptr<ShapeSound> makeShapeSound(ListenRequest const&) { return std::make_unique<SilentShapeSound>(); }

} // namespace zr::cli
