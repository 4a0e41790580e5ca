#include "tests/support/test_host.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace vorblexter::testing {

namespace {

// Written only while hosts and effects come and go, never while a callback runs.
std::vector<std::pair<const AEffect*, TestHost*>> effectHosts;
std::vector<TestHost*> liveHosts;
thread_local TestHost* hostCallingMain = nullptr;

TestHost* hostOf(const AEffect* effect)
{
    for (const auto& [record, host] : effectHosts) {
        if (record == effect && effect != nullptr) {
            return host;
        }
    }
    if (hostCallingMain != nullptr) {
        return hostCallingMain;
    }
    return liveHosts.empty() ? nullptr : liveHosts.back();
}

void copyText(char* destination, std::string_view text)
{
    std::memset(destination, 0, 64);
    std::memcpy(destination, text.data(), std::min<std::size_t>(text.size(), 63));
}

} // namespace

TestHost::TestHost()
{
    liveHosts.push_back(this);
    setTransport(120.0, 44100.0);
}

TestHost::~TestHost()
{
    std::erase(liveHosts, this);
    std::erase_if(effectHosts, [this](const auto& entry) { return entry.second == this; });
}

VstIntPtr TestHost::callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                             void* ptr, float opt)
{
    TestHost* host = hostOf(effect);
    return host != nullptr ? host->answer(effect, opcode, index, value, ptr, opt) : 0;
}

VstIntPtr TestHost::answer(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                           void* ptr, float opt)
{
    if (recordCalls) {
        calls.push_back(HostCall{effect, opcode, index, value, ptr, opt});
    }
    if (duringCall) {
        duringCall(effect, opcode);
    }
    switch (opcode) {
    case audioMasterVersion:
        return versionAnswer;
    case audioMasterGetTime:
        return giveTimeInfo ? reinterpret_cast<VstIntPtr>(&timeInfo) : 0;
    case audioMasterGetVendorString:
    case audioMasterGetProductString:
        if (ptr == nullptr) {
            return 0;
        }
        std::memcpy(ptr, opcode == audioMasterGetVendorString ? vendor : product, sizeof vendor);
        return 1;
    default:
        return 0;
    }
}

AEffect* TestHost::createEffect(PluginEntry entry)
{
    TestHost* const outer = hostCallingMain;
    hostCallingMain = this;
    AEffect* const effect = entry(&TestHost::callback);
    hostCallingMain = outer;
    if (effect != nullptr) {
        forget(effect);
        effectHosts.emplace_back(effect, this);
    }
    return effect;
}

void TestHost::forget(AEffect* effect)
{
    std::erase_if(effectHosts, [effect](const auto& entry) { return entry.first == effect; });
}

void TestHost::setTransport(double tempo, double sampleRate, VstInt32 numerator,
                            VstInt32 denominator)
{
    timeInfo.tempo = tempo;
    timeInfo.sampleRate = sampleRate;
    timeInfo.timeSigNumerator = numerator;
    timeInfo.timeSigDenominator = denominator;
    timeInfo.flags = kVstTransportPlaying | kVstTempoValid | kVstTimeSigValid | kVstPpqPosValid;
}

void TestHost::setPlaying(bool playing)
{
    timeInfo.flags = playing ? (timeInfo.flags | kVstTransportPlaying)
                             : (timeInfo.flags & ~kVstTransportPlaying);
}

void TestHost::setVendor(std::string_view text)
{
    copyText(vendor, text);
}

void TestHost::setProduct(std::string_view text)
{
    copyText(product, text);
}

void TestHost::setVendorBytes(const char (&bytes)[64])
{
    std::memcpy(vendor, bytes, sizeof vendor);
}

std::vector<HostCall> TestHost::callsWithOpcode(VstInt32 opcode) const
{
    std::vector<HostCall> matching;
    for (const HostCall& call : calls) {
        if (call.opcode == opcode) {
            matching.push_back(call);
        }
    }
    return matching;
}

} // namespace vorblexter::testing
