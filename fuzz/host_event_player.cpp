#include "fuzz/host_event_player.h"

#include "engine/slice_random.h"
#include "tests/support/test_host.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

namespace vorblexter::fuzzing {

namespace {

constexpr std::int32_t kIntMost = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kIntLeast = std::numeric_limits<std::int32_t>::min();

constexpr float kFloats[] = {
    0.0f,      1.0f,       0.5f,      0.25f,   0.57f,    0.1499f,     0.15f,   0.3f,
    0.45f,     0.6f,       0.75f,     0.8999f, 0.9f,     0.999f,      -0.0f,   -0.5f,
    -1.0f,     1.5f,       2.0f,      100.0f,  1e10f,    -1e10f,      3.0e38f, -3.0e38f,
    kFloatInf, -kFloatInf, kFloatNaN, 1e-45f,  1.2e-38f, 21474836.0f, 2.3f,    0.0000001f,
};

constexpr std::int32_t kInts[] = {
    0,  1,   2,   3,   4,   5,   6,    7,   8,     9,    -1,    -2,      31,       32,        63,
    64, 100, 127, 128, 255, 256, 1024, 512, 44100, 8192, 65536, 1 << 24, kIntMost, kIntLeast,
};

constexpr double kTempos[] = {
    120.0,  240.0,  60.0,   90.0,  140.0,   174.0,      1.0,        300.0,
    999.0,  0.0,    -120.0, 1e-30, 1e30,    kDoubleNaN, kDoubleInf, -kDoubleInf,
    5e-324, 1e-300, 1e300,  0.001, 123.456, 33.3,
};

constexpr double kSampleRates[] = {
    44100.0, 48000.0, 96000.0, 1000.0,     8000.0,     22050.0, 192000.0, 0.0,   -44100.0,
    1e-30,   1e30,    1.0,     kDoubleNaN, kDoubleInf, 127.0,   1e300,    500.0,
};

constexpr std::int32_t kNumerators[] = {
    4, 3, 1, 2, 5, 7, 0, -1, -4, 64, 1000, kIntMost, kIntLeast,
};

constexpr double kNegativePositions[] = {-1.0, -0.5, -1000.0, -44100.5, -1e9, -1e15};
constexpr double kExtremePositions[] = {
    1e12,        9007199254740992.0, 4611686018427387904.0, 9.3e18,       1e300, kDoubleInf,
    -kDoubleInf, kDoubleNaN,         2147483647.0,          2147483648.0, 0.0,   0.5,
};

constexpr std::int32_t kFrameCounts[] = {
    64,  128,  256,  512,  1024, 32,  16,   1,   2,  3,         0,
    100, 1000, 4096, 8192, 8191, 333, 2048, 997, -1, kIntLeast,
};

constexpr const char* kVendors[] = {
    "Steinberg", "Ableton",   "Steinberg Media", "Ableton AG", "Other Host Maker",
    "",          "steinberg", "ABLETON",         "Stein berg", "xxSteinbergxx",
};

constexpr std::int32_t kDefaultVersion = 2400;
constexpr std::size_t kTextCheckBytes = 32;

constexpr Signal kSignals[] = {Signal::silence, Signal::ramp,   Signal::constant, Signal::noise,
                               Signal::raw,     Signal::square, Signal::huge,     Signal::oneBad};

// What the host knows about one live effect: its own test host answers it.
struct EffectSlot {
    AEffect* effect = nullptr;
    std::unique_ptr<testing::TestHost> host = std::make_unique<testing::TestHost>();
    double position = 0.0;
    std::int32_t lastFrames = 0;
    InputHistory fed;
    std::array<float, 8> lastSet{};
    std::array<bool, 8> lastSetValid{};
    bool resumedSinceSet = false;
};

class Player {
public:
    Player(const std::uint8_t* data, std::size_t size) : reader(data, size)
    {
        // Plans drawn from the same events must be the same on every replay.
        threadSliceRandom().state = 1;
        textBuffer = std::make_unique<char[]>(kTextBufferBytes);
    }

    ~Player()
    {
        for (EffectSlot& slot : slots) {
            if (slot.effect != nullptr) {
                slot.effect->dispatcher(slot.effect, effClose, 0, 0, nullptr, 0.0f);
                slot.effect = nullptr;
            }
        }
    }

    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    PlayOutcome run()
    {
        while (!reader.atEnd() && outcome.ok) {
            const std::uint8_t head = reader.byte();
            const auto kind = static_cast<EventKind>(head % kEventKindCount);
            const int slot = (head / kEventKindCount) % kSlotCount;
            ++outcome.events;
            playEvent(kind, slots[static_cast<std::size_t>(slot)]);
        }
        return outcome;
    }

private:
    void fail(const std::string& what) { outcome.fail("event", outcome.events, what); }

