#include "testing/hostile/ScriptRunner.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <exception>
#include <span>

#include "host/HostRecord.h"
#include "testing/hostile/HostileValues.h"

namespace zr::hostile {
namespace {

constexpr std::size_t kMaxViolations = 20;

std::string hex(std::vector<uint8_t> const& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

bool sameBits(float a, float b) { return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b); }

std::string describeSample(float value) {
    return std::to_string(value) + " (bits " + std::to_string(std::bit_cast<uint32_t>(value)) + ")";
}

} // namespace

bool Observation::operator==(Observation const& other) const {
    if (sent != other.sent || outputs.size() != other.outputs.size())
        return false;
    for (auto const& [pin, samples] : outputs) {
        auto const found = other.outputs.find(pin);
        if (found == other.outputs.end() ||
            !std::equal(samples.begin(), samples.end(), found->second.begin(), found->second.end(), sameBits))
            return false;
    }
    return true;
}

ScriptRunner::ScriptRunner(gmpi::IMpFactory2& factory, host::ModuleDescription const& module,
                           RunSettings const& settings, bool checkStaticOutputs)
    : module_(module), checkStatic_(checkStaticOutputs) {
    host::AudioModuleOptions options;
    options.sampleRate = settings.sampleRate;
    options.countdown = settings.countdown;
    options.description = module;
    options.maxBlockSize = kMaxBlockSize;
    options.hostPolicy = std::make_shared<HostileAudioPolicy>(settings.hostile);
    options.useCreateInstance2 = settings.createWithoutHost;
    try {
        runner_ = std::make_unique<host::AudioModule>(factory, module.id, options);
    } catch (std::exception const& failure) {
        violation(std::string("creation failed: ") + failure.what());
        return;
    }
    connect();
    for (int opening = 0; opening < (settings.openTwice ? 2 : 1); ++opening)
        if (int32_t const result = runner_->open(); result != gmpi::MP_OK)
            violation("open returned " + std::to_string(result));
}

ScriptRunner::~ScriptRunner() = default;

void ScriptRunner::violation(std::string const& what) {
    if (violations_.size() < kMaxViolations)
        violations_.push_back(module_.idText() + ": " + what);
}

void ScriptRunner::connect() {
    inputs_.reserve(module_.pins.size());
    outputs_.reserve(module_.pins.size());
    for (host::PinDescription const& pin : module_.pins) {
        if (!pin.isAudio())
            continue;
        float* buffer = nullptr;
        if (pin.isInput())
            buffer = inputs_.emplace_back(Input{pin.index, GuardedBuffer(kMaxBlockSize)}).buffer.data();
        else
            buffer = outputs_.emplace_back(Output{pin.index, GuardedBuffer(kMaxBlockSize)}).buffer.data();
        if (int32_t const result = runner_->plugin()->setBuffer(pin.index, buffer); result != gmpi::MP_OK)
            violation("setBuffer on audio pin " + std::to_string(pin.index) + " returned " + std::to_string(result));
    }
    auto const unknownPin = static_cast<int32_t>(module_.pins.size()) + 7;
    float spare[4] = {};
    if (int32_t const result = runner_->plugin()->setBuffer(unknownPin, spare); result != gmpi::MP_FAIL)
        violation("setBuffer on unknown pin " + std::to_string(unknownPin) + " returned " + std::to_string(result));
}

void ScriptRunner::runAll(ModuleScript const& script) {
    for (BlockScript const& block : script.blocks)
        run(block);
}

void ScriptRunner::run(BlockScript const& block) {
    if (!runner_)
        return;
    finiteSoFar_ = finiteSoFar_ && block.finite;

    events_.clear();
    events_.keepOrderAsGiven(block.keepOrder);
    for (host::RawEvent const& event : block.events)
        events_.addRaw(event);

    std::vector<std::vector<float>> inputsBefore;
    for (Input& input : inputs_) {
        input.buffer.mark();
        auto const given = block.inputs.find(input.pin);
        for (int32_t i = 0; i < block.count; ++i)
            input.buffer.data()[i] = given != block.inputs.end() ? given->second[static_cast<std::size_t>(i)] : 0.0f;
        inputsBefore.push_back(input.buffer.storage());
    }
    for (Output& output : outputs_)
        output.buffer.mark();

    std::size_t const firstRecord = recordsSeen_;
    int32_t const result = processBlock(block, events_.build());
    if (result != gmpi::MP_OK)
        violation("process returned " + std::to_string(result) + " in block " + std::to_string(blockIndex_));

    checkInputs(inputsBefore);
    checkOutputs(block, firstRecord);
    checkSentValues(block, firstRecord);
    recordsSeen_ = runner_->host().records().size();
    firstSampleOfBlock_ += block.count;
    ++blockIndex_;
}

// A sleeping module is called again only when events arrive.
int32_t ScriptRunner::processBlock(BlockScript const& block, gmpi::MpEvent const* list) {
    host::AudioHost& host = runner_->host();
    if (host.asleep() && list == nullptr)
        return gmpi::MP_OK;
    if (list != nullptr)
        host.wake();
    host.enterBlock(blockIndex_);
    int32_t const result = runner_->plugin()->process(block.count, list);
    host.leaveBlock();
    return result;
}

void ScriptRunner::checkInputs(std::vector<std::vector<float>> const& before) {
    for (std::size_t i = 0; i < inputs_.size(); ++i) {
        std::vector<float> const& now = inputs_[i].buffer.storage();
        if (std::memcmp(now.data(), before[i].data(), now.size() * sizeof(float)) != 0)
            violation("wrote into input buffer of pin " + std::to_string(inputs_[i].pin) + " in block " +
                      std::to_string(blockIndex_));
    }
}

void ScriptRunner::checkOutputs(BlockScript const& block, std::size_t firstRecord) {
    // What an empty block applies takes effect at the next block's first sample.
    std::vector<bool> changePoint(static_cast<std::size_t>(block.count) + 1, false);
    changePoint[0] = changeCarried_;
    for (int32_t time : applicationTimes(block))
        if (time >= 0)
            changePoint[static_cast<std::size_t>(time)] = true;
    std::vector<host::HostRecord> const& records = runner_->host().records();
    std::string const where = " in block " + std::to_string(blockIndex_) + " of " + std::to_string(block.count);

    for (Output& output : outputs_) {
        if (!output.buffer.untouchedOutside(block.count))
            violation("wrote outside the samples of the block on output pin " + std::to_string(output.pin) + where);

        std::vector<std::pair<int32_t, bool>> declarations; // (sample, static)
        for (std::size_t r = firstRecord; r < records.size(); ++r)
            if (records[r].kind == host::HostCallKind::Streaming && records[r].pin == output.pin)
                declarations.emplace_back(records[r].block == host::outsideAnyBlock ? 0 : records[r].timestamp,
                                          !records[r].isStreaming());

        std::vector<float>& seen = observation_.outputs[output.pin];
        std::size_t next = 0;
        bool reportedNonFinite = false, reportedStatic = false;
        for (int32_t i = 0; i < block.count; ++i) {
            bool declaredHere = false;
            for (; next < declarations.size() && declarations[next].first <= i; ++next) {
                output.declaredStatic = declarations[next].second;
                declaredHere = true;
            }
            bool const written = !output.buffer.unwritten(i);
            float const value = written ? output.buffer.data()[i] : output.held;
            if (written && finiteSoFar_ && !std::isfinite(value) && !reportedNonFinite) {
                reportedNonFinite = true;
                violation("non-finite output " + describeSample(value) + " at sample " + std::to_string(i) +
                          " of pin " + std::to_string(output.pin) + where + " while every input was finite");
            }
            bool const mayChange = declaredHere || changePoint[static_cast<std::size_t>(i)] || !output.haveSample;
            if (checkStatic_ && output.declaredStatic && !mayChange && !sameBits(value, output.held) && !reportedStatic) {
                reportedStatic = true;
                violation("output pin " + std::to_string(output.pin) + " declared static changed from " +
                          describeSample(output.held) + " to " + describeSample(value) + " at sample " +
                          std::to_string(i) + where);
            }
            output.held = value;
            output.haveSample = true;
            if (record_)
                seen.push_back(value);
        }
        for (; next < declarations.size(); ++next) {
            output.declaredStatic = declarations[next].second;
            changePoint[0] = true;
        }
    }
    changeCarried_ = block.count == 0 && changePoint[0];
}

void ScriptRunner::checkSentValues(BlockScript const& block, std::size_t firstRecord) {
    std::vector<host::HostRecord> const& records = runner_->host().records();
    int32_t const lastSample = std::max(block.count - 1, 0);
    for (std::size_t r = firstRecord; r < records.size(); ++r) {
        host::HostRecord const& record = records[r];
        if (record.kind == host::HostCallKind::Sleep)
            continue;
        bool const inBlock = record.block != host::outsideAnyBlock;
        std::string const at = inBlock ? std::to_string(firstSampleOfBlock_ + record.timestamp) : "open";
        if (inBlock && (record.timestamp < 0 || record.timestamp > lastSample))
            violation("sent on pin " + std::to_string(record.pin) + " at sample " + std::to_string(record.timestamp) +
                      " of a block of " + std::to_string(block.count));

        host::PinDescription const* pin = nullptr;
        for (host::PinDescription const& described : module_.pins)
            if (described.index == record.pin)
                pin = &described;
        bool const isStreaming = record.kind == host::HostCallKind::Streaming;
        if (pin == nullptr || pin->isInput() || isStreaming != pin->isAudio()) {
            violation(std::string(isStreaming ? "streaming state" : "value") + " sent on pin " +
                      std::to_string(record.pin) + ", which is no such output");
        } else if (!isStreaming && finiteSoFar_ &&
                   (pin->datatype == gmpi::MP_FLOAT32 || pin->datatype == gmpi::MP_BLOB) &&
                   !onlyFiniteWords(record.bytes)) {
            violation("non-finite value sent on pin " + std::to_string(record.pin) + " at sample " + at +
                      " while every input was finite");
        }
        if (record_)
            observation_.sent.push_back(at + " pin " + std::to_string(record.pin) +
                                        (isStreaming ? " streaming " + std::to_string(record.streamingFlag)
                                                     : " size " + std::to_string(record.size) + " " + hex(record.bytes)));
    }
}

void ScriptRunner::release() {
    if (!runner_)
        return;
    runner_->releaseModule();
    if (int32_t const kept = runner_->host().referenceCount(); kept != 0)
        violation("kept " + std::to_string(kept) + " references to the host after its release");
}

ScriptRun runModuleScript(gmpi::IMpFactory2& factory, host::ModuleDescription const& module, ModuleScript const& script,
                          bool checkStaticOutputs, bool observe) {
    ScriptRunner runner(factory, module, script.settings, checkStaticOutputs);
    runner.recordObservation(observe);
    runner.runAll(script);
    runner.release();
    return {runner.observation(), runner.violations()};
}

} // namespace zr::hostile
