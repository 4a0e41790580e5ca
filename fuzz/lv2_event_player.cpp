#include "fuzz/lv2_event_player.h"

#include "engine/slice_random.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

namespace vorblexter::fuzzing {

namespace {

// Control values: every step edge and range end of the eight parameters, and beyond.
constexpr float kFloats[] = {
    0.0f,      1.0f,     2.0f,    3.0f,  4.0f,          7.0f,           8.0f,      15.9f,
    16.0f,     25.0f,    31.99f,  32.0f, 63.0f,         64.0f,          65.0f,     99.9f,
    100.0f,    100.5f,   101.0f,  0.5f,  -0.0f,         -0.5f,          -1.0f,     20.0f,
    10000.0f,  10001.0f, 9999.9f, 1e10f, -1e10f,        3.0e38f,        kFloatInf, -kFloatInf,
    kFloatNaN, 1e-45f,   0.999f,  1.5f,  2147483648.0f, -2147483648.0f, 50.0f,     5000.0f,
};

// Sample rates for instantiate.
constexpr double kSampleRates[] = {
    1000.0, 44100.0, 48000.0,  96000.0, 8000.0,       192000.0,   500.0,      127.0,
    1.0,    0.0,     -44100.0, 1e-30,   1e30,         kDoubleNaN, kDoubleInf, -kDoubleInf,
    1e300,  0.5,     22050.0,  5e-324,  2147483648.0, 4.0,
};

// Values of time:Position properties: tempos, speeds, bar shapes, frames and their extremes.
constexpr double kValues[] = {
    240.0,         120.0,
    0.0,           1.0,
    4.0,           3.0,
    -1.0,          0.5,
    60.0,          7.0,
    64.0,          kDoubleNaN,
    kDoubleInf,    -kDoubleInf,
    1e30,          -1e30,
    1e-30,         1e9,
    1e12,          2147483648.0,
    -2147483648.0, 9007199254740992.0,
    4.5,           1000.0,
    256.0,         512.0,
    -0.0,          5e-324,
    2.0,           300.0,
    999.0,         -120.0,
    1e300,         9.3e18,
    -4.0,          0.25,
    16.0,          8.0,
    1e-3,          33.3,
};

constexpr std::uint32_t kRunFrames[] = {
    256, 512, 1024, 64, 128, 32, 16, 1, 2, 3, 0, 100, 1000, 4096, 4095, 333, 2048, 997,
};

constexpr std::uint32_t kWords[] = {
    0,           1,           4,           7,           8,  9,  15, 16, 17, 24,   32,
    0xFFFFFFF8u, 0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, 2,  3,  5,  6,  10, 11,   12,
    13,          14,          18,          19,          20, 21, 22, 23, 64, 4096,
};

// What hosts and the LV2 headers would map, in a fixed order so that URIDs are the same in
// every play: the fuzzer's comparison tracing then learns them, and the committed inputs keep
// their meaning. A URI first asked for by the plug-in gets the next number.
constexpr const char* kKnownUris[] = {
    LV2_ATOM__Sequence,
    LV2_ATOM__Object,
    LV2_ATOM__Blank,
    LV2_ATOM__Float,
    LV2_ATOM__Double,
    LV2_ATOM__Int,
    LV2_ATOM__Long,
    LV2_ATOM__Bool,
    LV2_ATOM__String,
    LV2_ATOM__Chunk,
    LV2_ATOM__Tuple,
    LV2_ATOM__URID,
    LV2_ATOM__frameTime,
    LV2_ATOM__beatTime,
    LV2_TIME__Position,
    LV2_TIME__frame,
    LV2_TIME__speed,
    LV2_TIME__beatsPerMinute,
    LV2_TIME__beatsPerBar,
    LV2_TIME__bar,
    LV2_TIME__barBeat,
    LV2_TIME__beatUnit,
    LV2_TIME__beat,
    LV2_TIME__framesPerSecond,
    "http://lv2plug.in/ns/ext/midi#MidiEvent",
    "http://lv2plug.in/ns/ext/patch#Set",
};

enum KnownUrid : std::uint32_t {
    kSequence = 1,
    kObject,
    kBlank,
    kFloat,
    kDouble,
    kInt,
    kLong,
    kBool,
    kString,
    kChunk,
    kTuple,
    kUrid,
    kFrameTime,
    kBeatTime,
    kPosition,
    kFrame,
    kSpeed,
    kBeatsPerMinute,
    kBeatsPerBar,
    kBar,
    kBarBeat,
    kBeatUnit,
    kBeat,
    kFramesPerSecond,
    kMidiEvent,
    kPatchSet,
    kKnownUridEnd,
};
static_assert(kKnownUridEnd - 1 == std::size(kKnownUris));

constexpr std::uint32_t kPositionKeyUrids[kPositionKeyCount] = {
    kFrame, kSpeed, kBeatsPerMinute, kBeatsPerBar, kBar, kBarBeat, kBeatUnit,
};
// Each property's usual type, as hosts send it.
constexpr std::uint32_t kPositionKeyTypes[kPositionKeyCount] = {
    kLong, kFloat, kFloat, kFloat, kLong, kFloat, kInt,
};
constexpr std::uint32_t kValueTypes[] = {0, kFloat, kDouble, kInt, kLong, kBool, kString, kObject};

constexpr std::uint32_t kRawTypes[] = {
    kObject, kBlank, kFloat, kSequence, kLong, kTuple, kMidiEvent, kChunk, 0, kPosition,
};

constexpr std::uint32_t kSequenceTypes[] = {kSequence, kSequence, kChunk};
constexpr std::uint32_t kSequenceUnits[] = {0, kFrameTime, kBeatTime};

constexpr Signal kSignals[] = {Signal::silence, Signal::ramp, Signal::constant,
                               Signal::noise,   Signal::huge, Signal::oneBad};

// Guards and unwritten output: a NaN no arithmetic produces, so a sample read from outside a
// buffer, or an output left unwritten, shows up as a non-finite output.
constexpr std::uint32_t kGuardBits = 0x7FA5A5A5u;
constexpr std::size_t kGuardFrames = 32;
// Room to move a buffer between runs, so a plug-in that kept an old pointer is caught.
constexpr std::size_t kMoveFrames = 64;
constexpr std::size_t kArenaFrames = kGuardFrames + kLv2MaxRunFrames + kMoveFrames + kGuardFrames;

constexpr float guardValue()
{
    return std::bit_cast<float>(kGuardBits);
}

// Appends atoms in host byte order, each padded to 8 bytes as the atom forge pads them.
class AtomBytes {
public:
    std::size_t size() const { return bytes.size(); }
    std::vector<std::uint8_t>& data() { return bytes; }

