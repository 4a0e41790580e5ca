// The bundle library's single export, as LV2 hosts look it up: index 0 is the one plug-in.
#include "lv2/plugin_descriptor.h"

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
    return index == 0 ? vorblexter::lv2::pluginDescriptor() : nullptr;
}
