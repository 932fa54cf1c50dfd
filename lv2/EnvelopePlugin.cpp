#include "lv2/EnvelopePlugin.h"

#include <algorithm>

#include <lv2/atom/util.h>

#include "lv2/ModulePins.h"
#include "lv2/NoteMessage.h"

namespace zr::lv2 {
namespace {

using namespace pins::envelope;

std::optional<double> numberIn(LV2_Atom const* atom, Uris const& uris) {
    if (!atom)
        return std::nullopt;
    if (atom->type == uris.atomFloat)
        return reinterpret_cast<LV2_Atom_Float const*>(atom)->body;
    if (atom->type == uris.atomDouble)
        return reinterpret_cast<LV2_Atom_Double const*>(atom)->body;
    if (atom->type == uris.atomInt)
        return reinterpret_cast<LV2_Atom_Int const*>(atom)->body;
    if (atom->type == uris.atomLong)
        return static_cast<double>(reinterpret_cast<LV2_Atom_Long const*>(atom)->body);
    return std::nullopt;
}

} // namespace

EnvelopePlugin::EnvelopePlugin(size_t pluginIndex, double sampleRate, LV2_Feature const* const* features)
    : ShapePlugin(pluginIndex, sampleRate, features),
      module_(L"ZR_ShapeEnv3", static_cast<float>(sampleRate), {{kInput, false}, {kOut, true}}),
      clock_(sampleRate) {}

void EnvelopePlugin::sendControl(uint32_t index, float value) {
    switch (index) {
    case catalog::kEnvelopeInterpolation:
        module_.setInt(kInterpolation, static_cast<int32_t>(value));
        break;
    case catalog::kEnvelopeDuration:
    case catalog::kEnvelopeDurationUnit:
    case catalog::kEnvelopeDurationBeats:
        sendDuration();
        break;
    case catalog::kEnvelopeSustainNode:
        module_.setInt(kSustainNode, static_cast<int32_t>(value));
        break;
    case catalog::kEnvelopeClip:
        module_.setBool(kClip, value >= 0.5f);
        break;
    case catalog::kEnvelopeGate:
        updateGate(false);
        break;
    default:
        break;
    }
}

// In beats the duration follows the host's tempo: beats x 60000 / tempo ms.
void EnvelopePlugin::sendDuration() {
    bool const inBeats = control(catalog::kEnvelopeDurationUnit) >= 0.5f;
    double const milliseconds = inBeats ? control(catalog::kEnvelopeDurationBeats) * 60000.0 / clock_.tempo()
                                        : control(catalog::kEnvelopeDuration);
    module_.setFloat(kDuration, static_cast<float>(milliseconds));
}

void EnvelopePlugin::sendShape(size_t, zr::Shape const& shape) {
    module_.setBytes(kShape, shape.blobData(), static_cast<size_t>(shape.blobSize()));
}

// Opening restarts the contour; `restart` restarts it while the gate is open already.
void EnvelopePlugin::updateGate(bool restart) {
    bool const open = gateHeld();
    if (open == gateSent_ && !(open && restart))
        return;
    gateSent_ = open;
    module_.setBool(kGate, open);
}

void EnvelopePlugin::onMidi(uint8_t const* message, uint32_t size) {
    switch (readNoteMessage(message, size).kind) {
    case NoteMessage::Kind::NoteOn:
        ++heldNotes_;
        updateGate(true);
        break;
    case NoteMessage::Kind::NoteOff:
        heldNotes_ = std::max(heldNotes_ - 1, 0);
        updateGate(false);
        break;
    case NoteMessage::Kind::AllOff:
        heldNotes_ = 0;
        updateGate(false);
        break;
    case NoteMessage::Kind::Other:
        break;
    }
}

void EnvelopePlugin::onPosition(LV2_Atom_Object const* position) {
    LV2_Atom const* barBeat = nullptr;
    LV2_Atom const* tempo = nullptr;
    LV2_Atom const* speed = nullptr;
    lv2_atom_object_get(position, uris().timeBarBeat, &barBeat, uris().timeBeatsPerMinute, &tempo, uris().timeSpeed, &speed, 0);
    double const tempoBefore = clock_.tempo();
    clock_.update(numberIn(barBeat, uris()), numberIn(tempo, uris()), numberIn(speed, uris()));
    if (clock_.tempo() != tempoBefore && control(catalog::kEnvelopeDurationUnit) >= 0.5f)
        sendDuration();
}

void EnvelopePlugin::renderPiece(uint32_t offset, uint32_t frames) {
    float* input = module_.buffer(kInput);
    if (float const* host = audioInput(0))
        std::copy_n(host + offset, frames, input);
    else
        std::fill_n(input, frames, 0.0f);
    module_.process(static_cast<int32_t>(frames));
    if (float* host = audioOutput(0))
        std::copy_n(module_.buffer(kOut), frames, host + offset);
    clock_.advance(frames);
}

// A beat opens the gate for one sample, which restarts the contour; a held gate stays open.
void EnvelopePlugin::render(uint32_t offset, uint32_t frames) {
    bool const retrigger = control(catalog::kEnvelopeBeatRetrigger) >= 0.5f;
    while (frames > 0) {
        std::optional<uint32_t> const beat = retrigger ? clock_.nextBeatWithin(frames) : std::nullopt;
        if (!beat) {
            renderPiece(offset, frames);
            return;
        }
        renderPiece(offset, *beat);
        offset += *beat;
        frames -= *beat;
        module_.setBool(kGate, true);
        renderPiece(offset, 1);
        offset += 1;
        frames -= 1;
        gateSent_ = true;
        updateGate(false);
    }
}

} // namespace zr::lv2
