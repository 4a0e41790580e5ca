#include "lv2/urids.h"

#include <lv2/atom/atom.h>
#include <lv2/time/time.h>

namespace vorblexter::lv2 {

Urids mapUrids(const LV2_URID_Map& map)
{
    const auto id = [&map](const char* uri) { return map.map(map.handle, uri); };
    Urids urids;
    urids.atomSequence = id(LV2_ATOM__Sequence);
    urids.atomObject = id(LV2_ATOM__Object);
    urids.atomBlank = id(LV2_ATOM__Blank);
    urids.atomFloat = id(LV2_ATOM__Float);
    urids.atomDouble = id(LV2_ATOM__Double);
    urids.atomInt = id(LV2_ATOM__Int);
    urids.atomLong = id(LV2_ATOM__Long);
    urids.atomFrameTime = id(LV2_ATOM__frameTime);
    urids.atomBeatTime = id(LV2_ATOM__beatTime);
    urids.timePosition = id(LV2_TIME__Position);
    urids.timeFrame = id(LV2_TIME__frame);
    urids.timeSpeed = id(LV2_TIME__speed);
    urids.timeBeatsPerMinute = id(LV2_TIME__beatsPerMinute);
    urids.timeBeatsPerBar = id(LV2_TIME__beatsPerBar);
    return urids;
}

} // namespace vorblexter::lv2
