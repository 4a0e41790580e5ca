#include "tests/support/test_host.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>

namespace vorblexter::testing {

namespace {

// Fixed tables, so that the host itself never allocates (tests count the heap). Written only
// while hosts and effects come and go, never while a callback runs.
struct EffectHost {
    const AEffect* effect = nullptr;
    TestHost* host = nullptr;
};
std::array<EffectHost, 64> effectHosts;
std::array<TestHost*, 16> liveHosts; // in order of construction
std::size_t liveHostCount = 0;
thread_local TestHost* hostCallingMain = nullptr;

TestHost* hostOf(const AEffect* effect)
{
    for (const EffectHost& entry : effectHosts) {
        if (entry.effect == effect && effect != nullptr) {
            return entry.host;
        }
    }
    if (hostCallingMain != nullptr) {
        return hostCallingMain;
    }
    return liveHostCount > 0 ? liveHosts[liveHostCount - 1] : nullptr;
}

void copyText(char* destination, std::string_view text)
{
    std::memset(destination, 0, 64);
    std::memcpy(destination, text.data(), std::min<std::size_t>(text.size(), 63));
}

} // namespace

TestHost::TestHost()
{
    if (liveHostCount == liveHosts.size()) {
        throw std::length_error("too many TestHosts alive");
    }
    liveHosts[liveHostCount++] = this;
    setTransport(120.0, 44100.0);
}

TestHost::~TestHost()
{
    const auto end = liveHosts.begin() + static_cast<std::ptrdiff_t>(liveHostCount);
    liveHostCount =
        static_cast<std::size_t>(std::remove(liveHosts.begin(), end, this) - liveHosts.begin());
    for (EffectHost& entry : effectHosts) {
        if (entry.host == this) {
            entry = EffectHost{};
        }
    }
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
    if (recordCalls || duringCall) {
        observe(HostCall{effect, opcode, index, value, ptr, opt});
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

// Out of answer's way: the benchmarks time every block's time query, which records nothing.
[[gnu::noinline]] void TestHost::observe(const HostCall& call)
{
    if (recordCalls) {
        calls.push_back(call);
    }
    if (duringCall) {
        duringCall(call.effect, call.opcode);
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
        const auto free =
            std::find_if(effectHosts.begin(), effectHosts.end(),
                         [](const EffectHost& entry) { return entry.host == nullptr; });
        if (free == effectHosts.end()) {
            throw std::length_error("too many effects made by TestHosts");
        }
        *free = EffectHost{effect, this};
    }
    return effect;
}

void TestHost::forget(AEffect* effect)
{
    for (EffectHost& entry : effectHosts) {
        if (entry.effect == effect) {
            entry = EffectHost{};
        }
    }
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