    // Every event reads all its operands, live effect or not, so that the meaning of the bytes
    // after it never depends on which slots are live.
    void playEvent(EventKind kind, EffectSlot& slot)
    {
        using Event = void (Player::*)(EffectSlot&);
        static constexpr Event kEvents[] = {
            &Player::create,    &Player::close,        &Player::setParameter, &Player::getParameter,
            &Player::dispatch,  &Player::mainsChanged, &Player::hostSettings, &Player::process,
            &Player::transport, &Player::vendor,       &Player::timeInfo,     &Player::programName};
        static_assert(std::size(kEvents) == kEventKindCount);
        (this->*kEvents[static_cast<int>(kind)])(slot);
    }

    void create(EffectSlot& slot)
    {
        const std::int32_t version = reader.operand(table(kInts));
        if (slot.effect != nullptr) {
            return;
        }
        if (outcome.effectsCreated >= kMaxEffectsPerInput) {
            ++outcome.createsSkipped;
            return;
        }
        EffectSlot fresh;
        testing::TestHost& host = *fresh.host;
        host.versionAnswer = version;
        AEffect* effect = host.createEffect();
        host.versionAnswer = kDefaultVersion;
        if (version == 0) {
            if (effect != nullptr) {
                fail("main answered a record to a host of version 0");
                effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
            }
            return;
        }
        if (effect == nullptr) {
            fail("main answered null");
            return;
        }
        ++outcome.effectsCreated;
        fresh.effect = effect;
        host.setProduct("host event player");
        // 240 BPM at 1000 Hz: a 250-frame beat, a default loop of 1000 frames.
        host.setTransport(240.0, 1000.0);
        host.timeInfo.flags = kVstTransportPlaying | kVstTempoValid | kVstTimeSigValid;
        slot = std::move(fresh);
        if (effect->magic != kEffectMagic || effect->numInputs != 2 || effect->numOutputs != 2 ||
            effect->numParams != 8 || effect->processReplacing == nullptr) {
            fail("record does not describe a stereo effect with 8 parameters");
        }
    }

    void close(EffectSlot& slot)
    {
        if (slot.effect == nullptr) {
            return;
        }
        const VstIntPtr answer =
            slot.effect->dispatcher(slot.effect, effClose, 0, 0, nullptr, 0.0f);
        slot.host->forget(slot.effect);
        slot.effect = nullptr;
        if (answer != 1) {
            fail("effClose answered " + std::to_string(answer));
        }
    }

    void setParameter(EffectSlot& slot)
    {
        const std::int32_t index = reader.operand(table(kInts));
        const float value = reader.operand(table(kFloats));
        if (slot.effect == nullptr) {
            return;
        }
        slot.effect->setParameter(slot.effect, index, value);
        if (index >= 0 && index < 8) {
            slot.lastSet[static_cast<std::size_t>(index)] = value;
            slot.lastSetValid[static_cast<std::size_t>(index)] = true;
        }
    }

    void getParameter(EffectSlot& slot)
    {
        const std::int32_t index = reader.operand(table(kInts));
        if (slot.effect == nullptr) {
            return;
        }
        const float value = slot.effect->getParameter(slot.effect, index);
        if (index < 0 || index >= 8) {
            return;
        }
        const auto i = static_cast<std::size_t>(index);
        if (slot.lastSetValid[i] && !sameBits(value, slot.lastSet[i])) {
            fail("getParameter(" + std::to_string(index) + ") is not the value last set");
        } else if (!slot.lastSetValid[i] && slot.resumedSinceSet && !std::isfinite(value)) {
            fail("getParameter(" + std::to_string(index) + ") is not finite after resume");
        }
    }

    void mainsChanged(EffectSlot& slot)
    {
        const bool on = (reader.byte() & 1) != 0;
        if (slot.effect == nullptr) {
            return;
        }
        slot.effect->dispatcher(slot.effect, effMainsChanged, 0, on ? 1 : 0, nullptr, 0.0f);
        if (on) {
            noteResume(slot);
        }
    }

    // A resume reports every parameter afresh, so values set before it are no longer expected.
    static void noteResume(EffectSlot& slot)
    {
        slot.lastSetValid.fill(false);
        slot.resumedSinceSet = true;
    }

