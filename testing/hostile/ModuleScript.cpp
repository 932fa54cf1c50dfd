#include "testing/hostile/ModuleScript.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <cwchar>
#include <numeric>
#include <optional>
#include <string>

#include "host/PinValueEncoding.h"
#include "sdk/Interfaces.h"
#include "testing/hostile/HostileValues.h"

namespace zr::hostile {
namespace {

constexpr std::array<int32_t, 12> kBlockSizes = {0, 1, 2, 3, 7, 16, 17, 64, 511, 512, 2027, 4096};
constexpr uint32_t kShapeMagic = 0x53484150;

using Bytes = std::vector<uint8_t>;

template <typename T>
void append(Bytes& bytes, T const& value) {
    auto const* raw = reinterpret_cast<uint8_t const*>(&value);
    bytes.insert(bytes.end(), raw, raw + sizeof value);
}

Bytes randomBytes(Choices& choices, uint32_t maxCount) {
    Bytes bytes(choices.below(maxCount + 1));
    for (uint8_t& byte : bytes)
        byte = static_cast<uint8_t>(choices.below(256));
    return bytes;
}

// x strictly increasing from exactly 0 to exactly 1, y within -1..+1: what a producer that
// keeps the shape rules sends.
std::vector<float> orderedPositions(Choices& choices, int32_t count) {
    std::vector<float> x(static_cast<std::size_t>(count));
    for (float& position : x)
        position = static_cast<float>(choices.below(1u << 24)) / static_cast<float>(1u << 24);
    std::sort(x.begin(), x.end());
    x.front() = 0.0f;
    x.back() = 1.0f;
    // Ties become the next float up, so a cluster of equal draws turns into the tightest
    // gaps a valid shape can have.
    for (std::size_t i = 1; i + 1 < x.size(); ++i)
        x[i] = std::max(x[i], std::nextafter(x[i - 1], 2.0f));
    if (count > 2 && !(x[x.size() - 2] < 1.0f))
        x = {0.0f, 1.0f}; // the ties ran into the last node
    return x;
}

// The blob image of a shape: mostly valid, sometimes with hostile nodes or a broken header.
Bytes shapeImage(Choices& choices, bool allowNonFinite) {
    static constexpr std::array<int32_t, 13> kCounts = {2, 2, 3, 3, 4, 5, 8, 16, 50, 99, 100, 100, 7};
    int32_t count = choices.pick(kCounts);
    std::vector<float> x, y(static_cast<std::size_t>(count));
    switch (choices.below(4)) {
    case 0:
    case 1:
        x = orderedPositions(choices, count);
        count = static_cast<int32_t>(x.size());
        y.resize(x.size());
        for (float& height : y)
            height = static_cast<float>(static_cast<int32_t>(choices.below(20001)) - 10000) * 1e-4f;
        break;
    case 2: // tiny gaps: subnormal steps after x = 0
        for (int32_t i = 0; i < count; ++i)
            x.push_back(i + 1 == count ? 1.0f : static_cast<float>(i) * FLT_TRUE_MIN * static_cast<float>(1 + choices.below(3)));
        for (float& height : y)
            height = choices.oneIn(2) ? 1.0f : -1.0f;
        break;
    default: // anything at all
        for (int32_t i = 0; i < count; ++i)
            x.push_back(chooseFloat(choices, allowNonFinite));
        for (float& height : y)
            height = chooseFloat(choices, allowNonFinite);
        break;
    }

    Bytes image;
    uint32_t magic = kShapeMagic;
    int32_t countField = count;
    switch (choices.below(10)) {
    case 0: magic ^= 1u << choices.below(32); break;
    case 1: countField = count + (choices.oneIn(2) ? 1 : -1); break;
    default: break;
    }
    append(image, magic);
    append(image, countField);
    for (int32_t i = 0; i < count; ++i) {
        append(image, x[static_cast<std::size_t>(i)]);
        append(image, y[static_cast<std::size_t>(i)]);
    }
    if (choices.oneIn(10))
        image.resize(image.size() - 1 - choices.below(static_cast<uint32_t>(image.size())));
    return image;
}

// One number field of a shape text: usually the number, sometimes what a careless user types.
std::wstring textNumber(Choices& choices, float volts) {
    static constexpr std::array<wchar_t const*, 12> kOdd = {L"nan", L"inf", L"-inf", L"1e39", L"", L" 2",
                                                            L"abc", L"0x1p-3", L"5.0000001", L"-0", L"1e-45", L"+5"};
    if (choices.oneIn(12))
        return choices.pick(kOdd);
    wchar_t buffer[32];
    std::swprintf(buffer, 32, L"%.9g", static_cast<double>(volts));
    return buffer;
}

std::wstring shapeText(Choices& choices) {
    int32_t const count = 2 + static_cast<int32_t>(choices.below(choices.oneIn(8) ? 120 : 8));
    std::vector<float> const x = orderedPositions(choices, count);
    std::wstring text;
    for (std::size_t i = 0; i < x.size(); ++i) {
        float const xVolts = x[i] * 10.0f - 5.0f;
        float const yVolts = static_cast<float>(static_cast<int32_t>(choices.below(10001)) - 5000) * 1e-3f;
        text += L'(' + textNumber(choices, xVolts) + L',' + textNumber(choices, yVolts) + L')';
        if (choices.oneIn(40))
            text += L' ';
    }
    return text;
}

Bytes textValue(Choices& choices, bool allowNonFinite) {
    switch (choices.below(6)) {
    case 0: return host::textBytes(shapeText(choices));
    case 1: return shapeImage(choices, allowNonFinite); // an image carried as characters
    case 2: return {};
    case 3: {
        std::wstring characters(choices.below(40), L'\0');
        for (wchar_t& character : characters)
            character = static_cast<wchar_t>(choices.oneIn(4) ? choices.bits() : choices.below(0x110000));
        Bytes bytes = host::textBytes(characters);
        return allowNonFinite || onlyFiniteWords(bytes) ? bytes : Bytes{};
    }
    case 4: return randomBytes(choices, 11); // often not whole characters
    default: {
        std::wstring text;
        while (text.size() < 2000)
            text += L"(-5,0)(0,5)";
        return host::textBytes(text);
    }
    }
}

} // namespace

std::vector<uint8_t> choosePinValue(Choices& choices, int32_t datatype, bool allowNonFinite) {
    Bytes bytes;
    switch (datatype) {
    case gmpi::MP_INT32:
    case gmpi::MP_ENUM: append(bytes, chooseInt(choices)); return bytes;
    case gmpi::MP_FLOAT32: append(bytes, chooseFloat(choices, allowNonFinite)); return bytes;
    case gmpi::MP_BOOL:
        if (choices.oneIn(3)) {
            append(bytes, chooseInt(choices));
            return bytes;
        }
        return {static_cast<uint8_t>(choices.oneIn(2) ? choices.below(2) : choices.below(256))};
    case gmpi::MP_STRING: return textValue(choices, allowNonFinite);
    case gmpi::MP_BLOB:
        switch (choices.below(4)) {
        case 0:
        case 1: return shapeImage(choices, allowNonFinite);
        case 2: return {};
        default: return randomBytes(choices, 900);
        }
    default: return randomBytes(choices, 12);
    }
}

namespace {

// Whether a value on a pin of this datatype can carry a float into the module.
bool carriesFloats(std::optional<int32_t> datatype) {
    return !datatype || (*datatype != gmpi::MP_INT32 && *datatype != gmpi::MP_ENUM && *datatype != gmpi::MP_BOOL);
}

void putInline(host::RawEvent& event, Bytes const& bytes) {
    std::array<uint8_t, 8> inlineBytes{};
    if (!bytes.empty())
        std::memcpy(inlineBytes.data(), bytes.data(), std::min<std::size_t>(bytes.size(), inlineBytes.size()));
    std::memcpy(&event.parm3, inlineBytes.data(), 4);
    std::memcpy(&event.parm4, inlineBytes.data() + 4, 4);
}

// Honest sizes inline or external, sizes that lie without data behind them, external data
// cut short or longer than the value's width.
void attachValue(Choices& choices, host::RawEvent& event, Bytes bytes) {
    auto const honestSize = static_cast<int32_t>(bytes.size());
    switch (choices.below(8)) {
    case 5: {
        std::array<int32_t, 8> const lies = {-1, INT32_MIN, 9, 100, 4096, INT32_MAX, honestSize + 1, 0};
        putInline(event, bytes);
        event.size = choices.pick(lies);
        return;
    }
    case 6: {
        std::array<int32_t, 4> const shorter = {0, honestSize / 2, std::max(0, honestSize - 1), -1};
        event.size = choices.pick(shorter);
        event.payload = std::move(bytes);
        return;
    }
    case 7: {
        Bytes const tail = randomBytes(choices, 8);
        bytes.insert(bytes.end(), tail.begin(), tail.end());
        event.size = static_cast<int32_t>(bytes.size());
        event.payload = std::move(bytes);
        return;
    }
    default:
        event.size = honestSize;
        if (honestSize <= 8 && choices.oneIn(2))
            putInline(event, bytes);
        else
            event.payload = std::move(bytes);
        return;
    }
}

struct PinLayout {
    std::vector<host::PinDescription> all;
    std::vector<host::PinDescription> controlInputs;
    std::vector<int32_t> audioInputs;

