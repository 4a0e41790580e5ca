// The URIDs the binding compares atoms against, mapped once when an instance is made so that
// the audio thread never calls the host's map.
#pragma once

#include <lv2/urid/urid.h>

namespace vorblexter::lv2 {

struct Urids {
    LV2_URID atomSequence = 0;
    LV2_URID atomObject = 0;
    LV2_URID atomBlank = 0; // the older name of an object without an identifier
    LV2_URID atomFloat = 0;
    LV2_URID atomDouble = 0;
    LV2_URID atomInt = 0;
    LV2_URID atomLong = 0;
    LV2_URID atomFrameTime = 0;
    LV2_URID atomBeatTime = 0;
    LV2_URID timePosition = 0;
    LV2_URID timeFrame = 0;
    LV2_URID timeSpeed = 0;
    LV2_URID timeBeatsPerMinute = 0;
    LV2_URID timeBeatsPerBar = 0;
};

Urids mapUrids(const LV2_URID_Map& map);

} // namespace vorblexter::lv2