    void fillTextBuffer(std::uint8_t mode)
    {
        char* text = textBuffer.get();
        switch (mode % 4) {
        case 1:
            std::memset(text, 0, kTextBufferBytes);
            break;
        case 2:
            std::memset(text, 'A', kTextBufferBytes);
            break;
        default: {
            std::memset(text, 'A', kTextBufferBytes);
            const std::size_t count = std::min<std::size_t>(reader.byte(), kTextBufferBytes);
            for (std::size_t i = 0; i < count; ++i) {
                text[i] = static_cast<char>(reader.byte());
            }
            break;
        }
        }
    }

    void dispatch(EffectSlot& slot)
    {
        const VstInt32 opcode = static_cast<VstInt32>(reader.byte() % 76) - 5;
        const std::int32_t index = reader.operand(table(kInts));
        const std::int32_t value = reader.operand(table(kInts));
        const std::uint8_t textMode = reader.byte();
        char* text = nullptr;
        if (textMode % 4 != 0) {
            fillTextBuffer(textMode);
            text = textBuffer.get();
        }
        const float opt = reader.operand(table(kFloats));
        if (opcode == effClose) {
            close(slot);
            return;
        }
        if (slot.effect == nullptr) {
            return;
        }
        slot.effect->dispatcher(slot.effect, opcode, index, value, text, opt);
        if (opcode == effMainsChanged && value != 0) {
            noteResume(slot);
        }
        // Texts the effect writes must end well inside any buffer a host offers.
        const bool writesText = opcode == effGetProgramName ||
                                ((opcode == effGetParamLabel || opcode == effGetParamDisplay ||
                                  opcode == effGetParamName) &&
                                 index >= 0 && index < 8);
        if (text != nullptr && writesText && std::memchr(text, 0, kTextCheckBytes) == nullptr) {
            fail("opcode " + std::to_string(opcode) + " left a text without a terminator");
        }
    }

    void hostSettings(EffectSlot& slot)
    {
        const std::uint8_t choice = reader.byte() % 3;
        const std::int32_t frames = choice != 0 ? reader.operand(table(kInts)) : 0;
        const float rate = choice != 1 ? reader.operand(table(kFloats)) : 0.0f;
        if (slot.effect == nullptr) {
            return;
        }
        const VstInt32 opcode = choice == 0   ? effSetSampleRate
                                : choice == 1 ? effSetBlockSize
                                              : effSetBlockSizeAndSampleRate;
        slot.effect->dispatcher(slot.effect, opcode, 0, frames, nullptr, rate);
    }

    void transport(EffectSlot& slot)
    {
        const double tempo = reader.operand(table(kTempos));
        const double rate = reader.operand(table(kSampleRates));
        const std::int32_t numerator = reader.operand(table(kNumerators));
        slot.host->timeInfo.tempo = foldedTempo(tempo, rate);
        slot.host->timeInfo.sampleRate = rate;
        slot.host->timeInfo.timeSigNumerator = numerator;
    }

    void timeInfo(EffectSlot& slot) { slot.host->giveTimeInfo = (reader.byte() & 1) == 0; }

    void vendor(EffectSlot& slot)
    {
        const std::uint8_t choice = reader.byte();
        if (choice < kTableSelectors) {
            slot.host->setVendor(pick(table(kVendors), choice));
            return;
        }
        for (char& c : slot.host->vendor) {
            c = static_cast<char>(reader.byte());
        }
    }

    void programName(EffectSlot& slot)
    {
        const std::size_t length = std::min<std::size_t>(reader.byte(), kTextBufferBytes);
        char* text = textBuffer.get();
        std::memset(text, 'N', kTextBufferBytes);
        for (std::size_t i = 0; i < length; ++i) {
            text[i] = static_cast<char>(reader.byte());
        }
        if (slot.effect == nullptr) {
            return;
        }
        const std::string expected(text, ::strnlen(text, 31));
        slot.effect->dispatcher(slot.effect, effSetProgramName, 0, 0, text, 0.0f);

        std::memset(text, 'Z', kTextBufferBytes);
        slot.effect->dispatcher(slot.effect, effGetProgramName, 0, 0, text, 0.0f);
        if (std::memchr(text, 0, kTextCheckBytes) == nullptr) {
            fail("program name without a terminator");
        } else if (expected != text) {
            fail("program name did not round-trip");
        }
    }