    void u32(std::uint32_t value) { append(&value, sizeof value); }
    void i64(std::int64_t value) { append(&value, sizeof value); }
    void append(const void* from, std::size_t count)
    {
        const std::size_t at = bytes.size();
        bytes.resize(at + count);
        std::memcpy(bytes.data() + at, from, count);
    }
    void pad()
    {
        while (bytes.size() % 8 != 0) {
            bytes.push_back(0);
        }
    }
    void setU32(std::size_t at, std::uint32_t value) { std::memcpy(&bytes[at], &value, 4); }

private:
    std::vector<std::uint8_t> bytes;
};

// One host-side URID map for every instance of a play.
class UridMap {
public:
    UridMap()
    {
        for (const char* uri : kKnownUris) {
            uris.emplace_back(uri);
        }
    }

    LV2_URID map(const char* uri)
    {
        if (uri == nullptr) {
            return 0;
        }
        for (std::size_t i = 0; i < uris.size(); ++i) {
            if (uris[i] == uri) {
                return static_cast<LV2_URID>(i + 1);
            }
        }
        uris.emplace_back(uri);
        return static_cast<LV2_URID>(uris.size());
    }

    static LV2_URID mapCallback(LV2_URID_Map_Handle handle, const char* uri)
    {
        return static_cast<UridMap*>(handle)->map(uri);
    }
    static LV2_URID failingCallback(LV2_URID_Map_Handle, const char*) { return 0; }

private:
    std::vector<std::string> uris;
};

enum class Connection : std::uint8_t { never, host, null };

// What the host knows about one live instance.
struct InstanceSlot {
    LV2_Handle handle = nullptr;
    bool active = false;
    double sampleRate = 0.0;
    std::array<Connection, kPortCount> connections{};
    // Audio: one arena per port, the connected region somewhere inside, guard everywhere else.
    std::array<std::vector<float>, 4> audio;
    std::size_t audioOffset = kGuardFrames;
    bool audioConnected = false;
    bool inPlace = false;
    // Controls: port p's value at index 2p + 1, guard between.
    std::array<float, 2 * kPortCount + 1> controls{};
    std::array<float, kPortCount> controlValues{};
    InputHistory fed;
    bool sentEvents = false;
};

class Player {
public:
    Player(const LV2_Descriptor* descriptor, const std::uint8_t* data, std::size_t size)
        : descriptor(descriptor), reader(data, size)
    {
        // Plans drawn from the same calls must be the same on every replay.
        threadSliceRandom().state = 1;
    }

