#include "testing/lv2/LilvHost.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <lv2/atom/util.h>
#include <lv2/midi/midi.h>
#include <lv2/patch/patch.h>
#include <lv2/presets/presets.h>
#include <lv2/time/time.h>

namespace zr::test {

UridTable::UridTable() {
    map_.handle = this;
    map_.map = [](LV2_URID_Map_Handle handle, char const* uri) { return static_cast<UridTable*>(handle)->map(uri); };
    unmap_.handle = this;
    unmap_.unmap = [](LV2_URID_Unmap_Handle handle, LV2_URID urid) { return static_cast<UridTable*>(handle)->unmap(urid); };
}

LV2_URID UridTable::map(char const* uri) {
    if (auto const found = ids_.find(uri); found != ids_.end())
        return found->second;
    uris_.emplace_back(uri);
    return ids_[uri] = static_cast<LV2_URID>(uris_.size());
}

char const* UridTable::unmap(LV2_URID urid) const {
    return urid >= 1 && urid <= uris_.size() ? uris_[urid - 1].c_str() : nullptr;
}

LilvTestWorld::LilvTestWorld(std::string const& lv2Path) : world_(lilv_world_new()) {
    LilvNode* path = lilv_new_string(world_, lv2Path.c_str());
    lilv_world_set_option(world_, LILV_OPTION_LV2_PATH, path);
    lilv_node_free(path);
    lilv_world_load_all(world_);
}

LilvTestWorld::~LilvTestWorld() { lilv_world_free(world_); }

LilvPlugin const* LilvTestWorld::plugin(std::string const& uri) const {
    LilvNode* node = lilv_new_uri(world_, uri.c_str());
    LilvPlugin const* found = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), node);
    lilv_node_free(node);
    if (!found)
        throw std::runtime_error("no plug-in " + uri + " on the LV2 path");
    return found;
}

std::vector<std::string> LilvTestWorld::pluginUris() const {
    std::vector<std::string> uris;
    LilvPlugins const* plugins = lilv_world_get_all_plugins(world_);
    LILV_FOREACH (plugins, i, plugins)
        uris.emplace_back(lilv_node_as_uri(lilv_plugin_get_uri(lilv_plugins_get(plugins, i))));
    return uris;
}

PluginInstance::PluginInstance(LilvTestWorld& world, std::string const& uri, double sampleRate, bool withWorker)
    : world_(world), plugin_(world.plugin(uri)) {
    logFeature_.handle = this;
    logFeature_.printf = logPrintf;
    logFeature_.vprintf = logVprintf;
    scheduleFeature_.handle = this;
    scheduleFeature_.schedule_work = scheduleWork;
    mapFeature_ = {LV2_URID__map, world.urids().mapFeature()};
    unmapFeature_ = {LV2_URID__unmap, world.urids().unmapFeature()};
    logFeatureEntry_ = {LV2_LOG__log, &logFeature_};
    scheduleFeatureEntry_ = {LV2_WORKER__schedule, &scheduleFeature_};
    features_ = {&mapFeature_, &unmapFeature_, &logFeatureEntry_};
    if (withWorker)
        features_.push_back(&scheduleFeatureEntry_);
    features_.push_back(nullptr);
    requestBytes_.reserve(kRequestBytes);
    requestSizes_.reserve(kRequestBytes / 16);
    lv2_atom_forge_init(&forge_, world.urids().mapFeature());
    chunkType_ = urid(LV2_ATOM__Chunk);

    instance_ = lilv_plugin_instantiate(plugin_, sampleRate, features_.data());
    if (!instance_)
        throw std::runtime_error("lilv could not instantiate " + uri);
    worker_ = static_cast<LV2_Worker_Interface const*>(lilv_instance_get_extension_data(instance_, LV2_WORKER__interface));
    connectPorts();
    lilv_instance_activate(instance_);
}

PluginInstance::~PluginInstance() {
    if (instance_) {
        lilv_instance_deactivate(instance_);
        lilv_instance_free(instance_);
    }
}