    double nextPosition(EffectSlot& slot)
    {
        const std::uint8_t move = reader.byte() % 16;
        const double last = slot.position;
        if (move < kMoveStand) {
            return last + std::max<std::int32_t>(slot.lastFrames, 0);
        }
        switch (move) {
        case kMoveStand:
            return last;
        case kMoveBack:
            return last - (static_cast<double>(reader.bits(2)) + 1.0);
        case kMoveForward:
            return last + static_cast<double>(reader.bits(2));
        case kMoveNegative:
            return pick(table(kNegativePositions), reader.byte());
        case kMoveExtreme:
            return pick(table(kExtremePositions), reader.byte());
        default:
            return fromBits<double>(reader.bits(8));
        }
    }

    void process(EffectSlot& slot)
    {
        const std::uint8_t flags = reader.byte();
        const std::int32_t frames = reader.count(table(kFrameCounts), kMaxBlockFrames);
        const double position = nextPosition(slot);
        const std::uint8_t pattern = reader.byte();

        const std::int32_t counted = std::max<std::int32_t>(frames, 0);
        const bool overBudget = outcome.framesPlayed + counted > kMaxFramesPerInput;
        const bool plays = slot.effect != nullptr && !overBudget;
        if (slot.effect != nullptr && overBudget) {
            ++outcome.blocksSkipped;
        }
        // Exactly sized so that any read or write past the block is caught.
        const auto size = static_cast<std::size_t>(plays ? counted : 0);
        std::vector<float> inLeft(size);
        std::vector<float> inRight(size);
        fillSignal(pick(table(kSignals), pattern), reader, table(kFloats), kMaxBlockFrames, inLeft,
                   inRight);
        if (!plays) {
            return;
        }
        outcome.framesPlayed += counted;
        slot.host->timeInfo.samplePos = position;
        const std::vector<float> sentLeft = inLeft;
        const std::vector<float> sentRight = inRight;
        std::vector<float> outLeft(size, kFloatNaN);
        std::vector<float> outRight(size, kFloatNaN);

        float* inputs[2] = {inLeft.data(), inRight.data()};
        float* outputs[2] = {outLeft.data(), outRight.data()};
        float* nothing[2] = {nullptr, nullptr};
        const bool nullBuffers = (flags & kProcessNullBuffers) == kProcessNullBuffers;
        if ((flags & kProcessInPlace) != 0) {
            outputs[0] = inLeft.data();
            outputs[1] = inRight.data();
        }
        float** in = nullBuffers ? nothing : inputs;
        float** out = nullBuffers ? nothing : outputs;

        slot.fed.feed(sentLeft);
        slot.fed.feed(sentRight);

        if ((flags & kProcessAccumulating) != 0) {
            slot.effect->process(slot.effect, in, out, frames);
        } else {
            slot.effect->processReplacing(slot.effect, in, out, frames);
        }
        ++outcome.blocks;
        slot.position = position;
        slot.lastFrames = frames;
        if (nullBuffers) {
            return;
        }
        checkChannel(slot, sentLeft, outputs[0], "left");
        checkChannel(slot, sentRight, outputs[1], "right");
    }

    void checkChannel(const EffectSlot& slot, const std::vector<float>& sent, const float* output,
                      const char* channel)
    {
        const std::string broken =
            checkOutput(slot.fed, sent, output, true, channel, outcome.framesChanged);
        if (!broken.empty()) {
            fail(broken);
        }
    }