    ~Player()
    {
        for (InstanceSlot& slot : slots) {
            cleanup(slot);
        }
    }

    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    Lv2PlayOutcome run()
    {
        if (descriptor == nullptr || descriptor->instantiate == nullptr ||
            descriptor->connect_port == nullptr || descriptor->run == nullptr ||
            descriptor->cleanup == nullptr) {
            fail("the descriptor lacks an entry point");
            return outcome;
        }
        while (!reader.atEnd() && outcome.ok) {
            const std::uint8_t head = reader.byte();
            const auto kind = static_cast<Lv2CallKind>(head % kLv2CallKindCount);
            InstanceSlot& slot = slots[(head / kLv2CallKindCount) % kLv2SlotCount];
            ++outcome.calls;
            play(kind, slot);
        }
        return outcome;
    }

private:
    void fail(const std::string& what) { outcome.fail("call", outcome.calls, what); }

    // Every call reads all its operands, live instance or not, so that the meaning of the bytes
    // after it never depends on which slots are live.
    void play(Lv2CallKind kind, InstanceSlot& slot)
    {
        using Call = void (Player::*)(InstanceSlot&);
        static constexpr Call kCalls[] = {&Player::instantiate, &Player::cleanup,
                                          &Player::activation,  &Player::connect,
                                          &Player::control,     &Player::run};
        static_assert(std::size(kCalls) == kLv2CallKindCount);
        (this->*kCalls[static_cast<int>(kind)])(slot);
    }

    void instantiate(InstanceSlot& slot)
    {
        const double rate = reader.operand(table(kSampleRates));
        const std::uint8_t options = reader.byte();
        if (slot.handle != nullptr) {
            return;
        }
        if (outcome.instancesMade >= kLv2MaxInstancesPerInput ||
            outcome.instancesRefused >= kLv2MaxRefusalsPerInput) {
            return;
        }
        LV2_URID_Map map{&urids, (options & kInstantiateFailingMap) != 0 ? &UridMap::failingCallback
                                                                         : &UridMap::mapCallback};
        const LV2_Feature mapFeature{LV2_URID__map,
                                     (options & kInstantiateNullMap) != 0 ? nullptr : &map};
        const LV2_Feature bounded{LV2_BUF_SIZE__boundedBlockLength, nullptr};
        const LV2_Feature unknown{"urn:vorblexter:fuzz:unknown-feature", &map};
        std::array<const LV2_Feature*, 4> features{};
        std::size_t count = 0;
        if ((options & kInstantiateOtherFeatures) != 0) {
            features[count++] = &bounded;
            features[count++] = &unknown;
        }
        if ((options & kInstantiateNoMap) == 0) {
            features[count++] = &mapFeature;
        }
        const bool usableMap = (options & (kInstantiateNoMap | kInstantiateNullMap)) == 0;
        const bool usableRate = std::isfinite(rate) && rate > 0.0;

        LV2_Handle handle = descriptor->instantiate(
            descriptor, rate, "/nonexistent/vorblexter1.lv2/", features.data());
        if (handle == nullptr) {
            ++outcome.instancesRefused;
            return;
        }
        ++outcome.instancesMade;
        slot = InstanceSlot{};
        slot.handle = handle;
        slot.sampleRate = rate;
        if (!usableMap || !usableRate) {
            fail("instantiate made an instance without a usable URID map or sample rate");
            return;
        }
        for (std::vector<float>& arena : slot.audio) {
            arena.assign(kArenaFrames, guardValue());
        }
        slot.controls.fill(guardValue());
        // The effect's construction quantities, as a host starts from the Turtle's defaults.
        constexpr float kDefaults[] = {0.0f, 25.0f, 0.0f, 4.0f, 20.0f, 1.0f, 0.0f, 4.0f};
        for (std::uint32_t i = 0; i < 8; ++i) {
            slot.controlValues[kPortFirstParameter + i] = kDefaults[i];
        }
        if ((options & kInstantiateUnconnected) != 0) {
            return;
        }
        for (std::uint32_t port = 0; port < kPortCount; ++port) {
            if (port != kPortControl || (options & kInstantiateNoAtomPort) == 0) {
                connectPort(slot, port, Connection::host);
            }
        }
    }

    void cleanup(InstanceSlot& slot)
    {
        if (slot.handle == nullptr) {
            return;
        }
        if (slot.active && descriptor->deactivate != nullptr) {
            descriptor->deactivate(slot.handle);
        }
        descriptor->cleanup(slot.handle);
        slot.handle = nullptr;
        slot.active = false;
    }