void PluginInstance::connectPorts() {
    LilvWorld* world = world_.world();
    LilvNode* audio = lilv_new_uri(world, LV2_CORE__AudioPort);
    LilvNode* control = lilv_new_uri(world, LV2_CORE__ControlPort);
    LilvNode* input = lilv_new_uri(world, LV2_CORE__InputPort);
    uint32_t const count = lilv_plugin_get_num_ports(plugin_);
    std::vector<float> defaults(count);
    lilv_plugin_get_port_ranges_float(plugin_, nullptr, nullptr, defaults.data());
    audioInputs_.reserve(count);
    audioOutputs_.reserve(count);
    for (uint32_t index = 0; index < count; ++index) {
        LilvPort const* port = lilv_plugin_get_port_by_index(plugin_, index);
        bool const isInput = lilv_port_is_a(plugin_, port, input);
        if (lilv_port_is_a(plugin_, port, audio)) {
            auto& buffers = isInput ? audioInputs_ : audioOutputs_;
            buffers.emplace_back(kMaxBlock, 0.0f);
            lilv_instance_connect_port(instance_, index, buffers.back().data());
        } else if (lilv_port_is_a(plugin_, port, control)) {
            std::string const symbol = lilv_node_as_string(lilv_port_get_symbol(plugin_, port));
            controls_[symbol] = {index, defaults[index]};
        } else {
            lilv_instance_connect_port(instance_, index, isInput ? static_cast<void*>(controlSequence_) : notifySequence_);
        }
    }
    // The map does not move its values once all are in.
    for (auto& [symbol, port] : controls_)
        lilv_instance_connect_port(instance_, port.index, &port.value);
    lilv_node_free(audio);
    lilv_node_free(control);
    lilv_node_free(input);
}

void PluginInstance::setControl(std::string const& symbol, float value) { controls_.at(symbol).value = value; }
float PluginInstance::control(std::string const& symbol) const { return controls_.at(symbol).value; }

void PluginInstance::beginSequence() {
    if (sequenceOpen_)
        return;
    lv2_atom_forge_set_buffer(&forge_, controlSequence_, kSequenceBytes);
    lv2_atom_forge_sequence_head(&forge_, &sequenceFrame_, 0);
    sequenceOpen_ = true;
}

void PluginInstance::addMessageHeader(uint32_t time) {
    beginSequence();
    lv2_atom_forge_frame_time(&forge_, time);
}

void PluginInstance::patchSetRaw(uint32_t time, std::string const& property, LV2_URID valueType, void const* body,
                                 uint32_t size) {
    addMessageHeader(time);
    LV2_Atom_Forge_Frame frame;
    lv2_atom_forge_object(&forge_, &frame, 0, urid(LV2_PATCH__Set));
    lv2_atom_forge_key(&forge_, urid(LV2_PATCH__property));
    lv2_atom_forge_urid(&forge_, urid(property.c_str()));
    lv2_atom_forge_key(&forge_, urid(LV2_PATCH__value));
    lv2_atom_forge_atom(&forge_, size, valueType);
    lv2_atom_forge_write(&forge_, body, size);
    lv2_atom_forge_pop(&forge_, &frame);
}

void PluginInstance::patchSetString(uint32_t time, std::string const& property, std::string const& text) {
    patchSetRaw(time, property, forge_.String, text.c_str(), static_cast<uint32_t>(text.size() + 1));
}

void PluginInstance::patchSetPath(uint32_t time, std::string const& property, std::string const& path) {
    patchSetRaw(time, property, forge_.Path, path.c_str(), static_cast<uint32_t>(path.size() + 1));
}

void PluginInstance::patchGet(uint32_t time, std::optional<std::string> const& property) {
    addMessageHeader(time);
    LV2_Atom_Forge_Frame frame;
    lv2_atom_forge_object(&forge_, &frame, 0, urid(LV2_PATCH__Get));
    if (property) {
        lv2_atom_forge_key(&forge_, urid(LV2_PATCH__property));
        lv2_atom_forge_urid(&forge_, urid(property->c_str()));
    }
    lv2_atom_forge_pop(&forge_, &frame);
}

