// lilv's instances run an audited copy of the descriptor: a program linked with
// --wrap=lilv_plugin_instantiate gets this in place of lilv's own.
#include "tests/audit/audio_audit.h"

#include <lilv/lilv.h>

extern "C" LilvInstance* __real_lilv_plugin_instantiate(const LilvPlugin* plugin, double rate,
                                                        const LV2_Feature* const* features);
extern "C" LilvInstance* __wrap_lilv_plugin_instantiate(const LilvPlugin* plugin, double rate,
                                                        const LV2_Feature* const* features)
{
    LilvInstance* instance = __real_lilv_plugin_instantiate(plugin, rate, features);
    if (instance != nullptr) {
        instance->lv2_descriptor = vorblexter::audit::audited(instance->lv2_descriptor);
    }
    return instance;
}