    void activation(InstanceSlot& slot)
    {
        const bool activate = (reader.byte() & 1) == 0;
        if (slot.handle == nullptr || slot.active == activate) {
            return;
        }
        slot.active = activate;
        auto* call = activate ? descriptor->activate : descriptor->deactivate;
        if (call != nullptr) {
            call(slot.handle);
        }
    }

    void connectPort(InstanceSlot& slot, std::uint32_t port, Connection connection)
    {
        slot.connections[port] = connection;
        if (port <= kPortOutRight) {
            // Audio buffers are placed at the next run, once its length is known.
            slot.audioConnected = false;
            if (connection == Connection::null) {
                descriptor->connect_port(slot.handle, port, nullptr);
            }
            return;
        }
        if (port == kPortControl) {
            if (connection == Connection::null) {
                descriptor->connect_port(slot.handle, port, nullptr);
            }
            return; // the sequence is written, and connected, afresh for every run
        }
        descriptor->connect_port(slot.handle, port,
                                 connection == Connection::host ? &slot.controls[2 * port + 1]
                                                                : nullptr);
    }

    void connect(InstanceSlot& slot)
    {
        const std::uint32_t port = reader.byte() % kPortCount;
        const bool null = (reader.byte() & 1) != 0;
        if (slot.handle != nullptr) {
            connectPort(slot, port, null ? Connection::null : Connection::host);
        }
    }

    void control(InstanceSlot& slot)
    {
        const std::uint32_t port = kPortFirstParameter + reader.byte() % 8;
        const float value = reader.operand(table(kFloats));
        if (slot.handle != nullptr) {
            slot.controlValues[port] = value;
        }
    }

    std::int64_t frameOperand(std::uint32_t frames, std::int64_t previous)
    {
        const std::uint8_t selector = reader.byte();
        if (selector >= kTableSelectors) {
            return static_cast<std::int64_t>(reader.bits(8));
        }
        const auto length = static_cast<std::int64_t>(frames);
        switch (selector % kFrameSelectorCount) {
        case kFrameStart:
            return 0;
        case kFrameOne:
            return 1;
        case kFrameMiddle:
            return length / 2;
        case kFrameLast:
            return length - 1;
        case kFrameRunLength:
            return length;
        case kFramePastRun:
            return length + 1000;
        case kFramePrevious:
            return previous;
        case kFrameBeforePrevious:
            return static_cast<std::int64_t>(static_cast<std::uint64_t>(previous) - 1u);
        case kFrameMinusOne:
            return -1;
        case kFrameHuge:
            return std::int64_t{1} << 40;
        case kFrameMost:
            return std::numeric_limits<std::int64_t>::max();
        default:
            return std::numeric_limits<std::int64_t>::min();
        }
    }

    // An atom of type `type` holding `value`, padded; type 0 is the key's usual type.
    void writeValue(AtomBytes& out, std::uint32_t type, double value, int depth)
    {
        const std::size_t head = out.size();
        out.u32(0);
        out.u32(type);
        switch (type) {
        case kFloat: {
            const auto v = static_cast<float>(value);
            out.append(&v, 4);
            break;
        }
        case kDouble:
            out.append(&value, 8);
            break;
        case kInt:
        case kBool: {
            // Saturating, as the value may be anything.
            const std::int32_t v =
                type == kBool            ? (value != 0.0 ? 1 : 0)
                : std::isnan(value)      ? 0
                : value >= 2147483647.0  ? std::numeric_limits<std::int32_t>::max()
                : value <= -2147483648.0 ? std::numeric_limits<std::int32_t>::min()
                                         : static_cast<std::int32_t>(value);
            out.append(&v, 4);
            break;
        }
        case kLong: {
            const std::int64_t v =
                std::isnan(value)                 ? 0
                : value >= 9.2233720368547758e18  ? std::numeric_limits<std::int64_t>::max()
                : value <= -9.2233720368547758e18 ? std::numeric_limits<std::int64_t>::min()
                                                  : static_cast<std::int64_t>(value);
            out.append(&v, 8);
            break;
        }
        case kString:
            out.append("120", 4);
            break;
        default: // a Position nested as the value, holding the same value as its tempo
            out.u32(0);
            out.u32(kPosition);
            if (depth < 2) {
                out.u32(kBeatsPerMinute);
                out.u32(0);
                writeValue(out, kFloat, value, depth + 1);
            }
            break;
        }
        out.setU32(head, static_cast<std::uint32_t>(out.size() - head - 8));
        out.pad();
    }

