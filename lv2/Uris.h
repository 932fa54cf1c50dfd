#pragma once
// The URIDs a plug-in uses, mapped once at instantiation.

#include <array>
#include <string>

#include <lv2/atom/atom.h>
#include <lv2/log/log.h>
#include <lv2/midi/midi.h>
#include <lv2/patch/patch.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include "lv2/PluginCatalog.h"

namespace zr::lv2 {

inline constexpr size_t kMaxShapes = 2;

struct Uris {
    LV2_URID atomObject = 0, atomBlank = 0, atomPath = 0, atomString = 0, atomUrid = 0;
    LV2_URID atomFloat = 0, atomDouble = 0, atomInt = 0, atomLong = 0;
    LV2_URID midiEvent = 0, patchGet = 0, patchSet = 0, patchProperty = 0, patchValue = 0;
    LV2_URID timePosition = 0, timeBarBeat = 0, timeBeatsPerMinute = 0, timeSpeed = 0;
    LV2_URID logError = 0, logWarning = 0, logTrace = 0;
    std::array<LV2_URID, kMaxShapes> shape{};     // the text parameter of each shape
    std::array<LV2_URID, kMaxShapes> shapeFile{}; // its file parameter

    // [instantiation] Without a map every URID stays 0, which matches no message.
    Uris(LV2_URID_Map* map, PluginDefinition const& plugin) {
        if (!map)
            return;
        auto id = [map](char const* uri) { return map->map(map->handle, uri); };
        atomObject = id(LV2_ATOM__Object);
        atomBlank = id(LV2_ATOM__Blank);
        atomPath = id(LV2_ATOM__Path);
        atomString = id(LV2_ATOM__String);
        atomUrid = id(LV2_ATOM__URID);
        atomFloat = id(LV2_ATOM__Float);
        atomDouble = id(LV2_ATOM__Double);
        atomInt = id(LV2_ATOM__Int);
        atomLong = id(LV2_ATOM__Long);
        midiEvent = id(LV2_MIDI__MidiEvent);
        patchGet = id(LV2_PATCH__Get);
        patchSet = id(LV2_PATCH__Set);
        patchProperty = id(LV2_PATCH__property);
        patchValue = id(LV2_PATCH__value);
        timePosition = id(LV2_TIME__Position);
        timeBarBeat = id(LV2_TIME__barBeat);
        timeBeatsPerMinute = id(LV2_TIME__beatsPerMinute);
        timeSpeed = id(LV2_TIME__speed);
        logError = id(LV2_LOG__Error);
        logWarning = id(LV2_LOG__Warning);
        logTrace = id(LV2_LOG__Trace);
        for (size_t i = 0; i < plugin.shapes.size() && i < kMaxShapes; ++i) {
            std::string const key = std::string(kUriBase) + plugin.shapes[i].key;
            shape[i] = id(key.c_str());
            shapeFile[i] = id((key + "File").c_str());
        }
    }
};

} // namespace zr::lv2
