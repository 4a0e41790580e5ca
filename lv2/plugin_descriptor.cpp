#include "lv2/plugin_descriptor.h"

#include "lv2/instance.h"

#include <cstring>

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

LV2_Worker_Status work(LV2_Handle handle, LV2_Worker_Respond_Function, LV2_Worker_Respond_Handle,
                       uint32_t, const void*)
{
    instanceOf(handle)->work();
    return LV2_WORKER_SUCCESS;
}

// work never responds, but some hosts call this unasked.
LV2_Worker_Status workResponse(LV2_Handle, uint32_t, const void*)
{
    return LV2_WORKER_SUCCESS;
}

constexpr LV2_Worker_Interface kWorkerInterface{work, workResponse, nullptr};

const void* extensionData(const char* uri)
{
    if (uri != nullptr && std::strcmp(uri, LV2_WORKER__interface) == 0) {
        return &kWorkerInterface;
    }
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
