#include "host/realtime/LivePatch.h"

#include <algorithm>
#include <stdexcept>

namespace zr::host {
namespace {

constexpr float kVoltsToLevel = 0.1f; // a sample of 1.0 is 10 V, as AudioSource fills
constexpr int kMidiValues = 128;

} // namespace

LivePatch::LivePatch(LoadedPatch loaded, RealtimeCapacity const& capacity) : loaded_(std::move(loaded)) {
    Patch& patch = *loaded_.patch;
    if (loaded_.blockSize > patch.maxBlockSize())
        throw std::invalid_argument("the patch's block size exceeds what its modules were made for");
    for (SourcedInput const& sourced : loaded_.inputs) {
        Input input;
        input.buffer = patch.input(sourced.pin.module, sourced.pin.pin);
        input.source = &sourced.source;
        Patch::PinHandle const handle = patch.handle(sourced.pin.module, sourced.pin.pin);
        input.member = handle.member;
        input.pin = handle.pin;
        if (sourced.source.kind == AudioSource::Kind::External) {
            input.external = static_cast<int>(externalNames_.size());
            externalNames_.push_back(sourced.source.externalName);
        }
        inputs_.push_back(input);
    }
    for (TimedChange const& change : loaded_.changes)
        changeTargets_.push_back(targetOf(change.pin));
    for (PinAddress const& output : loaded_.outputs)
        outputSamples_.push_back(patch.output(output.module, output.pin));
    controllerTargets_.resize(kMidiValues);
    controllers_.resize(kMidiValues, nullptr);
    if (loaded_.midi) {
        if (loaded_.midi->notes) {
            gate_ = targetOf(loaded_.midi->notes->gate);
            if (loaded_.midi->notes->pitch)
                pitch_ = targetOf(*loaded_.midi->notes->pitch);
        }
        for (MidiControllerMapping const& controller : loaded_.midi->controllers) {
            controllerTargets_[static_cast<size_t>(controller.controller)] = targetOf(controller.pin);
            controllers_[static_cast<size_t>(controller.controller)] = &controller;
        }
    }
    patch.reserveRealtime(capacity);
}

LivePatch::Target LivePatch::targetOf(PinAddress const& pin) const {
    Target target{loaded_.patch->handle(pin.module, pin.pin), -1};
    for (size_t i = 0; i < inputs_.size(); ++i)
        if (inputs_[i].member == target.handle.member && inputs_[i].pin == target.handle.pin)
            target.input = static_cast<int>(i);
    return target;
}

Patch::PinHandle LivePatch::handle(std::string const& module, std::string const& pin) const {
    return loaded_.patch->handle(module, pin);
}

void LivePatch::setPin(Patch::PinHandle pin, std::span<uint8_t const> bytes) { loaded_.patch->setBytes(pin, 0, bytes); }

void LivePatch::fillInputs(Period const& period, int32_t done, int32_t count) {
    for (Input const& input : inputs_) {
        if (input.heldVolts)
            std::fill_n(input.buffer, count, *input.heldVolts * kVoltsToLevel);
        else if (input.external >= 0)
            std::copy_n(period.externalInputs[static_cast<size_t>(input.external)] + done, count, input.buffer);
        else
            input.source->fill(input.buffer, position_, count, loaded_.sampleRate);
    }
}

// A level on an audio input holds from its sample on, and a stop of streaming there tells
// the module that it changed, as an offline render does.
void LivePatch::apply(Target const& target, PinValue const& value, int32_t time, int32_t count) {
    if (!value.isAudioLevel) {
        loaded_.patch->setBytes(target.handle, time, value.bytes);
        return;
    }
    if (target.input >= 0) {
        Input& input = inputs_[static_cast<size_t>(target.input)];
        input.heldVolts = value.volts;
        std::fill(input.buffer + time, input.buffer + count, value.volts * kVoltsToLevel);
    }
    loaded_.patch->module(target.handle).stopStream(target.handle.pin, time);
}

void LivePatch::applyNote(int32_t time, int32_t count) {
    MidiNoteMapping const& notes = *loaded_.midi->notes;
    std::optional<uint8_t> const sounding = held_.sounding();
    if (sounding) {
        if (pitch_ && notes.pitchOfNote[*sounding])
            apply(*pitch_, *notes.pitchOfNote[*sounding], time, count);
        if (!gateOpen_)
            apply(*gate_, notes.gateOn, time, count);
        gateOpen_ = true;
    } else if (gateOpen_) {
        apply(*gate_, notes.gateOff, time, count);
        gateOpen_ = false;
    }
}

void LivePatch::applyMidi(MidiMessage const& message, int32_t time, int32_t count) {
    if (message.size < 3)
        return;
    uint8_t const kind = message.bytes[0] & 0xF0;
    uint8_t const first = message.bytes[1] & 0x7F;
    uint8_t const second = message.bytes[2] & 0x7F;
    bool const noteOn = kind == 0x90 && second > 0;
    bool const noteOff = kind == 0x80 || (kind == 0x90 && second == 0);
    if ((noteOn || noteOff) && gate_) {
        if (noteOn)
            held_.press(first);
        else
            held_.release(first);
        applyNote(time, count);
    } else if (kind == 0xB0 && controllers_[first]) {
        apply(*controllerTargets_[first], controllers_[first]->valueOf[second], time, count);
    }
}

void LivePatch::process(Period const& period) {
    size_t nextMidi = 0;
    for (int32_t done = 0; done < period.frames;) {
        int32_t const count = std::min(loaded_.blockSize, period.frames - done);
        fillInputs(period, done, count);
        for (; nextChange_ < loaded_.changes.size() && loaded_.changes[nextChange_].sample < position_ + count; ++nextChange_) {
            int64_t const offset = std::max<int64_t>(loaded_.changes[nextChange_].sample - position_, 0);
            apply(changeTargets_[nextChange_], loaded_.changes[nextChange_].value, static_cast<int32_t>(offset), count);
        }
        for (; nextMidi < period.midi.size() && period.midi[nextMidi].frame < done + count; ++nextMidi)
            applyMidi(period.midi[nextMidi], std::max(period.midi[nextMidi].frame - done, 0), count);
        loaded_.patch->process(count);
        for (size_t i = 0; i < outputSamples_.size(); ++i)
            std::copy_n(outputSamples_[i], count, period.outputs[i] + done);
        position_ += count;
        done += count;
    }
}

} // namespace zr::host