    // A time:Position event; answers where its body starts.
    void writePosition(AtomBytes& out, std::int64_t frame, double rate)
    {
        const std::uint8_t mask = reader.byte();
        out.i64(frame);
        const std::size_t head = out.size();
        out.u32(0);
        out.u32(kObject);
        out.u32(0);
        out.u32(kPosition);
        for (int key = 0; key < kPositionKeyCount; ++key) {
            if ((mask & (1u << key)) == 0) {
                continue;
            }
            const std::uint32_t chosen = pick(table(kValueTypes), reader.byte());
            double value = reader.operand(table(kValues));
            if (key == kKeyBeatsPerMinute) {
                value = foldedTempo(value, rate);
            }
            out.u32(kPositionKeyUrids[key]);
            out.u32(0);
            writeValue(out, chosen != 0 ? chosen : kPositionKeyTypes[key], value, 0);
        }
        out.setU32(head, static_cast<std::uint32_t>(out.size() - head - 8));
    }

    // The sequence for one run, exactly as large as it claims to be.
    std::vector<std::uint8_t> readSequence(const InstanceSlot& slot, std::uint32_t frames,
                                           std::size_t& eventCount)
    {
        const std::uint8_t header = reader.byte();
        const std::uint8_t typeChoice = header & 3;
        const std::uint8_t unitChoice = (header >> 2) & 3;
        const std::uint32_t type =
            typeChoice < 3 ? kSequenceTypes[typeChoice] : reader.operand(table(kWords));
        const std::uint32_t unit =
            unitChoice < 3 ? kSequenceUnits[unitChoice] : reader.operand(table(kWords));
        const std::size_t cut = (header & 16) != 0 ? reader.byte() % 64 : 0;
        eventCount = reader.byte() % 9;

        AtomBytes out;
        out.u32(0);
        out.u32(type);
        out.u32(unit);
        out.u32(0);
        std::int64_t previous = 0;
        for (std::size_t i = 0; i < eventCount; ++i) {
            const auto kind = static_cast<Lv2AtomEventKind>(
                reader.byte() % static_cast<int>(Lv2AtomEventKind::count));
            const std::int64_t frame = frameOperand(frames, previous);
            previous = frame;
            const std::size_t start = out.size();
            if (kind == Lv2AtomEventKind::raw) {
                const std::uint8_t typeSelector = reader.byte();
                const std::uint32_t bodyType = typeSelector < kTableSelectors
                                                   ? pick(table(kRawTypes), typeSelector)
                                                   : static_cast<std::uint32_t>(reader.bits(4));
                const std::uint8_t sizeSelector = reader.byte();
                const std::uint32_t claimed = sizeSelector < kTableSelectors
                                                  ? 0xFFFFFFFFu
                                                  : static_cast<std::uint32_t>(reader.bits(2));
                const std::size_t length = reader.byte() % 64;
                out.i64(frame);
                out.u32(claimed == 0xFFFFFFFFu ? static_cast<std::uint32_t>(length) : claimed);
                out.u32(bodyType);
                for (std::size_t k = 0; k < length; ++k) {
                    const std::uint8_t b = reader.byte();
                    out.append(&b, 1);
                }
            } else {
                writePosition(out, frame, slot.sampleRate);
                if (kind == Lv2AtomEventKind::corrupt) {
                    const std::size_t words = (out.size() - start) / 4;
                    const std::size_t word = reader.byte() % words;
                    out.setU32(start + 4 * word, reader.operand(table(kWords)));
                }
            }
            out.pad();
        }
        std::vector<std::uint8_t>& bytes = out.data();
        bytes.resize(bytes.size() - std::min(cut, bytes.size()));
        // The size word is always there for the plug-in to read; what it claims is the rest.
        bytes.resize(std::max<std::size_t>(bytes.size(), 8));
        const auto body = static_cast<std::uint32_t>(bytes.size() - 8);
        std::memcpy(bytes.data(), &body, 4);
        if (cut > 0) {
            // Cut into the type word too: the size still says what follows.
            std::memcpy(bytes.data() + 4, &type, 4);
        }
        return bytes;
    }

    bool runnable(const InstanceSlot& slot) const
    {
        return slot.active || descriptor->activate == nullptr;
    }

    static bool audioConnected(const InstanceSlot& slot)
    {
        return std::all_of(slot.connections.begin(), slot.connections.begin() + kPortControl,
                           [](Connection c) { return c == Connection::host; });
    }

    static bool statusConnected(const InstanceSlot& slot, std::uint32_t port)
    {
        return slot.connections[port] == Connection::host;
    }

