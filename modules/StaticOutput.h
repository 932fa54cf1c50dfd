#pragma once
// Keeping a static audio output's level current while the module sleeps.

#include "sdk/MpAudioPins.h"

// [audio thread] For an output that is static: announces it static again. A sleeping module
// would otherwise keep showing the level from before its curve or range changed; the
// announcement restarts the host's sleep countdown, so the new level reaches the output first.
// A streaming output is left alone: it shows the change at its next block anyway.
inline void reannounceIfStatic(AudioOutPin& output) {
    if (!output.isStreaming())
        output.setStreaming(false);
}
