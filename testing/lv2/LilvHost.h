#pragma once
// A small LV2 host built on lilv for tests: it loads only the bundles on the path it is given,
// instantiates a plug-in with URID map, log and worker features, connects every port, builds
// the message sequence of each block (patch messages, MIDI, time position), runs the worker
// right after each block as a host's worker thread would, and saves and restores state.
// Everything runs on the calling thread.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/log/log.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

namespace zr::test {

// The URIs a host maps, both ways.
class UridTable {
public:
    UridTable();
    LV2_URID map(char const* uri);
    char const* unmap(LV2_URID urid) const;
    LV2_URID_Map* mapFeature() { return &map_; }
    LV2_URID_Unmap* unmapFeature() { return &unmap_; }

private:
    std::map<std::string, LV2_URID, std::less<>> ids_;
    std::vector<std::string> uris_; // index urid - 1
    LV2_URID_Map map_{};
    LV2_URID_Unmap unmap_{};
};

// A lilv world that sees only the bundles under `lv2Path`. Throws std::runtime_error when a
// plug-in is not found.
class LilvTestWorld {
public:
    explicit LilvTestWorld(std::string const& lv2Path);
    ~LilvTestWorld();
    LilvTestWorld(LilvTestWorld const&) = delete;
    LilvTestWorld& operator=(LilvTestWorld const&) = delete;

    LilvWorld* world() const { return world_; }
    LilvPlugin const* plugin(std::string const& uri) const;
    std::vector<std::string> pluginUris() const;
    UridTable& urids() { return urids_; }

private:
    LilvWorld* world_;
    UridTable urids_;
};

struct LogEntry {
    std::string type; // the log type's URI
    std::string text;
};

class PluginInstance {
public:
    static constexpr uint32_t kMaxBlock = 8192;
    static constexpr uint32_t kSequenceBytes = 1 << 16;

    // Instantiates and activates the plug-in. `withWorker` false leaves the worker feature out,
    // as a host without one does. Throws std::runtime_error when lilv cannot instantiate it.
    PluginInstance(LilvTestWorld& world, std::string const& uri, double sampleRate = 48000.0, bool withWorker = true);
    ~PluginInstance();
    PluginInstance(PluginInstance const&) = delete;
    PluginInstance& operator=(PluginInstance const&) = delete;

    // Ports by symbol. Throws std::out_of_range for an unknown symbol.
    void setControl(std::string const& symbol, float value);
    float control(std::string const& symbol) const;
    // Audio buffers (kMaxBlock samples each) in port order of the plug-in's inputs or outputs.
    size_t audioInputCount() const { return audioInputs_.size(); }
    size_t audioOutputCount() const { return audioOutputs_.size(); }
    float* audioInput(size_t channel) { return audioInputs_.at(channel).data(); }
    float const* audioOutput(size_t channel) const { return audioOutputs_.at(channel).data(); }

    // Messages for the next run, at sample `time` of it.
    void patchSetString(uint32_t time, std::string const& property, std::string const& text);
    void patchSetPath(uint32_t time, std::string const& property, std::string const& path);
    void patchSetRaw(uint32_t time, std::string const& property, LV2_URID valueType, void const* body, uint32_t size);
    void patchGet(uint32_t time, std::optional<std::string> const& property);
    void midi(uint32_t time, std::vector<uint8_t> const& bytes);
    void position(uint32_t time, double barBeat, double beatsPerMinute, double speed);

    // Runs one block (0..kMaxBlock) with the queued messages, then the worker and its
    // responses. Callers that count allocations in run() call runOnly() and work() apart.
    void run(uint32_t frames);
    void runOnly(uint32_t frames);
    void work();

    // The shape texts the plug-in sent for `property` (patch:Set on its notify port) in the
    // last run, oldest first.
    std::vector<std::string> notifiedTexts(std::string const& property) const;
    // Asks with patch:Get in an empty block and returns the answer; empty when none came.
    std::optional<std::string> shapeText(std::string const& property);

    // State through lilv: saved as lilv writes it, restored from that text.
    std::string saveState();
    void restoreState(std::string const& text);
    // Restores through the plug-in's own state interface with `retrieve` answering each key.
    using Retrieve = std::function<void const*(LV2_URID key, size_t* size, uint32_t* type)>;
    LV2_State_Status restoreWith(Retrieve retrieve);
    // Restores the preset `presetUri` as lilv loads it from the world.
    void applyPreset(std::string const& presetUri);

    std::vector<LogEntry> const& log() const { return log_; }
    void clearLog() { log_.clear(); }
    LV2_URID urid(char const* uri) { return world_.urids().map(uri); }
    LilvPlugin const* plugin() const { return plugin_; }
    size_t pendingWork() const { return requestSizes_.size(); }

private:
    struct ControlPort {
        uint32_t index;
        float value;
    };

    void connectPorts();
    void beginSequence();
    void addMessageHeader(uint32_t time);
    static LV2_Worker_Status scheduleWork(LV2_Worker_Schedule_Handle handle, uint32_t size, void const* data);
    static LV2_Worker_Status respond(LV2_Worker_Respond_Handle handle, uint32_t size, void const* data);
    static int logPrintf(LV2_Log_Handle handle, LV2_URID type, char const* format, ...);
    static int logVprintf(LV2_Log_Handle handle, LV2_URID type, char const* format, va_list arguments);
    static void const* portValue(char const* symbol, void* user, uint32_t* size, uint32_t* type);
    static void setPortValue(char const* symbol, void* user, void const* value, uint32_t size, uint32_t type);

    LilvTestWorld& world_;
    LilvPlugin const* plugin_;
    LilvInstance* instance_ = nullptr;
    LV2_Worker_Interface const* worker_ = nullptr;
    std::map<std::string, ControlPort> controls_;
    std::vector<std::vector<float>> audioInputs_;
    std::vector<std::vector<float>> audioOutputs_;
    std::vector<float> unusedPorts_;
    alignas(8) uint8_t controlSequence_[kSequenceBytes];
    alignas(8) uint8_t notifySequence_[kSequenceBytes];
    LV2_Atom_Forge forge_{};
    LV2_Atom_Forge_Frame sequenceFrame_{};
    bool sequenceOpen_ = false;
    LV2_URID chunkType_ = 0;

    // Worker requests, one after the other in storage reserved at the start, so that
    // scheduling inside run() allocates nothing that a real-time probe would count against the
    // plug-in; and the worker's responses.
    static constexpr size_t kRequestBytes = 1 << 20;
    std::vector<uint8_t> requestBytes_;
    std::vector<uint32_t> requestSizes_;
    std::vector<std::vector<uint8_t>> responses_;

    std::vector<LogEntry> log_;
    LV2_Log_Log logFeature_{};
    LV2_Worker_Schedule scheduleFeature_{};
    LV2_Feature mapFeature_{};
    LV2_Feature unmapFeature_{};
    LV2_Feature logFeatureEntry_{};
    LV2_Feature scheduleFeatureEntry_{};
    std::vector<LV2_Feature const*> features_;
};

} // namespace zr::test
