#include "lv2/ShapePlugin.h"

#include <algorithm>
#include <bit>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <lv2/atom/util.h>

#include "lv2/GeneratedControls.h"

namespace zr::lv2 {
namespace {

template <typename Feature>
Feature* findFeature(LV2_Feature const* const* features, char const* uri) {
    for (auto* feature = features; feature && *feature; ++feature)
        if (std::strcmp((*feature)->URI, uri) == 0)
            return static_cast<Feature*>((*feature)->data);
    return nullptr;
}

zr::Shape largestShape() {
    zr::Node nodes[zr::Shape::kMaxNodes];
    for (int32_t i = 0; i < zr::Shape::kMaxNodes; ++i)
        nodes[i] = {static_cast<float>(i) / (zr::Shape::kMaxNodes - 1), 0.0f};
    zr::Shape shape;
    shape.assignNodes(nodes, zr::Shape::kMaxNodes);
    return shape;
}

} // namespace

ShapePlugin::ShapePlugin(size_t pluginIndex, double sampleRate, LV2_Feature const* const* features)
    : definition_(kPlugins[pluginIndex]),
      ranges_(generated::kControlRanges[pluginIndex]),
      sampleRate_(static_cast<float>(sampleRate)),
      map_(findFeature<LV2_URID_Map>(features, LV2_URID__map)),
      log_(findFeature<LV2_Log_Log>(features, LV2_LOG__log)),
      schedule_(findFeature<LV2_Worker_Schedule>(features, LV2_WORKER__schedule)),
      uris_(map_, definition_) {
    if (map_)
        lv2_atom_forge_init(&forge_, map_);
    for (size_t i = 0; i < ranges_.size(); ++i) {
        controls_[i] = ranges_[i].defaultValue;
        writtenBits_[i] = std::bit_cast<uint32_t>(controls_[i]);
    }
    for (size_t slot = 0; slot < definition_.shapes.size(); ++slot) {
        std::string error;
        if (!keepShapeText(definition_.shapes[slot].defaultText, shapes_[slot].kept, error))
            throw std::logic_error("default shape refused: " + error);
    }
}

void ShapePlugin::logMessage(LV2_URID type, char const* format, ...) const {
    char text[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (log_)
        log_->printf(log_->handle, type, "%s: %s\n", definition_.name, text);
    else
        std::fprintf(stderr, "%s: %s\n", definition_.name, text);
}

void ShapePlugin::connectPort(uint32_t port, void* data) {
    size_t const audioCount = definition_.audioInputs.size() + definition_.audioOutputs.size();
    if (port == kControlPort)
        controlPort_ = static_cast<LV2_Atom_Sequence const*>(data);
    else if (port == kNotifyPort)
        notifyPort_ = static_cast<LV2_Atom_Sequence*>(data);
    else if (port - kFirstAudioPort < audioCount)
        audioPorts_[port - kFirstAudioPort] = static_cast<float*>(data);
    else if (size_t const control = port - kFirstAudioPort - audioCount; control < ranges_.size())
        controlPorts_[control] = static_cast<float const*>(data);
}

// The modules first see a shape of the most nodes, so that their shape pins hold storage for
// any later shape and run() never makes them allocate; the kept shape replaces it at once.
void ShapePlugin::activate() {
    startModules();
    zr::Shape const largest = largestShape();
    for (size_t slot = 0; slot < definition_.shapes.size(); ++slot) {
        sendShape(slot, largest);
        sendShape(slot, shapes_[slot].kept.shape);
        shapes_[slot].pending = false;
    }
    for (uint32_t i = 0; i < ranges_.size(); ++i)
        sendControl(i, controls_[i]);
    settleModules();
}

// A value outside its range is clamped, a NaN ignored; only changes reach the modules. A port
// whose bits are those it held at the last run is not checked again.
void ShapePlugin::readControls() {
    for (uint32_t i = 0; i < ranges_.size(); ++i) {
        if (!controlPorts_[i])
            continue;
        auto const written = std::bit_cast<uint32_t>(*controlPorts_[i]);
        if (written == writtenBits_[i])
            continue;
        writtenBits_[i] = written;
        float const accepted = acceptedValue(ranges_[i], *controlPorts_[i], controls_[i]);
        if (accepted == controls_[i])
            continue;
        controls_[i] = accepted;
        sendControl(i, accepted);
    }
}

void ShapePlugin::prepareNotify() {
    notifyOpen_ = false;
    notifying_ = false;
    if (!notifyPort_ || !map_)
        return;
    uint32_t const capacity = notifyPort_->atom.size;
    lv2_atom_forge_set_buffer(&forge_, reinterpret_cast<uint8_t*>(notifyPort_), capacity);
    notifyOpen_ = capacity >= sizeof(LV2_Atom_Sequence) && lv2_atom_forge_sequence_head(&forge_, &notifyFrame_, 0);
    notifying_ = notifyOpen_;
}

void ShapePlugin::notifyShape(size_t slot, int64_t frame) {
    if (!notifying_)
        return;
    KeptShape const& kept = shapes_[slot].kept;
    LV2_Atom_Forge_Frame object;
    if (!lv2_atom_forge_frame_time(&forge_, frame) || !lv2_atom_forge_object(&forge_, &object, 0, uris_.patchSet)) {
        notifying_ = false; // the buffer is full: nothing more fits in this run
        return;
    }
    bool const written = lv2_atom_forge_key(&forge_, uris_.patchProperty) && lv2_atom_forge_urid(&forge_, uris_.shape[slot]) &&
                         lv2_atom_forge_key(&forge_, uris_.patchValue) &&
                         lv2_atom_forge_string(&forge_, kept.text, kept.textLength);
    lv2_atom_forge_pop(&forge_, &object);
    notifying_ = written;
}

void ShapePlugin::applyPendingShapes(int64_t frame) {
    for (size_t slot = 0; slot < definition_.shapes.size(); ++slot) {
        if (!shapes_[slot].pending)
            continue;
        shapes_[slot].pending = false;
        sendShape(slot, shapes_[slot].kept.shape);
        notifyShape(slot, frame);
    }
}

void ShapePlugin::scheduleShape(size_t slot, ShapeSource source, char const* data, size_t length) {
    if (!schedule_)
        return; // without a worker, shapes change only through state and presets
    prepareRequest(request_, static_cast<uint32_t>(slot), source, data, length);
    schedule_->schedule_work(schedule_->handle, static_cast<uint32_t>(request_.wireSize()), &request_);
}

void ShapePlugin::handlePatchSet(LV2_Atom_Object const* message) {
    LV2_Atom const* property = nullptr;
    LV2_Atom const* value = nullptr;
    lv2_atom_object_get(message, uris_.patchProperty, &property, uris_.patchValue, &value, 0);
    if (!property || property->type != uris_.atomUrid || !value)
        return;
    LV2_URID const key = reinterpret_cast<LV2_Atom_URID const*>(property)->body;
    auto const* text = static_cast<char const*>(LV2_ATOM_BODY_CONST(value));
    for (size_t slot = 0; slot < definition_.shapes.size(); ++slot) {
        if (key == uris_.shape[slot] && value->type == uris_.atomString)
            scheduleShape(slot, ShapeSource::Text, text, value->size);
        else if (key == uris_.shapeFile[slot] && (value->type == uris_.atomPath || value->type == uris_.atomString))
            scheduleShape(slot, ShapeSource::File, text, value->size);
    }
}

// Without a property every shape is answered.
void ShapePlugin::handlePatchGet(LV2_Atom_Object const* message, int64_t frame) {
    LV2_Atom const* property = nullptr;
    lv2_atom_object_get(message, uris_.patchProperty, &property, 0);
    LV2_URID const key = property && property->type == uris_.atomUrid ? reinterpret_cast<LV2_Atom_URID const*>(property)->body : 0;
    for (size_t slot = 0; slot < definition_.shapes.size(); ++slot)
        if (!property || key == uris_.shape[slot])
            notifyShape(slot, frame);
}

void ShapePlugin::handleEvent(LV2_Atom_Event const* event) {
    LV2_Atom const& body = event->body;
    if (body.type == uris_.midiEvent) {
        onMidi(static_cast<uint8_t const*>(LV2_ATOM_BODY_CONST(&body)), body.size);
        return;
    }
    if (body.type != uris_.atomObject && body.type != uris_.atomBlank)
        return;
    auto const* object = reinterpret_cast<LV2_Atom_Object const*>(&body);
    if (object->body.otype == uris_.patchSet)
        handlePatchSet(object);
    else if (object->body.otype == uris_.patchGet)
        handlePatchGet(object, event->time.frames);
    else if (object->body.otype == uris_.timePosition)
        onPosition(object);
}

void ShapePlugin::renderSpan(uint32_t from, uint32_t to) {
    while (from < to) {
        uint32_t const frames = std::min<uint32_t>(to - from, ModuleDriver::kMaxFrames);
        render(from, frames);
        from += frames;
    }
}

void ShapePlugin::run(uint32_t frames) {
    prepareNotify();
    readControls();
    beginRun(frames);
    applyPendingShapes(0);
    uint32_t done = 0;
    if (controlPort_ && map_) {
        LV2_ATOM_SEQUENCE_FOREACH (controlPort_, event) {
            // Events out of order or past the block are applied where the block stands.
            auto const at = static_cast<uint32_t>(std::clamp<int64_t>(event->time.frames, done, frames));
            renderSpan(done, at);
            done = at;
            handleEvent(event);
        }
    }
    renderSpan(done, frames);
    if (notifyOpen_)
        lv2_atom_forge_pop(&forge_, &notifyFrame_);
}

LV2_Worker_Status ShapePlugin::work(LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle, uint32_t size,
                                    void const* data) {
    auto response = std::make_unique<ShapeResponse>();
    std::string error;
    if (!readShapeRequest(data, size, *response, error) || response->slot >= definition_.shapes.size()) {
        logMessage(uris_.logError, "%s; the shape stays as it was", error.empty() ? "no such shape" : error.c_str());
        return LV2_WORKER_SUCCESS;
    }
    return respond(handle, static_cast<uint32_t>(response->wireSize()), response.get());
}

LV2_Worker_Status ShapePlugin::workResponse(uint32_t size, void const* data) {
    size_t const header = offsetof(ShapeResponse, kept) + offsetof(KeptShape, text);
    if (size < header || size > sizeof(ShapeResponse))
        return LV2_WORKER_ERR_UNKNOWN;
    uint32_t slot = 0;
    std::memcpy(&slot, data, sizeof slot);
    if (slot >= definition_.shapes.size())
        return LV2_WORKER_ERR_UNKNOWN;
    KeptShape& kept = shapes_[slot].kept;
    std::memcpy(&kept, static_cast<uint8_t const*>(data) + offsetof(ShapeResponse, kept), size - offsetof(ShapeResponse, kept));
    kept.textLength = std::min<uint32_t>(kept.textLength, static_cast<uint32_t>(size - header));
    kept.text[kept.textLength] = '\0';
    shapes_[slot].pending = true;
    return LV2_WORKER_SUCCESS;
}

LV2_State_Status ShapePlugin::save(LV2_State_Store_Function store, LV2_State_Handle handle) {
    if (!map_)
        return LV2_STATE_ERR_NO_FEATURE;
    for (size_t slot = 0; slot < definition_.shapes.size(); ++slot) {
        KeptShape const& kept = shapes_[slot].kept;
        store(handle, uris_.shape[slot], kept.text, kept.textLength + 1, uris_.atomString,
              LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
    }
    return LV2_STATE_SUCCESS;
}

LV2_State_Status ShapePlugin::restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) {
    if (!map_)
        return LV2_STATE_ERR_NO_FEATURE;
    for (size_t slot = 0; slot < definition_.shapes.size(); ++slot) {
        size_t size = 0;
        uint32_t type = 0;
        uint32_t flags = 0;
        void const* value = retrieve(handle, uris_.shape[slot], &size, &type, &flags);
        if (!value)
            continue;
        std::string error = "the state holds no text for it";
        KeptShape restored;
        if (type == uris_.atomString &&
            keepShapeText(std::string_view(static_cast<char const*>(value), strnlen(static_cast<char const*>(value), size)),
                          restored, error)) {
            shapes_[slot].kept = restored;
            shapes_[slot].pending = true;
            continue;
        }
        logMessage(uris_.logError, "%s in the restored state: %s; the shape stays as it was", definition_.shapes[slot].label,
                   error.c_str());
    }
    return LV2_STATE_SUCCESS;
}

} // namespace zr::lv2
