#pragma once
// A script for one audio-side module: how the host behaves, and block by block the event list
// and the input samples it hands over. Scripts are plain data, so one script can be run
// twice, or with its blocks cut in two, and the runs compared.

#include <cstdint>
#include <map>
#include <vector>

#include "host/EventQueue.h"
#include "host/ModuleDescription.h"
#include "host/ModuleDescriptions.h"
#include "testing/hostile/Choices.h"
#include "testing/hostile/HostilePolicies.h"

namespace zr::hostile {

inline constexpr int32_t kMaxBlockSize = 4096;

struct RunSettings {
    float sampleRate = 48000.0f;
    int32_t countdown = 64;
    HostileSwitches hostile;
    bool createWithoutHost = false; // createInstance2, then setHost
    bool openTwice = false;
};

struct BlockScript {
    int32_t count = 0;
    bool keepOrder = false; // the list goes out as given, possibly out of time order
    std::vector<host::RawEvent> events;
    std::map<int32_t, std::vector<float>> inputs; // per audio input pin: `count` samples
    bool finite = true;                           // every number this block delivers is finite
};

struct ModuleScript {
    RunSettings settings;
    std::vector<BlockScript> blocks;
};

struct ScriptStyle {
    // Event times inside the block, lists in time order, and inputs that hold still while
    // the host says they do not stream. Otherwise times, order and samples may be anything.
    bool wellFormed = true;
    bool allowNonFinite = true; // NaN and infinities among values and samples
    bool hostileHost = false;   // odd sample rates and countdowns, refused interfaces
    int32_t blockSize = -1;     // every block this size; -1: each block picks its own
    int32_t maxBlocks = 8;
    int32_t maxEventsPerBlock = 12;
};

// The bytes an event hands a module: its external data, or the 8 inline bytes.
std::vector<uint8_t> deliveredBytes(host::RawEvent const& event);

// A value for a pin of `datatype` (a gmpi::PinDatatype code; any other number gives a few
// random bytes): hostile numbers, shape images that are mostly valid, shape texts with odd
// number fields, texts of any characters or broken into partial characters, empty values.
std::vector<uint8_t> choosePinValue(Choices& choices, int32_t datatype, bool allowNonFinite);

// Every audio-side module in the descriptions, in their order.
std::vector<host::ModuleDescription> audioSideModules(host::ModuleDescriptions const& descriptions);

// The first block starts the graph and sends every input's default, as a host does when a
// patch starts; then come hostile events: a third on the block's last sample, a third sharing
// the previous event's time, unknown pins and types, wrong sizes, inline and external data.
ModuleScript chooseScript(Choices& choices, host::ModuleDescription const& module, ScriptStyle const& style);

// The same script with every block of two or more samples cut in two at a point `cuts`
// chooses; each event goes to the part its time falls in. Meant for well-formed scripts.
ModuleScript splitBlocks(ModuleScript const& script, Choices& cuts);

// The sample at which the module applies each event of the list as it goes out (sorted by
// time unless the order is kept): never before the previous event, never before 0. An event
// at or after `count` is not applied, except at time 0 of an empty block.
std::vector<int32_t> applicationTimes(BlockScript const& block);

} // namespace zr::hostile