    explicit PinLayout(host::ModuleDescription const& module) : all(module.pins) {
        for (host::PinDescription const& pin : module.pins) {
            if (pin.isInput() && pin.isAudio())
                audioInputs.push_back(pin.index);
            else if (pin.isInput())
                controlInputs.push_back(pin);
        }
    }

    std::optional<int32_t> datatypeOf(int32_t index) const {
        for (host::PinDescription const& pin : all)
            if (pin.index == index)
                return pin.datatype;
        return std::nullopt;
    }

    int32_t unknownPin(Choices& choices) const {
        auto const count = static_cast<int32_t>(all.size());
        std::array<int32_t, 6> const unknown = {-1, count, count + 1, 1000, INT32_MAX, INT32_MIN};
        return choices.pick(unknown);
    }
};

int32_t chooseTime(Choices& choices, int32_t count, int32_t previous, bool wellFormed) {
    if (count == 0)
        return wellFormed ? 0 : (choices.oneIn(2) ? 0 : static_cast<int32_t>(choices.below(3)) - 1);
    switch (choices.below(wellFormed ? 3 : 5)) {
    case 0: return count - 1;
    case 1: return previous;
    case 2: return static_cast<int32_t>(choices.below(static_cast<uint32_t>(count)));
    case 3: {
        std::array<int32_t, 6> const outside = {count, count + 1, -1, INT32_MIN, INT32_MAX, count * 2};
        return choices.pick(outside);
    }
    default: return static_cast<int32_t>(choices.below(static_cast<uint32_t>(count) + 1));
    }
}

host::RawEvent chooseEvent(Choices& choices, PinLayout const& pins, int32_t time, bool allowNonFinite, bool& finite) {
    host::RawEvent event;
    event.timeDelta = time;
    uint32_t const kind = choices.below(20);
    if (kind >= 12 && kind <= 14 && !pins.audioInputs.empty() && !choices.oneIn(8)) {
        event.eventType = choices.oneIn(2) ? gmpi::EVENT_PIN_STREAMING_START : gmpi::EVENT_PIN_STREAMING_STOP;
        event.pin = choices.pick(pins.audioInputs);
        return event;
    }
    if (kind == 15) {
        event.eventType = gmpi::EVENT_GRAPH_START;
        return event;
    }
    std::array<int32_t, 9> const types = {gmpi::EVENT_PIN_STREAMING_START, gmpi::EVENT_PIN_STREAMING_STOP,
                                          gmpi::EVENT_MIDI, 0, 99, 105, -1, 1000, INT32_MIN};
    event.eventType = kind < 12 ? gmpi::EVENT_PIN_SET : choices.pick(types);

    uint32_t const target = choices.below(8);
    if (target < 6 && !pins.controlInputs.empty())
        event.pin = choices.pick(pins.controlInputs).index;
    else if (target < 7 && !pins.all.empty())
        event.pin = choices.pick(pins.all).index;
    else
        event.pin = pins.unknownPin(choices);

    std::optional<int32_t> const datatype = pins.datatypeOf(event.pin);
    attachValue(choices, event, choosePinValue(choices, datatype.value_or(-1), allowNonFinite));
    // Judged by what the module is handed, which may carry bytes appended to the value.
    if (carriesFloats(datatype))
        finite = finite && holdsOnlyFiniteNumbers(deliveredBytes(event));
    return event;
}

// An input signal: noise, a ramp, a constant, noise sprinkled with hostile samples, or loud.
class Signal {
public:
    Signal(Choices& choices, bool allowNonFinite)
        : kind_(choices.below(5)), seed_(choices.bits()), constant_(chooseFloat(choices, allowNonFinite)),
          allowNonFinite_(allowNonFinite) {}

