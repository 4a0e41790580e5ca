#include "host/plugin_entry.h"

#include "host/slicer_effect.h"
#include "platform/debug_output.h"

// Called by the host once per effect instance it wants; each call builds an independent effect.
// Answers null when the host reports no interface version or the effect cannot be built.
extern "C" AEffect* vorblexterPluginMain(audioMasterCallback audioMaster) noexcept
{
    try {
        vorblexter::installPlatformDiagnostics();
        // A null callback could answer nothing, so it is treated like a host of version 0.
        if (audioMaster == nullptr ||
            audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) {
            return nullptr;
        }
        vorblexter::SlicerEffect* effect = vorblexter::SlicerEffect::create(audioMaster);
        return effect != nullptr ? effect->getAeffect() : nullptr;
    } catch (...) {
        return nullptr;
    }
}
