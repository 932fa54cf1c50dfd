#pragma once
// The sound of a shape while it is edited (`zrhost edit --listen`): every shape the editor
// sends reaches it, and it plays a patch that uses the shape. [ui thread] for every operation.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "shapes/Shape.h"

namespace zr::host {
class Bundle;
class ModuleDescriptions;
} // namespace zr::host

namespace zr::cli {

struct ListenRequest {
    // How the shape is heard: as the waveshaper's transfer curve, or as the oscillator's wave.
    enum class Role { Shaper, Wave };
    // The patch to play; none: a built-in tone for the role.
    std::optional<std::filesystem::path> patch;
    // With a patch: the pin that takes the shape, "module.pin".
    std::string shapePin;
    Role role = Role::Shaper;
    // The JACK server to play on; none: the default one.
    std::optional<std::string> serverName;
};

// Receives the edited shape: the first one, then every shape the editor sends and every mode
// the person chooses.
class ShapeListener {
public:
    virtual ~ShapeListener() = default;
    virtual void shapeChanged(Shape const& shape) = 0;
};

class ShapeSound : public ShapeListener {
public:
    // Whether the sound plays; when not, why (shown as "listening is off: <reason>").
    virtual std::optional<std::string> whyOff() const = 0;
};

// The sound for `request`, played as a JACK client with modules of `bundle` (both outlive
// the sound), `initial` heard from its first sample. Never fails: a sound that cannot start
// (no server, a patch or pin that does not fit) says why in whyOff() and stays silent; a
// server that stops later is reported once on standard error and the editor goes on.
std::unique_ptr<ShapeSound> makeShapeSound(ListenRequest const& request, Shape const& initial, host::Bundle& bundle,
                                           host::ModuleDescriptions const& descriptions);

} // namespace zr::cli