    float at(int32_t i) const {
        uint32_t const h = hash(static_cast<uint32_t>(i));
        float const unit = static_cast<float>(h >> 8) / static_cast<float>(1u << 24); // 0..1
        switch (kind_) {
        case 0: return unit * 3.0f - 1.5f;
        case 1: return static_cast<float>(i % 200) / 100.0f - 1.0f;
        case 2: return constant_;
        case 3:
            if ((h & 15u) == 0) {
                auto const hostile = allowNonFinite_ && (h & 16u) ? nonFiniteFloats() : finiteHostileFloats();
                return hostile[(h >> 5) % hostile.size()];
            }
            return unit * 2.0f - 1.0f;
        default: return (unit * 2.0f - 1.0f) * 1e6f;
        }
    }

private:
    uint32_t hash(uint32_t i) const {
        uint32_t x = i * 0x9E3779B1u ^ seed_;
        x ^= x >> 16;
        x *= 0x7FEB352Du;
        x ^= x >> 15;
        x *= 0x846CA68Bu;
        return x ^ (x >> 16);
    }

    uint32_t kind_;
    uint32_t seed_;
    float constant_;
    bool allowNonFinite_;
};

// What the host has told each audio input so far, and the value it holds while not streaming.
struct InputState {
    bool streaming = false;
    float held = 0.0f;
};

void fillInputs(Choices& choices, BlockScript& block, std::map<int32_t, InputState>& inputs, ScriptStyle const& style) {
    std::vector<int32_t> const times = applicationTimes(block);
    std::vector<std::size_t> order(block.events.size());
    std::iota(order.begin(), order.end(), 0);
    if (!block.keepOrder)
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return block.events[a].timeDelta < block.events[b].timeDelta; });

