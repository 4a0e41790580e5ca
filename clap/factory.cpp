#include "clap/factory.h"

#include "clap/instance.h"

#include <clap/plugin-features.h>

#include <cstring>

#ifndef VORBLEXTER_VERSION
#error "VORBLEXTER_VERSION names the release (the build defines it)"
#endif

namespace vorblexter::clap {

namespace {

const char* kFeatures[] = {CLAP_PLUGIN_FEATURE_AUDIO_EFFECT, CLAP_PLUGIN_FEATURE_STEREO,
                           CLAP_PLUGIN_FEATURE_GLITCH, nullptr};

const clap_plugin_descriptor kDescriptor{
    CLAP_VERSION_INIT,
    kPluginId,
    "vorblexter1",
    "vorblexter",
    "",
    "",
    "",
    VORBLEXTER_VERSION,
    "A tempo-synchronised loop slicer: captures one loop at a bar line and plays its slices "
    "back shuffled, repeated, reversed or silenced by chance.",
    kFeatures,
};

std::uint32_t pluginCount(const clap_plugin_factory*)
{
    return 1;
}

const clap_plugin_descriptor* descriptorAt(const clap_plugin_factory*, std::uint32_t index)
{
    return index == 0 ? &kDescriptor : nullptr;
}

const clap_plugin* createPlugin(const clap_plugin_factory*, const clap_host* host,
                                const char* pluginId)
{
    if (pluginId == nullptr || std::strcmp(pluginId, kPluginId) != 0) {
        return nullptr;
    }
    Instance* instance = Instance::create(host);
    return instance != nullptr ? instance->record() : nullptr;
}

const clap_plugin_factory kFactory{pluginCount, descriptorAt, createPlugin};

} // namespace

const clap_plugin_descriptor* pluginDescriptor() noexcept
{
    return &kDescriptor;
}

const clap_plugin_factory* pluginFactory() noexcept
{
    return &kFactory;
}

} // namespace vorblexter::clap