void PluginInstance::midi(uint32_t time, std::vector<uint8_t> const& bytes) {
    addMessageHeader(time);
    lv2_atom_forge_atom(&forge_, static_cast<uint32_t>(bytes.size()), urid(LV2_MIDI__MidiEvent));
    lv2_atom_forge_write(&forge_, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

void PluginInstance::position(uint32_t time, double barBeat, double beatsPerMinute, double speed) {
    addMessageHeader(time);
    LV2_Atom_Forge_Frame frame;
    lv2_atom_forge_object(&forge_, &frame, 0, urid(LV2_TIME__Position));
    lv2_atom_forge_key(&forge_, urid(LV2_TIME__barBeat));
    lv2_atom_forge_float(&forge_, static_cast<float>(barBeat));
    lv2_atom_forge_key(&forge_, urid(LV2_TIME__beatsPerMinute));
    lv2_atom_forge_float(&forge_, static_cast<float>(beatsPerMinute));
    lv2_atom_forge_key(&forge_, urid(LV2_TIME__speed));
    lv2_atom_forge_float(&forge_, static_cast<float>(speed));
    lv2_atom_forge_pop(&forge_, &frame);
}

void PluginInstance::runOnly(uint32_t frames) {
    beginSequence();
    sequenceOpen_ = false;
    auto* notify = reinterpret_cast<LV2_Atom_Sequence*>(notifySequence_);
    notify->atom.size = kSequenceBytes - sizeof(LV2_Atom);
    notify->atom.type = chunkType_;
    lilv_instance_run(instance_, frames);
}

void PluginInstance::work() {
    if (!worker_)
        return;
    size_t offset = 0;
    for (uint32_t size : requestSizes_) {
        worker_->work(lilv_instance_get_handle(instance_), respond, this, size, requestBytes_.data() + offset);
        offset += size;
    }
    requestBytes_.clear();
    requestSizes_.clear();
    auto responses = std::move(responses_);
    responses_.clear();
    for (auto const& response : responses)
        worker_->work_response(lilv_instance_get_handle(instance_), static_cast<uint32_t>(response.size()), response.data());
}

void PluginInstance::run(uint32_t frames) {
    runOnly(frames);
    work();
}

std::vector<std::string> PluginInstance::notifiedTexts(std::string const& property) const {
    std::vector<std::string> texts;
    auto* self = const_cast<PluginInstance*>(this);
    LV2_URID const set = self->urid(LV2_PATCH__Set);
    LV2_URID const key = self->urid(property.c_str());
    LV2_URID const propertyKey = self->urid(LV2_PATCH__property);
    LV2_URID const valueKey = self->urid(LV2_PATCH__value);
    auto const* sequence = reinterpret_cast<LV2_Atom_Sequence const*>(notifySequence_);
    LV2_ATOM_SEQUENCE_FOREACH (sequence, event) {
        if (event->body.type != forge_.Object)
            continue;
        auto const* object = reinterpret_cast<LV2_Atom_Object const*>(&event->body);
        LV2_Atom const* named = nullptr;
        LV2_Atom const* value = nullptr;
        lv2_atom_object_get(object, propertyKey, &named, valueKey, &value, 0);
        if (object->body.otype != set || !named || !value || reinterpret_cast<LV2_Atom_URID const*>(named)->body != key)
            continue;
        texts.emplace_back(static_cast<char const*>(LV2_ATOM_BODY_CONST(value)), value->size);
        while (!texts.back().empty() && texts.back().back() == '\0')
            texts.back().pop_back();
    }
    return texts;
}

std::optional<std::string> PluginInstance::shapeText(std::string const& property) {
    patchGet(0, property);
    run(0);
    std::vector<std::string> const texts = notifiedTexts(property);
    if (texts.empty())
        return std::nullopt;
    return texts.back();
}

LV2_Worker_Status PluginInstance::scheduleWork(LV2_Worker_Schedule_Handle handle, uint32_t size, void const* data) {
    auto* self = static_cast<PluginInstance*>(handle);
    if (self->requestBytes_.size() + size > kRequestBytes || self->requestSizes_.size() == self->requestSizes_.capacity())
        return LV2_WORKER_ERR_NO_SPACE;
    auto const* bytes = static_cast<uint8_t const*>(data);
    self->requestBytes_.insert(self->requestBytes_.end(), bytes, bytes + size);
    self->requestSizes_.push_back(size);
    return LV2_WORKER_SUCCESS;
}

LV2_Worker_Status PluginInstance::respond(LV2_Worker_Respond_Handle handle, uint32_t size, void const* data) {
    auto const* bytes = static_cast<uint8_t const*>(data);
    static_cast<PluginInstance*>(handle)->responses_.emplace_back(bytes, bytes + size);
    return LV2_WORKER_SUCCESS;
}

int PluginInstance::logVprintf(LV2_Log_Handle handle, LV2_URID type, char const* format, va_list arguments) {
    auto* self = static_cast<PluginInstance*>(handle);
    char text[2048];
    int const written = std::vsnprintf(text, sizeof text, format, arguments);
    char const* typeUri = self->world_.urids().unmap(type);
    self->log_.push_back({typeUri ? typeUri : "", text});
    return written;
}

int PluginInstance::logPrintf(LV2_Log_Handle handle, LV2_URID type, char const* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    int const written = logVprintf(handle, type, format, arguments);
    va_end(arguments);
    return written;
}

void const* PluginInstance::portValue(char const* symbol, void* user, uint32_t* size, uint32_t* type) {
    auto* self = static_cast<PluginInstance*>(user);
    auto const found = self->controls_.find(symbol);
    if (found == self->controls_.end())
        return nullptr;
    *size = sizeof(float);
    *type = self->forge_.Float;
    return &found->second.value;
}

void PluginInstance::setPortValue(char const* symbol, void* user, void const* value, uint32_t size, uint32_t type) {
    auto* self = static_cast<PluginInstance*>(user);
    auto const found = self->controls_.find(symbol);
    if (found == self->controls_.end())
        return;
    float& port = found->second.value;
    // Presets may store numbers of any of the atom number types, as hosts accept them.
    if (type == self->forge_.Float && size == sizeof(float))
        std::memcpy(&port, value, sizeof(float));
    else if (type == self->forge_.Double && size == sizeof(double))
        port = static_cast<float>(*static_cast<double const*>(value));
    else if (type == self->forge_.Int && size == sizeof(int32_t))
        port = static_cast<float>(*static_cast<int32_t const*>(value));
    else if (type == self->forge_.Long && size == sizeof(int64_t))
        port = static_cast<float>(*static_cast<int64_t const*>(value));
    else if (type == self->forge_.Bool && size == sizeof(int32_t))
        port = *static_cast<int32_t const*>(value) ? 1.0f : 0.0f;
}

std::string PluginInstance::saveState() {
    LilvState* state = lilv_state_new_from_instance(plugin_, instance_, world_.urids().mapFeature(), nullptr, nullptr,
                                                    nullptr, nullptr, portValue, this, 0, features_.data());
    if (!state)
        throw std::runtime_error("lilv saved no state");
    char* text = lilv_state_to_string(world_.world(), world_.urids().mapFeature(), world_.urids().unmapFeature(), state,
                                      "urn:zr-shapes:test:state", nullptr);
    std::string saved = text ? text : "";
    lilv_free(text);
    lilv_state_free(state);
    return saved;
}

void PluginInstance::restoreState(std::string const& text) {
    LilvState* state = lilv_state_new_from_string(world_.world(), world_.urids().mapFeature(), text.c_str());
    if (!state)
        throw std::runtime_error("lilv read no state from the text");
    lilv_state_restore(state, instance_, setPortValue, this, 0, features_.data());
    lilv_state_free(state);
}

void PluginInstance::applyPreset(std::string const& presetUri) {
    LilvNode* preset = lilv_new_uri(world_.world(), presetUri.c_str());
    lilv_world_load_resource(world_.world(), preset);
    LilvState* state = lilv_state_new_from_world(world_.world(), world_.urids().mapFeature(), preset);
    lilv_node_free(preset);
    if (!state)
        throw std::runtime_error("no preset " + presetUri);
    lilv_state_restore(state, instance_, setPortValue, this, 0, features_.data());
    lilv_state_free(state);
}

LV2_State_Status PluginInstance::restoreWith(Retrieve retrieve) {
    auto const* state = static_cast<LV2_State_Interface const*>(lilv_instance_get_extension_data(instance_, LV2_STATE__interface));
    if (!state)
        return LV2_STATE_ERR_NO_FEATURE;
    auto answer = [](LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags) -> void const* {
        *flags = LV2_STATE_IS_POD;
        return (*static_cast<Retrieve*>(handle))(key, size, type);
    };
    return state->restore(lilv_instance_get_handle(instance_), answer, &retrieve, 0, features_.data());
}

} // namespace zr::test