    ByteReader reader;
    std::array<EffectSlot, kSlotCount> slots{};
    std::unique_ptr<char[]> textBuffer;
    PlayOutcome outcome;
};

} // namespace

PlayOutcome playHostEvents(const std::uint8_t* data, std::size_t size)
{
    Player player(data, size);
    return player.run();
}

void HostEventWriter::event(int slot, EventKind kind)
{
    out.byte(
        static_cast<std::uint8_t>((slot % kSlotCount) * kEventKindCount + static_cast<int>(kind)));
}

HostEventWriter& HostEventWriter::create(int slot, std::int32_t versionAnswer)
{
    event(slot, EventKind::create);
    out.operand(table(kInts), versionAnswer);
    return *this;
}

HostEventWriter& HostEventWriter::close(int slot)
{
    event(slot, EventKind::close);
    return *this;
}

HostEventWriter& HostEventWriter::setParameter(int slot, std::int32_t index, float value)
{
    event(slot, EventKind::setParameter);
    out.operand(table(kInts), index);
    out.operand(table(kFloats), value);
    return *this;
}

HostEventWriter& HostEventWriter::getParameter(int slot, std::int32_t index)
{
    event(slot, EventKind::getParameter);
    out.operand(table(kInts), index);
    return *this;
}

HostEventWriter& HostEventWriter::dispatch(int slot, VstInt32 opcode, std::int32_t index,
                                           std::int32_t value, std::uint8_t textMode, float opt)
{
    event(slot, EventKind::dispatch);
    out.byte(static_cast<std::uint8_t>(opcode + 5));
    out.operand(table(kInts), index);
    out.operand(table(kInts), value);
    out.byte(textMode);
    if (textMode % 4 == 3) {
        out.byte(0); // no bytes of its own: the buffer is all 'A', unterminated
    }
    out.operand(table(kFloats), opt);
    return *this;
}

HostEventWriter& HostEventWriter::mainsChanged(int slot, bool on)
{
    event(slot, EventKind::mainsChanged);
    out.byte(on ? 1 : 0);
    return *this;
}

HostEventWriter& HostEventWriter::sampleRate(int slot, float rate)
{
    event(slot, EventKind::hostSettings);
    out.byte(0);
    out.operand(table(kFloats), rate);
    return *this;
}

HostEventWriter& HostEventWriter::blockSize(int slot, std::int32_t frames)
{
    event(slot, EventKind::hostSettings);
    out.byte(1);
    out.operand(table(kInts), frames);
    return *this;
}

HostEventWriter& HostEventWriter::process(int slot, std::int32_t frameCount, std::uint8_t flags,
                                          std::uint8_t move, std::uint8_t pattern)
{
    event(slot, EventKind::process);
    out.byte(flags);
    out.count(table(kFrameCounts), std::clamp<std::int32_t>(frameCount, 0, kMaxBlockFrames));
    out.byte(move);
    if (move == kMoveBack || move == kMoveForward) {
        out.byte({0, 1}); // 256 frames
    }
    out.byte(pattern);
    return *this;
}

HostEventWriter& HostEventWriter::processAt(int slot, std::int32_t frameCount, double samplePos,
                                            std::uint8_t flags, std::uint8_t pattern)
{
    event(slot, EventKind::process);
    out.byte(flags);
    out.count(table(kFrameCounts), std::clamp<std::int32_t>(frameCount, 0, kMaxBlockFrames));
    out.byte(kMoveRaw);
    out.bits(std::bit_cast<std::uint64_t>(samplePos), 8);
    out.byte(pattern);
    return *this;
}

HostEventWriter& HostEventWriter::processNoise(int slot, std::int32_t frameCount, std::uint8_t seed,
                                               std::uint8_t flags)
{
    process(slot, frameCount, flags, kMoveAdvance, kInputNoise);
    out.byte(seed);
    return *this;
}

HostEventWriter& HostEventWriter::processWithBadSample(int slot, std::int32_t frameCount,
                                                       std::uint8_t where)
{
    process(slot, frameCount, 0, kMoveAdvance, kInputOneBad);
    out.byte({1, where});
    return *this;
}

HostEventWriter& HostEventWriter::transport(int slot, double tempo, double sampleRate,
                                            std::int32_t numerator)
{
    event(slot, EventKind::transport);
    out.operand(table(kTempos), tempo);
    out.operand(table(kSampleRates), sampleRate);
    out.operand(table(kNumerators), numerator);
    return *this;
}

HostEventWriter& HostEventWriter::vendorBytes(int slot, const std::array<char, 64>& bytes)
{
    event(slot, EventKind::vendor);
    out.byte(0xFF);
    for (const char c : bytes) {
        out.byte(static_cast<std::uint8_t>(c));
    }
    return *this;
}

HostEventWriter& HostEventWriter::vendorText(int slot, const std::string& text)
{
    std::array<char, 64> bytes{};
    std::memcpy(bytes.data(), text.data(), std::min(text.size(), bytes.size()));
    return vendorBytes(slot, bytes);
}

HostEventWriter& HostEventWriter::timeInfo(int slot, bool give)
{
    event(slot, EventKind::timeInfo);
    out.byte(give ? 0 : 1);
    return *this;
}

HostEventWriter& HostEventWriter::programName(int slot, const std::string& name)
{
    event(slot, EventKind::programName);
    const std::size_t length = std::min<std::size_t>(name.size(), 255);
    out.byte(static_cast<std::uint8_t>(length));
    for (std::size_t i = 0; i < length; ++i) {
        out.byte(static_cast<std::uint8_t>(name[i]));
    }
    return *this;
}

} // namespace vorblexter::fuzzing
