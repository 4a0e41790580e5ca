#include "clap/callbacks.h"

#include "clap/factory.h"
#include "clap/instance.h"
#include "clap/parameters.h"

#include <clap/ext/audio-ports.h>
#include <clap/ext/params.h>
#include <clap/ext/state.h>

#include <cstring>

namespace vorblexter::clap {

namespace {

// --- the plug-in record ---

bool init(const clap_plugin* plugin)
{
    Instance* instance = Instance::of(plugin);
    return instance != nullptr && instance->init();
}

void destroy(const clap_plugin* plugin)
{
    if (Instance* instance = Instance::of(plugin)) {
        instance->destroy();
    }
}

bool activate(const clap_plugin* plugin, double sampleRate, std::uint32_t, std::uint32_t)
{
    Instance* instance = Instance::of(plugin);
    return instance != nullptr && instance->activate(sampleRate);
}

void deactivate(const clap_plugin* plugin)
{
    if (Instance* instance = Instance::of(plugin)) {
        instance->deactivate();
    }
}

bool startProcessing(const clap_plugin* plugin)
{
    Instance* instance = Instance::of(plugin);
    return instance != nullptr && instance->startProcessing();
}

void stopProcessing(const clap_plugin* plugin)
{
    if (Instance* instance = Instance::of(plugin)) {
        instance->stopProcessing();
    }
}

void reset(const clap_plugin* plugin)
{
    if (Instance* instance = Instance::of(plugin)) {
        instance->reset();
    }
}

clap_process_status process(const clap_plugin* plugin, const clap_process* process)
{
    Instance* instance = Instance::of(plugin);
    return instance != nullptr && process != nullptr ? instance->process(*process)
                                                     : CLAP_PROCESS_ERROR;
}

const void* extension(const clap_plugin* plugin, const char* id);

void onMainThread(const clap_plugin* plugin)
{
    if (Instance* instance = Instance::of(plugin)) {
        instance->onMainThread();
    }
}

// --- audio ports: one stereo input and one stereo output, a pair for in-place processing ---

std::uint32_t audioPortCount(const clap_plugin* plugin, bool)
{
    return Instance::of(plugin) != nullptr ? 1 : 0;
}

bool audioPortInfo(const clap_plugin* plugin, std::uint32_t index, bool isInput,
                   clap_audio_port_info* info)
{
    if (Instance::of(plugin) == nullptr || index != 0 || info == nullptr) {
        return false;
    }
    *info = clap_audio_port_info{};
    info->id = 0;
    std::strcpy(info->name, isInput ? "Input" : "Output");
    info->flags = CLAP_AUDIO_PORT_IS_MAIN;
    info->channel_count = 2;
    info->port_type = CLAP_PORT_STEREO;
    info->in_place_pair = 0;
    return true;
}

const clap_plugin_audio_ports kAudioPorts{audioPortCount, audioPortInfo};

// --- parameters ---

std::uint32_t paramCount(const clap_plugin* plugin)
{
    return Instance::of(plugin) != nullptr ? kParamCount : 0;
}

bool paramInfoAt(const clap_plugin* plugin, std::uint32_t index, clap_param_info* info)
{
    return Instance::of(plugin) != nullptr && info != nullptr && paramInfo(index, *info);
}

bool paramValue(const clap_plugin* plugin, clap_id id, double* value)
{
    const Instance* instance = Instance::of(plugin);
    return instance != nullptr && value != nullptr && instance->paramValue(id, *value);
}

bool paramText(const clap_plugin* plugin, clap_id id, double value, char* display,
               std::uint32_t size)
{
    return Instance::of(plugin) != nullptr && valueToText(id, value, display, size);
}

bool paramFromText(const clap_plugin* plugin, clap_id id, const char* display, double* value)
{
    if (Instance::of(plugin) == nullptr || value == nullptr) {
        return false;
    }
    const std::optional<double> read = textToValue(id, display);
    if (read) {
        *value = *read;
    }
    return read.has_value();
}

void paramFlush(const clap_plugin* plugin, const clap_input_events* in, const clap_output_events*)
{
    if (Instance* instance = Instance::of(plugin)) {
        instance->flush(in);
    }
}

const clap_plugin_params kParams{paramCount, paramInfoAt,   paramValue,
                                 paramText,  paramFromText, paramFlush};

// --- state ---

bool stateSave(const clap_plugin* plugin, const clap_ostream* stream)
{
    const Instance* instance = Instance::of(plugin);
    return instance != nullptr && stream != nullptr && instance->save(*stream);
}

bool stateLoad(const clap_plugin* plugin, const clap_istream* stream)
{
    Instance* instance = Instance::of(plugin);
    return instance != nullptr && stream != nullptr && instance->load(*stream);
}

const clap_plugin_state kState{stateSave, stateLoad};

const void* extension(const clap_plugin*, const char* id)
{
    if (id == nullptr) {
        return nullptr;
    }
    if (std::strcmp(id, CLAP_EXT_AUDIO_PORTS) == 0) {
        return &kAudioPorts;
    }
    if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) {
        return &kParams;
    }
    if (std::strcmp(id, CLAP_EXT_STATE) == 0) {
        return &kState;
    }
    return nullptr;
}

} // namespace

clap_plugin pluginRecord(Instance* instance) noexcept
{
    return clap_plugin{pluginDescriptor(), instance,       init,  destroy, activate,  deactivate,
                       startProcessing,    stopProcessing, reset, process, extension, onMainThread};
}

} // namespace vorblexter::clap
