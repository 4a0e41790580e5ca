#include "lv2/plugin_descriptor.h"

#include "lv2/instance.h"

namespace vorblexter::lv2 {

namespace {

Instance* instanceOf(LV2_Handle handle)
{
    return static_cast<Instance*>(handle);
}

LV2_Handle instantiate(const LV2_Descriptor*, double sampleRate, const char*,
                       const LV2_Feature* const* features)
{
    return Instance::create(sampleRate, features);
}

void connectPort(LV2_Handle handle, uint32_t port, void* location)
{
    instanceOf(handle)->connect(port, location);
}

void activate(LV2_Handle handle)
{
    instanceOf(handle)->activate();
}

void run(LV2_Handle handle, uint32_t frames)
{
    instanceOf(handle)->run(frames);
}

void deactivate(LV2_Handle handle)
{
    instanceOf(handle)->deactivate();
}

void cleanup(LV2_Handle handle)
{
    delete instanceOf(handle);
}

const void* extensionData(const char*)
{
    return nullptr;
}

constexpr LV2_Descriptor kDescriptor{
    kPluginUri, instantiate, connectPort, activate, run, deactivate, cleanup, extensionData,
};

} // namespace

const LV2_Descriptor* pluginDescriptor() noexcept
{
    return &kDescriptor;
}

} // namespace vorblexter::lv2
