#pragma once
// What a module sent to its audio host, one entry per call, in call order.

#include <cstdint>
#include <vector>

namespace zr::host {

enum class HostCallKind { PinSet, Streaming, Sleep };

// Block number of calls made outside process (setHost, open).
inline constexpr int64_t outsideAnyBlock = -1;

struct HostRecord {
    HostCallKind kind = HostCallKind::PinSet;
    int64_t block = outsideAnyBlock;  // index of the runner's block in which the call came
    int32_t timestamp = 0;            // PinSet, Streaming: the module's sample offset
    int32_t pin = 0;                  // PinSet, Streaming
    int32_t size = 0;                 // PinSet: the size the module passed, as passed
    std::vector<uint8_t> bytes;       // PinSet: the bytes, copied at the call
    int32_t streamingFlag = 0;        // Streaming: the flag as passed

    bool isStreaming() const { return streamingFlag != 0; }
};

} // namespace zr::host
