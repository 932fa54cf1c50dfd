#pragma once
// What every plug-in of the bundle shares: its ports, its shapes as parameters (patch:Set and
// patch:Get messages, LV2 State, shape files through the worker), its controls checked
// against the ranges generated from the module descriptions, and run() cut at event times
// into blocks the modules take. The plug-in kinds fill in the hooks.
//
// Threads: the constructor, activate, save and restore run in the instantiation class (never
// beside run); run and workResponse on the audio thread; work on the worker thread.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include <lv2/atom/forge.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/worker/worker.h>

#include "lv2/ControlRange.h"
#include "lv2/ModuleDriver.h"
#include "lv2/PluginCatalog.h"
#include "lv2/ShapeWork.h"
#include "lv2/Uris.h"

namespace zr::lv2 {

class ShapePlugin {
public:
    virtual ~ShapePlugin() = default;
    ShapePlugin(ShapePlugin const&) = delete;
    ShapePlugin& operator=(ShapePlugin const&) = delete;

    void connectPort(uint32_t port, void* data);
    // [instantiation] Starts the modules and sends them every shape and control.
    void activate();
    // [audio thread] Never allocates, locks or waits.
    void run(uint32_t frames);

    LV2_Worker_Status work(LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle, uint32_t size,
                           void const* data);
    LV2_Worker_Status workResponse(uint32_t size, void const* data);
    LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle);
    // A shape missing from the state keeps the current one; a refused one is reported
    // through the log and kept too.
    LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

protected:
    // Without the URID map feature the plug-in runs on its controls alone: it reads no
    // messages, sends none and keeps no state, as a host that offers no map expects.
    ShapePlugin(size_t pluginIndex, double sampleRate, LV2_Feature const* const* features);

    PluginDefinition const& definition() const { return definition_; }
    float sampleRate() const { return sampleRate_; }
    Uris const& uris() const { return uris_; }
    KeptShape const& shape(size_t slot) const { return shapes_[slot].kept; }
    float control(uint32_t index) const { return controls_[index]; }
    float const* audioInput(size_t channel) const { return audioPorts_[channel]; }
    float* audioOutput(size_t channel) const { return audioPorts_[definition_.audioInputs.size() + channel]; }

    // [instantiation or audio thread] Hands the modules a control value or a shape to take.
    virtual void sendControl(uint32_t index, float value) = 0;
    virtual void sendShape(size_t slot, zr::Shape const& shape) = 0;
    // [activate] Opens the modules; controls and shapes follow, and then settleModules, which
    // runs the modules through an empty block so that they take what was sent outside run().
    virtual void startModules() = 0;
    virtual void settleModules() = 0;
    // [audio thread] Renders host samples `offset` .. `offset + frames`, frames at most
    // ModuleDriver::kMaxFrames, into the output ports.
    virtual void render(uint32_t offset, uint32_t frames) = 0;
    // [audio thread] Messages other than patch messages, at the sample they are stamped with.
    virtual void onMidi(uint8_t const* /*message*/, uint32_t /*size*/) {}
    virtual void onPosition(LV2_Atom_Object const* /*position*/) {}
    // [audio thread] Once per run, before any sample: for work that depends on the block.
    virtual void beginRun(uint32_t /*frames*/) {}

    // [non-real-time threads only] Reports through the host's log, or stderr without one.
    void logMessage(LV2_URID type, char const* format, ...) const;

private:
    struct ShapeSlot {
        KeptShape kept;
        bool pending = false; // kept changed: the modules and the notify port have not seen it
    };

    void readControls();
    void applyPendingShapes(int64_t frame);
    void renderSpan(uint32_t from, uint32_t to);
    void handleEvent(LV2_Atom_Event const* event);
    void handlePatchSet(LV2_Atom_Object const* message);
    void handlePatchGet(LV2_Atom_Object const* message, int64_t frame);
    void scheduleShape(size_t slot, ShapeSource source, char const* data, size_t length);
    void notifyShape(size_t slot, int64_t frame);
    void prepareNotify();

    PluginDefinition const& definition_;
    std::span<ControlRange const> const ranges_;
    float const sampleRate_;
    LV2_URID_Map* map_ = nullptr;
    LV2_Log_Log* log_ = nullptr;
    LV2_Worker_Schedule* schedule_ = nullptr;
    Uris const uris_;
    LV2_Atom_Forge forge_{};

    LV2_Atom_Sequence const* controlPort_ = nullptr;
    LV2_Atom_Sequence* notifyPort_ = nullptr;
    LV2_Atom_Forge_Frame notifyFrame_{}; // the notify sequence, open while run() writes it
    bool notifyOpen_ = false;
    bool notifying_ = false; // messages still fit
    std::array<float*, 4> audioPorts_{};
    std::array<float const*, 16> controlPorts_{};
    std::array<float, 16> controls_{};     // the values the modules have
    std::array<uint32_t, 16> writtenBits_{}; // what each port held at the last run

    std::array<ShapeSlot, kMaxShapes> shapes_{};
    ShapeRequest request_; // built in run(), copied by schedule_work
};

} // namespace zr::lv2