    for (auto& input : inputs) {
        int32_t const pin = input.first;
        InputState& state = input.second;
        Signal const signal(choices, style.allowNonFinite);
        std::vector<float>& samples = block.inputs[pin];
        samples.resize(static_cast<std::size_t>(block.count));
        std::size_t next = 0;
        // Applies the stream events up to sample i (an empty block applies those at 0 too).
        auto applyEventsUpTo = [&](int32_t i) {
            for (; next < order.size() && times[order[next]] <= i; ++next) {
                host::RawEvent const& event = block.events[order[next]];
                if (times[order[next]] < 0 || event.pin != pin)
                    continue;
                if (event.eventType == gmpi::EVENT_PIN_STREAMING_START)
                    state.streaming = true;
                else if (event.eventType == gmpi::EVENT_PIN_STREAMING_STOP && state.streaming) {
                    state.streaming = false;
                    state.held = signal.at(i); // the final value, held from here on
                }
            }
        };
        for (int32_t i = 0; i < block.count; ++i) {
            applyEventsUpTo(i);
            bool const holds = style.wellFormed && !state.streaming;
            samples[static_cast<std::size_t>(i)] = holds ? state.held : signal.at(i);
        }
        applyEventsUpTo(block.count);
        for (float sample : samples)
            block.finite = block.finite && std::isfinite(sample);
    }
}

void addDefaults(BlockScript& block, host::ModuleDescription const& module) {
    host::RawEvent graphStart;
    graphStart.eventType = gmpi::EVENT_GRAPH_START;
    block.events.push_back(graphStart);
    for (host::PinDescription const& pin : module.pins) {
        if (!pin.isInput() || !pin.defaultValue)
            continue;
        Bytes bytes = host::encodePinValue(pin.datatype, *pin.defaultValue);
        host::RawEvent event;
        event.pin = pin.index;
        event.size = static_cast<int32_t>(bytes.size());
        if (bytes.size() <= 8)
            putInline(event, bytes);
        else
            event.payload = std::move(bytes);
        block.events.push_back(std::move(event));
    }
}

RunSettings chooseSettings(Choices& choices, ScriptStyle const& style) {
    RunSettings settings;
    std::array<int32_t, 4> const countdowns = {0, 1, 64, 4096};
    settings.countdown = choices.pick(countdowns);
    settings.createWithoutHost = choices.oneIn(4);
    if (!style.hostileHost)
        return settings;
    std::array<float, 11> const rates = {8000.0f, 44100.0f, 48000.0f, 96000.0f, 192000.0f, 0.0f,
                                         -1.0f,   1.0f,     1e-30f,   FLT_MAX,   FLT_TRUE_MIN};
    settings.sampleRate = choices.oneIn(4) ? chooseFloat(choices, style.allowNonFinite) : choices.pick(rates);
    std::array<int32_t, 5> const oddCountdowns = {-1, INT32_MAX, INT32_MIN, 2, 100000};
    if (choices.oneIn(3))
        settings.countdown = choices.pick(oddCountdowns);
    settings.hostile.refuseHost = choices.oneIn(8);
    settings.hostile.refuseProcessorHost = choices.oneIn(8);
    settings.hostile.leaveCountdownUnwritten = choices.oneIn(8);
    settings.hostile.leaveSampleRateUnwritten = choices.oneIn(8);
    settings.hostile.leaveIteratorUnwritten = choices.oneIn(8);
    settings.hostile.nullIterator = choices.oneIn(8);
    settings.openTwice = choices.oneIn(4);
    return settings;
}

} // namespace