    void run(InstanceSlot& slot)
    {
        const std::uint32_t frames = reader.count(table(kRunFrames), kLv2MaxRunFrames);
        const std::uint8_t flags = reader.byte();
        const std::uint8_t offsetByte = reader.byte();
        const std::uint8_t pattern = reader.byte();

        const bool overBudget = outcome.framesPlayed + frames > kLv2MaxFramesPerInput;
        const bool plays = slot.handle != nullptr && runnable(slot) && !overBudget;
        if (slot.handle != nullptr && !plays) {
            ++outcome.runsSkipped;
            outcome.runsOverBudget += overBudget ? 1 : 0;
        }
        // Where this run's audio goes: the old place unless moved, or it no longer fits.
        const bool inPlace = (flags & kRunInPlace) != 0;
        std::size_t offset = slot.audioOffset;
        const bool reconnect = !slot.audioConnected || inPlace != slot.inPlace ||
                               (flags & kRunMove) != 0 ||
                               offset + frames > kArenaFrames - kGuardFrames;
        if (reconnect) {
            offset = kGuardFrames + offsetByte % (kLv2MaxRunFrames + kMoveFrames - frames + 1);
        }
        std::vector<float> sentLeft(frames);
        std::vector<float> sentRight(frames);
        fillSignal(pick(table(kSignals), pattern), reader, table(kFloats), kLv2MaxRunFrames,
                   sentLeft, sentRight);
        std::size_t eventCount = 0;
        std::vector<std::uint8_t> sequence = readSequence(slot, frames, eventCount);
        if (!plays) {
            return;
        }

        for (std::vector<float>& arena : slot.audio) {
            std::fill(arena.begin(), arena.end(), guardValue());
        }
        std::copy(sentLeft.begin(), sentLeft.end(), slot.audio[kPortInLeft].begin() + offset);
        std::copy(sentRight.begin(), sentRight.end(), slot.audio[kPortInRight].begin() + offset);
        if (reconnect) {
            // A port the host left null or never connected stays so; the binding is documented
            // to skip what is not connected, so the player runs it that way too.
            for (std::uint32_t port = 0; port < kPortControl; ++port) {
                const std::uint32_t buffer = inPlace ? port % 2 : port;
                if (slot.connections[port] == Connection::host) {
                    descriptor->connect_port(slot.handle, port, slot.audio[buffer].data() + offset);
                }
            }
            slot.audioOffset = offset;
            slot.audioConnected = true;
            slot.inPlace = inPlace;
        }
        for (std::uint32_t port = kPortFirstParameter; port < kPortState; ++port) {
            slot.controls[2 * port + 1] = slot.controlValues[port];
        }
        for (std::uint32_t port = kPortState; port < kPortCount; ++port) {
            slot.controls[2 * port + 1] = guardValue();
        }
        const std::array<float, 2 * kPortCount + 1> controlsSent = slot.controls;

        // Exactly sized, so that a read past what the host wrote is an overflow.
        const bool atomConnected =
            slot.connections[kPortControl] == Connection::host && (flags & kRunNullAtom) == 0;
        std::unique_ptr<std::uint8_t[]> atom;
        if (atomConnected) {
            atom = std::make_unique<std::uint8_t[]>(sequence.size());
            std::memcpy(atom.get(), sequence.data(), sequence.size());
            descriptor->connect_port(slot.handle, kPortControl, atom.get());
            outcome.atomEvents += eventCount;
            slot.sentEvents = slot.sentEvents || eventCount > 0;
        } else if (slot.connections[kPortControl] != Connection::never) {
            descriptor->connect_port(slot.handle, kPortControl, nullptr);
        }
        slot.fed.feed(sentLeft);
        slot.fed.feed(sentRight);

        descriptor->run(slot.handle, frames);
        ++outcome.runs;
        outcome.framesPlayed += frames;

        if (atomConnected) {
            // The plug-in keeps no pointer into a sequence past its run.
            if (std::memcmp(atom.get(), sequence.data(), sequence.size()) != 0) {
                fail("run wrote into the atom sequence");
            }
            descriptor->connect_port(slot.handle, kPortControl, nullptr);
            atom.reset();
        }
        const bool processed = audioConnected(slot);
        checkBuffers(slot, offset, frames, processed, inPlace, sentLeft, sentRight);
        checkControls(slot, controlsSent);
        if (processed) {
            checkChannel(slot, sentLeft, slot.audio[inPlace ? 0 : 2].data() + offset, "left");
            checkChannel(slot, sentRight, slot.audio[inPlace ? 1 : 3].data() + offset, "right");
        }
    }

