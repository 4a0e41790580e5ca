#include "tests/scenarios/scenario_session.h"

#include <algorithm>
#include <cstring>

namespace vorblexter::scenarios {

namespace {

// Output frames are filled with this before every block, so frames the plug-in leaves alone
// (a standing transport) show in the digest instead of stale audio.
constexpr float kUntouchedFill = -12345.0f;
constexpr std::size_t kTextBytes = 64;

std::uint32_t floatBits(float value)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Input without library maths, so every platform makes the same floats: a sawtooth plus hashed
// noise as whole multiples of 2^-15, different on each channel. `frame` counts input frames
// since the session began (live input keeps coming while the transport stands or jumps).
float inputSample(std::uint64_t frame, int channel)
{
    const std::int64_t period = channel == 0 ? 401 : 263;
    const std::int64_t phase = static_cast<std::int64_t>(frame % period);
    const std::int64_t saw = (phase * 2 - period) * 16384 / period;
    const std::uint64_t mixed =
        (frame + static_cast<std::uint64_t>(channel) * 0x632BE59BD9B4E019u) * 0x9E3779B97F4A7C15u;
    const std::int64_t noise = static_cast<std::int64_t>(mixed >> 54) - 512;
    return static_cast<float>(saw + noise) / 32768.0f;
}

} // namespace

void Digest::addBytes(const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 0x100000001b3u;
    }
}

void Digest::addFloat(float value)
{
    // Byte order fixed here, not by the platform.
    const std::uint32_t bits = floatBits(value);
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(bits & 0xFFu), static_cast<unsigned char>((bits >> 8) & 0xFFu),
        static_cast<unsigned char>((bits >> 16) & 0xFFu), static_cast<unsigned char>(bits >> 24)};
    addBytes(bytes, sizeof bytes);
}

ScenarioSession::ScenarioSession(PluginEntry entry, const HostSetup& hostSetup) : setup(hostSetup)
{
    const auto maxFrames = static_cast<std::size_t>(std::max<VstInt32>(setup.maxBlockFrames, 1));
    inputLeft.resize(maxFrames);
    inputRight.resize(maxFrames);
    outputLeft.resize(maxFrames);
    outputRight.resize(maxFrames);

    host.setTransport(setup.tempo, setup.sampleRate, setup.numerator, setup.denominator);
    host.timeInfo.flags |= kVstBarsValid;
    host.setVendor(setup.vendor);
    host.setProduct("vorblexter scenario host");
    effect = host.createEffect(entry);
    if (effect == nullptr) {
        return;
    }
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(setup.sampleRate));
    dispatch(effSetBlockSize, 0, setup.maxBlockFrames);
    resume();
}

ScenarioSession::~ScenarioSession()
{
    if (effect != nullptr) {
        suspend();
        dispatch(effClose);
        host.forget(effect);
    }
}

VstIntPtr ScenarioSession::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                    float opt)
{
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

void ScenarioSession::setTempo(double tempo)
{
    setup.tempo = tempo;
    host.timeInfo.tempo = tempo;
}

void ScenarioSession::setParameter(VstInt32 index, float value)
{
    effect->setParameter(effect, index, value);
}

void ScenarioSession::readParameters()
{
    for (VstInt32 index = 0; index < effect->numParams; ++index) {
        outputDigest.addFloat(effect->getParameter(effect, index));
        for (const VstInt32 opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
            char text[kTextBytes] = {};
            dispatch(opcode, index, 0, text);
            outputDigest.addBytes(text, std::strlen(text) + 1);
        }
    }
}

void ScenarioSession::suspend()
{
    dispatch(effMainsChanged, 0, 0);
}

void ScenarioSession::resume()
{
    dispatch(effMainsChanged, 0, 1);
}

void ScenarioSession::play(std::int64_t frames, const std::vector<VstInt32>& blockSizes)
{
    run(frames, blockSizes, true);
}

void ScenarioSession::playAccumulating(std::int64_t frames, const std::vector<VstInt32>& blockSizes)
{
    run(frames, blockSizes, false);
}

void ScenarioSession::run(std::int64_t frames, const std::vector<VstInt32>& blockSizes,
                          bool replacing)
{
    std::int64_t done = 0;
    while (done < frames && !blockSizes.empty()) {
        const VstInt32 size = blockSizes[nextBlockSize % blockSizes.size()];
        ++nextBlockSize;
        const VstInt32 blockFrames = static_cast<VstInt32>(
            std::clamp<std::int64_t>(std::min<std::int64_t>(size, frames - done), 1,
                                     static_cast<std::int64_t>(inputLeft.size())));
        runBlock(blockFrames, replacing);
        done += blockFrames;
    }
}

void ScenarioSession::runBlock(VstInt32 blockFrames, bool replacing)
{
    const auto count = static_cast<std::size_t>(blockFrames);
    for (std::size_t k = 0; k < count; ++k) {
        inputLeft[k] = inputSample(inputClock + k, 0);
        inputRight[k] = inputSample(inputClock + k, 1);
    }
    std::fill_n(outputLeft.begin(), count, kUntouchedFill);
    std::fill_n(outputRight.begin(), count, kUntouchedFill);

    // The bar position as a host keeps it; the plug-in reads only position, rate, tempo and
    // numerator, but a complete record is what hosts hand over.
    VstTimeInfo& time = host.timeInfo;
    const double quarterNotes = time.samplePos / setup.sampleRate * setup.tempo / 60.0;
    const double barQuarters = 4.0 * setup.numerator / setup.denominator;
    time.ppqPos = quarterNotes;
    time.barStartPos =
        static_cast<double>(static_cast<std::int64_t>(quarterNotes / barQuarters)) * barQuarters;
    host.setPlaying(transportRunning);

    float* inputs[2] = {inputLeft.data(), inputRight.data()};
    float* outputs[2] = {outputLeft.data(), outputRight.data()};
    if (replacing) {
        effect->processReplacing(effect, inputs, outputs, blockFrames);
    } else {
        effect->process(effect, inputs, outputs, blockFrames);
    }

    for (std::size_t k = 0; k < count; ++k) {
        outputDigest.addFloat(outputLeft[k]);
        outputDigest.addFloat(outputRight[k]);
        if (floatBits(outputLeft[k]) != floatBits(inputLeft[k]) ||
            floatBits(outputRight[k]) != floatBits(inputRight[k])) {
            ++framesChanged;
        }
    }
    inputClock += count;
    framesPlayed += blockFrames;
    if (transportRunning) {
        time.samplePos += blockFrames;
    }
}

} // namespace vorblexter::scenarios
