#include "tests/support/test_host.h"

#include "host/plugin_entry.h"

#include <cstring>
#include <stdexcept>

namespace vorblexter::testing {

namespace {
TestHost* liveHost = nullptr;
}

TestHost::TestHost()
{
    if (liveHost != nullptr) {
        throw std::logic_error("only one TestHost may live at a time");
    }
    liveHost = this;
    setTransport(timeInfo, 120.0, 44100.0);
}

TestHost::~TestHost()
{
    liveHost = nullptr;
}

VstIntPtr TestHost::callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                             void* ptr, float opt)
{
    TestHost* host = liveHost;
    if (host == nullptr) {
        return 0;
    }
    if (host->recordCalls) {
        host->calls.push_back(HostCall{effect, opcode, index, value, ptr, opt});
    }
    switch (opcode) {
    case audioMasterVersion:
        return host->versionAnswer;
    case audioMasterGetTime:
        return host->giveTimeInfo ? reinterpret_cast<VstIntPtr>(&host->timeInfo) : 0;
    case audioMasterGetVendorString:
        std::memcpy(ptr, host->vendor, sizeof host->vendor);
        return 1;
    case audioMasterGetProductString:
        std::memcpy(ptr, host->product, sizeof host->product);
        return 1;
    default:
        return 0;
    }
}

AEffect* TestHost::createEffect()
{
    return vorblexterPluginMain(&TestHost::callback);
}

void TestHost::setVendor(const std::string& text)
{
    std::memset(vendor, 0, sizeof vendor);
    std::strncpy(vendor, text.c_str(), sizeof vendor - 1);
}

void TestHost::setProduct(const std::string& text)
{
    std::memset(product, 0, sizeof product);
    std::strncpy(product, text.c_str(), sizeof product - 1);
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

void setTransport(VstTimeInfo& info, double tempo, double sampleRate, VstInt32 numerator,
                  VstInt32 denominator)
{
    info.tempo = tempo;
    info.sampleRate = sampleRate;
    info.timeSigNumerator = numerator;
    info.timeSigDenominator = denominator;
    info.flags = kVstTransportPlaying | kVstTempoValid | kVstTimeSigValid | kVstPpqPosValid;
}

} // namespace vorblexter::testing