    // With only some audio ports connected the run may write nowhere.
    void checkBuffers(const InstanceSlot& slot, std::size_t offset, std::uint32_t frames,
                      bool processed, bool inPlace, const std::vector<float>& sentLeft,
                      const std::vector<float>& sentRight)
    {
        static constexpr const char* kNames[] = {"in_left", "in_right", "out_left", "out_right"};
        for (std::size_t port = 0; port < 4; ++port) {
            const std::vector<float>& arena = slot.audio[port];
            const bool written = processed && (inPlace ? port < 2 : port >= 2);
            for (std::size_t k = 0; k < arena.size(); ++k) {
                const bool inside = k >= offset && k < offset + frames;
                if (inside && written) {
                    continue;
                }
                // Unwritten inputs hold what was sent; every other place its guard.
                const float expected = !inside || port >= 2 ? guardValue()
                                       : port == 0          ? sentLeft[k - offset]
                                                            : sentRight[k - offset];
                if (!sameBits(arena[k], expected)) {
                    fail(std::string("run wrote ") + (inside ? "into the input " : "outside ") +
                         kNames[port] + " at " + std::to_string(static_cast<long>(k - offset)));
                    return;
                }
            }
        }
    }

    void checkControls(const InstanceSlot& slot,
                       const std::array<float, 2 * kPortCount + 1>& controlsSent)
    {
        for (std::size_t i = 0; i < slot.controls.size(); ++i) {
            if (i >= 2 * kPortState + 1 && i % 2 == 1 && statusConnected(slot, i / 2)) {
                continue; // the outputs
            }
            if (!sameBits(slot.controls[i], controlsSent[i])) {
                fail("run wrote into an input control or a guard, at word " + std::to_string(i));
                return;
            }
        }
        if (!statusConnected(slot, kPortState) || !statusConnected(slot, kPortSlot) ||
            !statusConnected(slot, kPortSlice)) {
            return;
        }
        const float state = slot.controls[2 * kPortState + 1];
        const float position = slot.controls[2 * kPortSlot + 1];
        const float slice = slot.controls[2 * kPortSlice + 1];
        // The parameters give at most 64 x 64 / 4 slices.
        constexpr float kMostSlices = 1024.0f;
        if (!whole(state, 0.0f, 2.0f) || !whole(position, 0.0f, kMostSlices) ||
            !whole(slice, -kMostSlices, kMostSlices)) {
            fail("status outputs out of range: " + std::to_string(state) + " " +
                 std::to_string(position) + " " + std::to_string(slice));
            return;
        }
        const bool playing = state == 2.0f;
        outcome.sawPlaying = outcome.sawPlaying || playing;
        // Playing, Slot may still be 0 where no order position is under way; Slice is then 0.
        if (playing ? position == 0.0f && slice != 0.0f : position != 0.0f || slice != 0.0f) {
            fail("Slot and Slice do not fit State " + std::to_string(state));
        }
    }

    void checkChannel(const InstanceSlot& slot, const std::vector<float>& sent, const float* output,
                      const char* channel)
    {
        const std::string broken =
            checkOutput(slot.fed, sent, output, slot.sentEvents, channel, outcome.framesChanged);
        if (!broken.empty()) {
            fail(broken);
        }
    }