std::vector<uint8_t> deliveredBytes(host::RawEvent const& event) {
    if (!event.payload.empty())
        return event.payload;
    std::vector<uint8_t> inlineBytes(8);
    std::memcpy(inlineBytes.data(), &event.parm3, 4);
    std::memcpy(inlineBytes.data() + 4, &event.parm4, 4);
    return inlineBytes;
}

std::vector<host::ModuleDescription> audioSideModules(host::ModuleDescriptions const& descriptions) {
    std::vector<host::ModuleDescription> audioSide;
    for (host::ModuleDescription const& module : descriptions.all())
        if (module.subType == 0)
            audioSide.push_back(module);
    return audioSide;
}

std::vector<int32_t> applicationTimes(BlockScript const& block) {
    std::vector<std::size_t> order(block.events.size());
    std::iota(order.begin(), order.end(), 0);
    if (!block.keepOrder)
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return block.events[a].timeDelta < block.events[b].timeDelta; });
    std::vector<int32_t> times(block.events.size(), -1);
    int64_t position = 0;
    int64_t remaining = std::max(block.count, 0);
    for (std::size_t index : order) {
        int64_t const delta = static_cast<int64_t>(block.events[index].timeDelta) - position;
        if (delta > 0) {
            int64_t const segment = std::min(delta, remaining);
            remaining -= segment;
            if (remaining == 0)
                break;
            position += segment;
        }
        times[index] = static_cast<int32_t>(position);
    }
    return times;
}

ModuleScript chooseScript(Choices& choices, host::ModuleDescription const& module, ScriptStyle const& style) {
    ModuleScript script;
    script.settings = chooseSettings(choices, style);
    PinLayout const pins(module);
    std::map<int32_t, InputState> inputs;
    for (int32_t pin : pins.audioInputs)
        inputs[pin].held = chooseFloat(choices, style.allowNonFinite);

    for (int32_t b = 0; b < style.maxBlocks && (b == 0 || !choices.exhausted()); ++b) {
        BlockScript& block = script.blocks.emplace_back();
        if (style.blockSize >= 0)
            block.count = style.blockSize;
        else if (!choices.oneIn(4))
            block.count = static_cast<int32_t>(choices.below(choices.oneIn(2) ? 65 : 257)); // quick, many events each
        else
            block.count = choices.pick(kBlockSizes); // the edges, up to the largest block
        block.keepOrder = !style.wellFormed && choices.oneIn(3);
        if (b == 0 && (style.wellFormed || !choices.oneIn(4)))
            addDefaults(block, module);

        int32_t time = 0;
        uint32_t const eventCount = choices.below(static_cast<uint32_t>(style.maxEventsPerBlock) + 1);
        for (uint32_t e = 0; e < eventCount; ++e) {
            time = chooseTime(choices, block.count, time, style.wellFormed);
            block.events.push_back(chooseEvent(choices, pins, time, style.allowNonFinite, block.finite));
        }
        fillInputs(choices, block, inputs, style);
    }
    if (!std::isfinite(script.settings.sampleRate))
        for (BlockScript& block : script.blocks)
            block.finite = false;
    return script;
}

ModuleScript splitBlocks(ModuleScript const& script, Choices& cuts) {
    ModuleScript split;
    split.settings = script.settings;
    for (BlockScript const& block : script.blocks) {
        if (block.count < 2) {
            split.blocks.push_back(block);
            continue;
        }
        int32_t const cut = 1 + static_cast<int32_t>(cuts.below(static_cast<uint32_t>(block.count - 1)));
        BlockScript first, second;
        first.count = cut;
        second.count = block.count - cut;
        first.finite = second.finite = block.finite;
        for (host::RawEvent const& event : block.events) {
            if (event.timeDelta < cut) {
                first.events.push_back(event);
            } else {
                second.events.push_back(event);
                second.events.back().timeDelta -= cut;
            }
        }
        for (auto const& [pin, samples] : block.inputs) {
            first.inputs[pin].assign(samples.begin(), samples.begin() + cut);
            second.inputs[pin].assign(samples.begin() + cut, samples.end());
        }
        split.blocks.push_back(std::move(first));
        split.blocks.push_back(std::move(second));
    }
    return split;
}

} // namespace zr::hostile