    const LV2_Descriptor* descriptor;
    ByteReader reader;
    UridMap urids;
    std::array<InstanceSlot, kLv2SlotCount> slots{};
    Lv2PlayOutcome outcome;
};

} // namespace

Lv2PlayOutcome playLv2Events(const LV2_Descriptor* descriptor, const std::uint8_t* data,
                             std::size_t size)
{
    Player player(descriptor, data, size);
    return player.run();
}

Lv2SequenceWriter& Lv2SequenceWriter::truncate(std::uint8_t bytes)
{
    cut = bytes;
    return *this;
}

void Lv2SequenceWriter::properties(const std::vector<Lv2Property>& properties)
{
    std::uint8_t mask = 0;
    for (const Lv2Property& p : properties) {
        mask |= static_cast<std::uint8_t>(1u << p.key);
    }
    events.byte(mask);
    // The player reads them in key order.
    for (int key = 0; key < kPositionKeyCount; ++key) {
        for (const Lv2Property& p : properties) {
            if (p.key == key) {
                events.byte(p.type);
                events.operand(table(kValues), p.value);
                break;
            }
        }
    }
}

Lv2SequenceWriter& Lv2SequenceWriter::position(std::uint8_t frameSelector,
                                               std::vector<Lv2Property> list)
{
    events.byte({static_cast<std::uint8_t>(Lv2AtomEventKind::position), frameSelector});
    properties(list);
    ++eventCount;
    return *this;
}

Lv2SequenceWriter& Lv2SequenceWriter::positionAt(std::int64_t frame, std::vector<Lv2Property> list)
{
    events.byte({static_cast<std::uint8_t>(Lv2AtomEventKind::position), 0xFF});
    events.bits(static_cast<std::uint64_t>(frame), 8);
    properties(list);
    ++eventCount;
    return *this;
}

Lv2SequenceWriter& Lv2SequenceWriter::raw(std::uint8_t frameSelector, std::uint8_t typeSelector,
                                          std::vector<std::uint8_t> body, int claimedSize)
{
    events.byte({static_cast<std::uint8_t>(Lv2AtomEventKind::raw), frameSelector, typeSelector});
    if (claimedSize < 0) {
        events.byte(0);
    } else {
        events.byte(0xFF);
        events.bits(static_cast<std::uint64_t>(claimedSize), 2);
    }
    events.byte(static_cast<std::uint8_t>(body.size() % 64));
    for (std::size_t i = 0; i < std::min<std::size_t>(body.size(), 63); ++i) {
        events.byte(body[i]);
    }
    ++eventCount;
    return *this;
}

Lv2SequenceWriter& Lv2SequenceWriter::corrupt(std::uint8_t frameSelector,
                                              std::vector<Lv2Property> list, std::uint8_t word,
                                              std::uint32_t value)
{
    events.byte({static_cast<std::uint8_t>(Lv2AtomEventKind::corrupt), frameSelector});
    properties(list);
    events.byte(word);
    events.operand(table(kWords), value);
    ++eventCount;
    return *this;
}

std::vector<std::uint8_t> Lv2SequenceWriter::bytes() const
{
    ByteWriter all;
    all.byte(cut >= 0 ? header | 16 : header);
    if (cut >= 0) {
        all.byte(static_cast<std::uint8_t>(cut));
    }
    all.byte(static_cast<std::uint8_t>(eventCount % 9));
    all.append(events.bytes());
    return all.bytes();
}

void Lv2EventWriter::call(int slot, Lv2CallKind kind)
{
    out.byte(static_cast<std::uint8_t>((slot % kLv2SlotCount) * kLv2CallKindCount +
                                       static_cast<int>(kind)));
}

Lv2EventWriter& Lv2EventWriter::instantiate(int slot, double sampleRate, std::uint8_t options)
{
    call(slot, Lv2CallKind::instantiate);
    out.operand(table(kSampleRates), sampleRate);
    out.byte(options);
    return *this;
}

Lv2EventWriter& Lv2EventWriter::cleanup(int slot)
{
    call(slot, Lv2CallKind::cleanup);
    return *this;
}

Lv2EventWriter& Lv2EventWriter::activate(int slot)
{
    call(slot, Lv2CallKind::activation);
    out.byte(0);
    return *this;
}

Lv2EventWriter& Lv2EventWriter::deactivate(int slot)
{
    call(slot, Lv2CallKind::activation);
    out.byte(1);
    return *this;
}

Lv2EventWriter& Lv2EventWriter::connect(int slot, std::uint32_t port, bool null)
{
    call(slot, Lv2CallKind::connect);
    out.byte({static_cast<std::uint8_t>(port % kPortCount), static_cast<std::uint8_t>(null)});
    return *this;
}

Lv2EventWriter& Lv2EventWriter::control(int slot, std::uint32_t port, float value)
{
    call(slot, Lv2CallKind::control);
    out.byte(static_cast<std::uint8_t>((port - kPortFirstParameter) % 8));
    out.operand(table(kFloats), value);
    return *this;
}

Lv2EventWriter& Lv2EventWriter::run(int slot, std::uint32_t frames,
                                    const Lv2SequenceWriter& sequence, std::uint8_t flags,
                                    std::uint8_t pattern, std::uint8_t offset, std::uint8_t seed)
{
    call(slot, Lv2CallKind::run);
    out.count(table(kRunFrames), std::min(frames, kLv2MaxRunFrames));
    out.byte({flags, offset, pattern});
    if (pattern % 6 == kLv2InputConstant) {
        out.byte(1); // 1.0f
    } else if (pattern % 6 == kLv2InputNoise || pattern % 6 == kLv2InputOneBad) {
        out.byte(seed);
        if (pattern % 6 == kLv2InputOneBad) {
            out.byte(seed);
        }
    }
    out.append(sequence.bytes());
    return *this;
}

} // namespace vorblexter::fuzzing
