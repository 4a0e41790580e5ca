#include "fuzz/clap_event_player.h"

#include "engine/slice_random.h"

#include <clap/ext/params.h>
#include <clap/ext/state.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>

namespace vorblexter::fuzzing {

namespace {

// Rates, tempos, parameter values and their edges.
constexpr double kDoubles[] = {
    44100.0,  48000.0,    96000.0,    8000.0,      192000.0, 64.0,  63.9,  1.0,    0.0,
    -44100.0, kDoubleNaN, kDoubleInf, -kDoubleInf, 1e12,     5e8,   5.1e8, 120.0,  60.0,
    240.0,    97.35,      1e-30,      1e300,       -1.0,     0.5,   2.0,   2.999,  3.0,
    6.0,      6.5,        7.0,        25.0,        99.9,     100.0, 100.5, 101.0,  10000.0,
    9999.5,   20.0,       1e9,        -1e9,        5e-324,   -0.0,  64.5,  1024.0, 2147483648.0,
};

constexpr std::uint32_t kBlockFrames[] = {0,   1,   2,   3,   16,   64,   100,  128,
                                          256, 333, 512, 997, 1024, 2048, 4095, 4096};

constexpr std::uint32_t kSizes[] = {0, 1, 2, 3, 8, 12, 32, 256};

constexpr float kSentinel = -7777.25f;
constexpr std::size_t kGuard = 16;

// --- what the player hands over ---

const void* noExtension(const clap_host*, const char*)
{
    return nullptr;
}
void noRequest(const clap_host*) {}

constexpr clap_host kHost{CLAP_VERSION_INIT, nullptr,   "fuzz host", "vorblexter", "", "1",
                          noExtension,       noRequest, noRequest,   noRequest};
constexpr clap_host kOldHost{{0, 9, 0}, nullptr,     "old host", "",        "",
                             "0",       noExtension, noRequest,  noRequest, noRequest};

// Each event an allocation of exactly the size its header claims (at least a header).
struct EventList {
    std::vector<std::unique_ptr<std::uint8_t[]>> storage;
    std::vector<const clap_event_header*> headers;
    clap_input_events list{this, size, get};

    static std::uint32_t size(const clap_input_events* list)
    {
        return static_cast<std::uint32_t>(static_cast<EventList*>(list->ctx)->headers.size());
    }
    static const clap_event_header* get(const clap_input_events* list, std::uint32_t index)
    {
        const auto& headers = static_cast<EventList*>(list->ctx)->headers;
        return index < headers.size() ? headers[index] : nullptr;
    }
    template <typename Event> void add(const Event& event, std::uint32_t size)
    {
        const std::uint32_t bytes = std::max<std::uint32_t>(size, sizeof(clap_event_header));
        auto block = std::make_unique<std::uint8_t[]>(bytes);
        std::memcpy(block.get(), &event, std::min<std::size_t>(bytes, sizeof event));
        auto* header = reinterpret_cast<clap_event_header*>(block.get());
        header->size = size;
        headers.push_back(header);
        storage.push_back(std::move(block));
    }
};

struct StatusList {
    std::vector<clap_event_param_value> events;
    bool malformed = false;
    clap_output_events list{this, push};

    static bool push(const clap_output_events* list, const clap_event_header* event)
    {
        auto* self = static_cast<StatusList*>(list->ctx);
        if (event == nullptr || event->size != sizeof(clap_event_param_value) ||
            event->space_id != CLAP_CORE_EVENT_SPACE_ID || event->type != CLAP_EVENT_PARAM_VALUE) {
            self->malformed = true;
            return false;
        }
        self->events.push_back(*reinterpret_cast<const clap_event_param_value*>(event));
        return true;
    }
};

// A memory stream that can also fail: read answering an error (mode 1) or more than asked
// (mode 2); write answering 0 (mode 1), an error (mode 2) or more than asked (mode 3).
struct Stream {
    std::vector<std::uint8_t> bytes;
    std::size_t readAt = 0;
    int failing = 0;
    clap_istream in{this, read};
    clap_ostream out{this, write};

    static std::int64_t read(const clap_istream* stream, void* buffer, std::uint64_t size)
    {
        auto* self = static_cast<Stream*>(stream->ctx);
        if (self->failing != 0) {
            return self->failing == 1 ? -1 : static_cast<std::int64_t>(size + 1);
        }
        const std::size_t n = std::min<std::uint64_t>({size, 5, self->bytes.size() - self->readAt});
        if (n > 0) {
            std::memcpy(buffer, self->bytes.data() + self->readAt, n);
        }
        self->readAt += n;
        return static_cast<std::int64_t>(n);
    }
    static std::int64_t write(const clap_ostream* stream, const void* buffer, std::uint64_t size)
    {
        auto* self = static_cast<Stream*>(stream->ctx);
        if (self->failing != 0) {
            return self->failing == 1   ? 0
                   : self->failing == 2 ? -1
                                        : static_cast<std::int64_t>(size + 5);
        }
        const std::size_t n = std::min<std::uint64_t>(size, 3);
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        self->bytes.insert(self->bytes.end(), bytes, bytes + n);
        return static_cast<std::int64_t>(n);
    }
};

struct Slot {
    const clap_plugin* plugin = nullptr;
    const clap_plugin_params* params = nullptr;
    const clap_plugin_state* state = nullptr;
    bool initialized = false;
    bool active = false;
    bool processing = false;
    double rate = 44100.0;
    bool everTransport = false;
    InputHistory fed;
};

bool usableRate(double rate)
{
    // Four beats at 120, cut down to whole frames, must make a loop the engine can hold.
    const double loop = std::trunc(2.0 * rate);
    return std::isfinite(rate) && rate > 0.0 && loop >= 128.0 && loop <= 1e9;
}

class Player {
public:
    Player(const clap_plugin_factory* factory, const std::uint8_t* data, std::size_t size)
        : factory(factory), reader(data, size)
    {
    }

    ClapPlayOutcome play()
    {
        threadSliceRandom().state = 1;
        while (!reader.atEnd() && out.ok) {
            const std::uint8_t call = reader.byte();
            Slot& slot =
                slots[static_cast<std::size_t>((call / kClapCallKindCount) % kClapSlotCount)];
            ++out.calls;
            switch (static_cast<ClapCallKind>(call % kClapCallKindCount)) {
            case ClapCallKind::create:
                create(slot);
                break;
            case ClapCallKind::activate:
                activate(slot);
                break;
            case ClapCallKind::deactivate:
                if (slot.plugin != nullptr) {
                    slot.plugin->deactivate(slot.plugin);
                    slot.active = slot.processing = false;
                }
                break;
            case ClapCallKind::start:
                if (slot.plugin != nullptr) {
                    const bool expected = slot.active && !slot.processing;
                    check(slot.plugin->start_processing(slot.plugin) == expected,
                          "start_processing answered against the lifecycle");
                    slot.processing = slot.processing || expected;
                }
                break;
            case ClapCallKind::stop:
                if (slot.plugin != nullptr) {
                    slot.plugin->stop_processing(slot.plugin);
                    slot.processing = false;
                }
                break;
            case ClapCallKind::reset:
                if (slot.plugin != nullptr) {
                    slot.plugin->reset(slot.plugin);
                }
                break;
            case ClapCallKind::process:
                process(slot);
                break;
            case ClapCallKind::flush: {
                EventList events;
                readEvents(slot, 0, events);
                if (slot.params != nullptr) {
                    slot.params->flush(slot.plugin, &events.list, nullptr);
                }
                break;
            }
            case ClapCallKind::state:
                state(slot);
                break;
            case ClapCallKind::query:
                query(slot);
                break;
            default:
                destroy(slot);
                break;
            }
        }
        for (Slot& slot : slots) {
            destroy(slot);
        }
        return out;
    }

private:
    void check(bool condition, const char* what)
    {
        if (!condition) {
            out.fail("call", out.calls, what);
        }
    }

    double real() { return reader.operand(table(kDoubles)); }

    void destroy(Slot& slot)
    {
        if (slot.plugin != nullptr) {
            slot.plugin->destroy(slot.plugin);
        }
        slot = Slot{};
    }

    void create(Slot& slot)
    {
        const std::uint8_t options = reader.byte();
        if (out.instancesMade >= kClapMaxInstancesPerInput) {
            return;
        }
        destroy(slot);
        const clap_host* host = (options & kCreateNullHost) != 0  ? nullptr
                                : (options & kCreateOldHost) != 0 ? &kOldHost
                                                                  : &kHost;
        const char* id = (options & kCreateWrongId) != 0
                             ? "vorblexter.vorblexter2"
                             : factory->get_plugin_descriptor(factory, 0)->id;
        const clap_plugin* plugin = factory->create_plugin(factory, host, id);
        const bool lawful = (options & (kCreateNullHost | kCreateOldHost | kCreateWrongId)) == 0;
        check((plugin != nullptr) == lawful, "create_plugin answered against the host and id");
        if (plugin == nullptr) {
            return;
        }
        ++out.instancesMade;
        slot.plugin = plugin;
        slot.params =
            static_cast<const clap_plugin_params*>(plugin->get_extension(plugin, CLAP_EXT_PARAMS));
        slot.state =
            static_cast<const clap_plugin_state*>(plugin->get_extension(plugin, CLAP_EXT_STATE));
        check(slot.params != nullptr && slot.state != nullptr, "no params or state extension");
        if ((options & kCreateNoInit) == 0) {
            slot.initialized = plugin->init(plugin);
            check(slot.initialized, "init refused");
            if ((options & kCreateInitTwice) != 0) {
                check(!plugin->init(plugin), "a second init was accepted");
            }
        }
    }

    void activate(Slot& slot)
    {
        double rate = real();
        if (slot.plugin == nullptr) {
            return;
        }
        // Until a host flags a tempo the engine takes 120, whose beat lasts rate / 2 frames.
        if (usableRate(rate) && rate > kClapMaxRate) {
            rate = 64.0 + std::fmod(rate, kClapMaxRate - 64.0);
        }
        const bool expected = slot.initialized && !slot.active && usableRate(rate);
        check(slot.plugin->activate(slot.plugin, rate, 1, kClapMaxBlockFrames) == expected,
              "activate answered against the lifecycle or the rate");
        if (expected) {
            slot.active = true;
            slot.rate = rate;
        }
    }

    clap_event_transport readTransport(const Slot& slot, std::uint32_t time)
    {
        clap_event_transport t{};
        t.header = {sizeof t, time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_TRANSPORT, 0};
        t.flags = reader.byte();
        const std::uint8_t mode = reader.byte() % 3;
        if (mode == 2) {
            t.song_pos_seconds = static_cast<clap_sectime>(reader.bits(8));
        } else {
            const double frames = static_cast<double>(static_cast<std::uint32_t>(reader.bits(4)));
            const double fixed =
                std::floor(frames / slot.rate * static_cast<double>(CLAP_SECTIME_FACTOR));
            t.song_pos_seconds = static_cast<clap_sectime>(mode == 1 ? -fixed : fixed);
        }
        double tempo = real();
        const double beat = 60.0 / tempo * slot.rate;
        // A beat longer than the longest loop the engine holds is refused at any Loop Length.
        if (std::isfinite(tempo) && tempo > 0.0 && beat > kClapMaxFramesPerBeat && beat <= 1e9) {
            tempo = 60.0 * slot.rate / (1.0 + std::fmod(beat, kClapMaxFramesPerBeat));
        }
        t.tempo = tempo;
        const std::uint8_t numerator = reader.byte();
        t.tsig_num = numerator < 200 ? numerator : static_cast<std::uint16_t>(reader.bits(2));
        t.tsig_denom = 4;
        return t;
    }

    void readEvents(const Slot& slot, std::uint32_t frames, EventList& events)
    {
        const int count = reader.byte() % 9;
        std::uint32_t previous = 0;
        for (int e = 0; e < count; ++e) {
            const auto kind = static_cast<ClapEventKind>(reader.byte() % 3);
            const std::uint8_t size = reader.byte();
            const std::uint8_t timeSelector = reader.byte();
            const std::uint32_t times[] = {
                0,          1,          frames / 2, frames > 0 ? frames - 1 : 0,
                frames,     frames + 7, previous,   previous > 0 ? previous - 1 : 0,
                0xFFFFFFFFu};
            const std::uint32_t time = timeSelector < 200
                                           ? times[timeSelector % std::size(times)]
                                           : static_cast<std::uint32_t>(reader.bits(4));
            previous = time;
            if (kind == ClapEventKind::param) {
                clap_event_param_value p{};
                p.header = {sizeof p, time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
                const std::uint8_t id = reader.byte();
                p.param_id = id < 16 ? id : static_cast<clap_id>(reader.bits(4));
                p.note_id = -1;
                p.value = real();
                events.add(p, size == 0 ? sizeof p : size);
            } else if (kind == ClapEventKind::transport) {
                const clap_event_transport t = readTransport(slot, time);
                events.add(t, size == 0 ? sizeof t : size);
            } else {
                clap_event_transport raw{};
                raw.header.time = time;
                raw.header.space_id = static_cast<std::uint16_t>(reader.bits(2));
                raw.header.type = static_cast<std::uint16_t>(reader.bits(2));
                raw.flags = CLAP_TRANSPORT_IS_PLAYING | CLAP_TRANSPORT_HAS_SECONDS_TIMELINE;
                events.add(raw, size == 0 ? sizeof raw : size);
            }
        }
        out.events += events.headers.size();
    }

    void process(Slot& slot)
    {
        const std::uint32_t frames = kBlockFrames[reader.byte() % std::size(kBlockFrames)];
        const std::uint8_t buffers = reader.byte();
        const std::uint8_t pattern = reader.byte() % 5;
        const float constant = static_cast<float>(pattern == 3 ? real() : 0.0);
        const std::uint8_t seed = pattern >= 2 ? reader.byte() : 0;
        const std::uint8_t badAt = pattern == 4 ? reader.byte() : 0;
        const bool hasTransport = (reader.byte() & 1) != 0;
        clap_event_transport transport{};
        if (hasTransport) {
            transport = readTransport(slot, 0);
        }
        EventList events;
        readEvents(slot, frames, events);
        if (slot.plugin == nullptr || out.framesPlayed + frames > kClapMaxFramesPerInput) {
            return;
        }
        out.framesPlayed += frames;

        // The four channels, each between guard zones.
        const bool inPlace = (buffers & kBuffersInPlace) != 0;
        std::array<std::vector<float>, 4> memory;
        for (auto& channel : memory) {
            channel.assign(frames + 2 * kGuard, kSentinel);
        }
        std::uint32_t noise = seed * 2654435761u + 1;
        for (std::uint32_t k = 0; k < frames; ++k) {
            for (int c = 0; c < 2; ++c) {
                float value = 0.0f;
                switch (pattern) {
                case 1:
                    value = static_cast<float>(k) * (c == 0 ? 1e-4f : -1e-4f);
                    break;
                case 2:
                case 4:
                    noise = noise * 1664525u + 1013904223u;
                    value = static_cast<float>(static_cast<std::int32_t>(noise)) / 2147483648.0f;
                    break;
                case 3:
                    value = constant;
                    break;
                default:
                    break;
                }
                if (pattern == 4 && k == badAt % frames && c == 0) {
                    value = (seed & 1) != 0 ? kFloatNaN : kFloatInf;
                }
                memory[static_cast<std::size_t>(c)][kGuard + k] = value;
            }
        }
        const std::array<std::vector<float>, 4> before = memory;
        const std::size_t outFirst = inPlace ? 0 : 2;
        float* inChannels[2] = {memory[0].data() + kGuard, memory[1].data() + kGuard};
        float* outChannels[2] = {memory[outFirst].data() + kGuard,
                                 memory[outFirst + 1].data() + kGuard};
        if ((buffers & kBuffersNullChannel) != 0) {
            inChannels[1] = nullptr;
        }
        const bool mono = (buffers & kBuffersMono) != 0;
        clap_audio_buffer inBuffer{inChannels, nullptr, 2, 0, 0};
        clap_audio_buffer outBuffer{outChannels, nullptr, mono ? 1u : 2u, 0, 0};
        const bool noOutput = (buffers & kBuffersNoOutput) != 0;
        StatusList status;
        const bool noEvents = (buffers & kBuffersNoEvents) != 0;
        const clap_process record{-1,
                                  frames,
                                  hasTransport ? &transport : nullptr,
                                  &inBuffer,
                                  noOutput ? nullptr : &outBuffer,
                                  1,
                                  noOutput ? 0u : 1u,
                                  noEvents ? nullptr : &events.list,
                                  noEvents ? nullptr : &status.list};
        const bool nullRecord = (buffers & kBuffersNullProcess) != 0;
        const clap_process_status answer =
            slot.plugin->process(slot.plugin, nullRecord ? nullptr : &record);

        const bool stereo =
            (buffers & (kBuffersMono | kBuffersNoOutput | kBuffersNullChannel)) == 0;
        const bool expected =
            !nullRecord && slot.active && slot.processing && (stereo || frames == 0);
        check((answer == CLAP_PROCESS_CONTINUE) == expected,
              "process answered against the lifecycle or the buffers");
        check(answer == CLAP_PROCESS_CONTINUE || answer == CLAP_PROCESS_ERROR, "an unknown status");
        check(!status.malformed, "a malformed status event");
        const bool played = expected && stereo && frames > 0;
        if (!played) {
            for (std::size_t c = 0; c < 4; ++c) {
                check(std::ranges::equal(memory[c], before[c], sameBits),
                      "a refused block changed the buffers");
            }
            answer == CLAP_PROCESS_CONTINUE ? ++out.processed : ++out.refused;
            return;
        }
        ++out.processed;
        slot.everTransport = slot.everTransport || hasTransport;
        for (std::size_t c = 0; c < 4; ++c) {
            const bool output = c >= outFirst && c < outFirst + 2;
            for (std::size_t k = 0; k < memory[c].size(); ++k) {
                const bool guard = k < kGuard || k >= kGuard + frames;
                if ((guard || !output) && !sameBits(memory[c][k], before[c][k])) {
                    check(false,
                          guard ? "a write outside the output buffers" : "an input buffer changed");
                    return;
                }
            }
        }
        // An instance never given a transport must pass its input through.
        const std::span<const float> sent[2] = {{before[0].data() + kGuard, frames},
                                                {before[1].data() + kGuard, frames}};
        slot.fed.feed(sent[0]);
        slot.fed.feed(sent[1]);
        for (std::size_t c = 0; c < 2; ++c) {
            const std::string broken =
                checkOutput(slot.fed, sent[c], memory[outFirst + c].data() + kGuard,
                            slot.everTransport, c == 0 ? "left" : "right", out.framesChanged);
            check(broken.empty(), broken.c_str());
        }
        for (const clap_event_param_value& e : status.events) {
            ++out.statusEvents;
            const double limit = e.param_id == 8 ? 2.0 : 1024.0;
            const double lowest = e.param_id == 10 ? -1024.0 : 0.0;
            check(e.param_id >= 8 && e.param_id <= 10 && whole(e.value, lowest, limit) &&
                      e.header.time < frames,
                  "a status event out of its range or its block");
            out.sawPlaying = out.sawPlaying || (e.param_id == 8 && e.value == 2.0);
        }
    }

    std::vector<std::uint8_t> saved(const Slot& slot)
    {
        Stream stream;
        check(slot.state->save(slot.plugin, &stream.out), "save refused");
        check(stream.bytes.size() == 40, "a saved record that is not 40 bytes");
        return stream.bytes;
    }

    void state(Slot& slot)
    {
        const auto operation = static_cast<ClapStateOperation>(reader.byte() % 4);
        Stream stream;
        if (operation == ClapStateOperation::saveLoad) {
            Slot& target = slots[reader.byte() % kClapSlotCount];
            if (slot.plugin == nullptr || target.plugin == nullptr) {
                return;
            }
            stream.bytes = saved(slot);
            check(target.state->load(target.plugin, &stream.in), "our own record was refused");
            check(saved(target) == stream.bytes, "a loaded record saves differently");
            ++out.statesLoaded;
            return;
        }
        if (operation == ClapStateOperation::loadBytes) {
            const std::uint8_t length = reader.byte() % 64;
            for (int i = 0; i < length; ++i) {
                stream.bytes.push_back(reader.byte());
            }
            if (!stream.bytes.empty() && stream.bytes[0] < 128) {
                // Our tag, and below 64 our version too, so that the fields behind them count.
                const std::size_t prefix = stream.bytes[0] < 64 ? 8 : 4;
                stream.bytes.erase(stream.bytes.begin());
                const std::uint8_t tag[8] = {'v', 'b', 'x', '1', 1, 0, 0, 0};
                stream.bytes.insert(stream.bytes.begin(), tag, tag + prefix);
            }
        } else {
            stream.failing =
                1 + reader.byte() % (operation == ClapStateOperation::failingRead ? 2 : 3);
        }
        if (slot.plugin == nullptr) {
            return;
        }
        if (operation == ClapStateOperation::failingSave) {
            check(!slot.state->save(slot.plugin, &stream.out), "a save through a failing stream");
            return;
        }
        const std::vector<std::uint8_t> held = saved(slot);
        const bool loaded = slot.state->load(slot.plugin, &stream.in);
        const std::vector<std::uint8_t> now = saved(slot);
        if (!loaded) {
            check(now == held, "a refused load changed the settings");
            return;
        }
        ++out.statesLoaded;
        check(stream.failing == 0 && stream.bytes.size() == 40 &&
                  std::memcmp(stream.bytes.data(), "vbx1\1\0\0\0", 8) == 0,
              "a load accepted a record that is not ours");
        check(now == stream.bytes, "a loaded record saves differently");
    }

    void query(Slot& slot)
    {
        const std::uint8_t idByte = reader.byte();
        const clap_id id = idByte < 16 ? idByte : static_cast<clap_id>(reader.bits(4));
        const double value = real();
        const std::uint32_t size = kSizes[reader.byte() % std::size(kSizes)];
        char typed[32] = {};
        const int length = reader.byte() % 24;
        for (int i = 0; i < length; ++i) {
            typed[i] = static_cast<char>(reader.byte());
        }
        if (slot.params == nullptr) {
            return;
        }
        const bool known = id < 11;
        clap_param_info info{};
        check(slot.params->get_info(slot.plugin, id, &info) == known,
              "get_info answered against the id");
        const auto inRange = [&](double v) { return whole(v, info.min_value, info.max_value); };
        double held = kDoubleNaN;
        check(slot.params->get_value(slot.plugin, id, &held) == known,
              "get_value answered against the id");
        check(!known || inRange(held), "a parameter value out of range");

        char text[256];
        std::memset(text, 'x', sizeof text);
        const bool written = slot.params->value_to_text(slot.plugin, id, value, text, size);
        check(!written || (known && std::memchr(text, '\0', size) != nullptr),
              "a text not terminated in its space");
        check(written || !known || size < 32, "value_to_text refused a known id with room");
        check(std::all_of(text + std::min<std::size_t>(size, sizeof text), text + sizeof text,
                          [](char c) { return c == 'x'; }),
              "value_to_text wrote past its space");
        double read = kDoubleNaN;
        if (slot.params->text_to_value(slot.plugin, id, typed, &read)) {
            check(known && inRange(read), "text_to_value read a value out of range");
        }
        if (written) {
            check(slot.params->text_to_value(slot.plugin, id, text, &read) && inRange(read),
                  "a parameter's own text does not read back");
        }
    }

    const clap_plugin_factory* factory;
    ByteReader reader;
    ClapPlayOutcome out;
    std::array<Slot, kClapSlotCount> slots;
};

// --- seeds ---

class Writer {
public:
    Writer& call(ClapCallKind kind, int slot = 0)
    {
        return byte(static_cast<std::uint8_t>(static_cast<int>(kind) + kClapCallKindCount * slot));
    }
    Writer& byte(std::initializer_list<std::uint8_t> list)
    {
        out.byte(list);
        return *this;
    }
    Writer& byte(std::uint8_t b) { return byte({b}); }
    Writer& raw(std::uint64_t value, int count)
    {
        out.bits(value, count);
        return *this;
    }
    // Always raw, as the committed seeds were written.
    Writer& real(double value)
    {
        return byte(kRawSelector).raw(std::bit_cast<std::uint64_t>(value), 8);
    }
    // A transport without the presence byte: playing at `frame`, every field flagged.
    Writer& transport(std::uint32_t frame, double tempo, std::uint8_t numerator = 4,
                      std::uint8_t flags = 0x1D)
    {
        byte({flags, 0}).raw(frame, 4).real(tempo).byte(numerator);
        return numerator < 200 ? *this : raw(numerator * 100u, 2);
    }
    Writer& param(std::uint8_t timeSelector, std::uint8_t id, double value)
    {
        return byte({static_cast<std::uint8_t>(ClapEventKind::param), 0, timeSelector, id})
            .real(value);
    }
    // A process call of 512 frames of noise with a transport and `events` (count included).
    Writer& block(int slot, std::uint32_t frame, double tempo, const Writer& events)
    {
        call(ClapCallKind::process, slot).byte({10, 0, 2, static_cast<std::uint8_t>(frame), 1});
        transport(frame, tempo);
        out.append(events.bytes());
        return *this;
    }
    Writer& started(int slot, double rate = 44100.0)
    {
        call(ClapCallKind::create, slot).byte(0).call(ClapCallKind::activate, slot).real(rate);
        return call(ClapCallKind::start, slot);
    }

    const std::vector<std::uint8_t>& bytes() const { return out.bytes(); }

private:
    ByteWriter out;
};

} // namespace

ClapPlayOutcome playClapEvents(const clap_plugin_factory* factory, const std::uint8_t* data,
                               std::size_t size)
{
    return Player(factory, data, size).play();
}

std::vector<std::vector<std::uint8_t>> clapSeedInputs()
{
    std::vector<std::vector<std::uint8_t>> seeds;
    const Writer none = Writer().byte(0);

    // A loop captured and played, with settings and a relocation inside blocks.
    Writer loop;
    loop.started(0);
    for (std::uint32_t b = 0; b < 24; ++b) {
        Writer events;
        events.byte(b % 6 == 3 ? 2 : 0);
        if (b % 6 == 3) {
            events.param(2, static_cast<std::uint8_t>(b % 8), 1.0 + b % 3);
            events.byte({static_cast<std::uint8_t>(ClapEventKind::transport), 0, 3})
                .transport(b * 512 + 100, 120.0);
        }
        loop.block(0, b * 512, 120.0, events);
    }
    seeds.push_back(loop.bytes());

    // Two instances: settings flushed and carried over by state, records of every kind loaded.
    Writer state;
    state.started(0).started(1, 48000.0);
    state.call(ClapCallKind::flush, 0).byte(3).param(0, 0, 40.0).param(0, 3, 5.0).param(0, 7, 1.0);
    state.call(ClapCallKind::state, 0).byte(0).byte(1);
    state.call(ClapCallKind::state, 1).byte({1, 33, 0});
    for (const std::uint32_t quantity : {0x2A, 25, 0, 8, 20, 1, 0, 4}) {
        state.raw(quantity, 4);
    }
    state.call(ClapCallKind::state, 1).byte({1, 37, 64}).raw(2, 4);
    for (const std::uint32_t quantity : {0, 25, 0, 4, 20, 1, 0, 4}) {
        state.raw(quantity, 4); // the defaults, in a record of a later version
    }
    state.call(ClapCallKind::state, 1).byte({2, 0}).call(ClapCallKind::state, 1).byte({3, 2});
    for (std::uint32_t b = 0; b < 8; ++b) {
        state.block(1, b * 512, 100.0, none);
    }
    seeds.push_back(state.bytes());

    // The lifecycle out of order, broken buffers and hostile events and queries.
    Writer hostile;
    hostile.call(ClapCallKind::create, 0).byte(kCreateNullHost);
    hostile.call(ClapCallKind::create, 1).byte(kCreateOldHost);
    hostile.call(ClapCallKind::create, 2).byte(kCreateNoInit);
    hostile.call(ClapCallKind::activate, 2).real(44100.0);
    hostile.call(ClapCallKind::create, 0).byte(kCreateInitTwice);
    hostile.call(ClapCallKind::process, 0).byte({10, 0, 1, 0, 0});
    hostile.call(ClapCallKind::activate, 0).real(kDoubleNaN);
    hostile.call(ClapCallKind::activate, 0).real(63.9);
    hostile.started(1);
    for (const std::uint8_t buffers : {kBuffersMono, kBuffersNoOutput, kBuffersNullChannel,
                                       kBuffersNullProcess, kBuffersNoEvents, kBuffersInPlace}) {
        hostile.call(ClapCallKind::process, 1).byte({8, buffers, 4, 7, 9, 1});
        hostile.transport(1000, kDoubleNaN, 0, 0xFF);
        hostile.byte(4).param(1, 99, kDoubleNaN).param(4, 3, kDoubleInf);
        hostile.byte({static_cast<std::uint8_t>(ClapEventKind::transport), 20, 2});
        hostile.transport(5, -1.0, 250);
        hostile.byte({static_cast<std::uint8_t>(ClapEventKind::raw), 0, 6}).raw(3, 2);
        hostile.raw(CLAP_EVENT_PARAM_VALUE, 2);
    }
    for (std::uint8_t id = 0; id < 12; ++id) {
        hostile.call(ClapCallKind::query, 1).byte(id).real(2.5 * id);
        hostile.byte({static_cast<std::uint8_t>(id % 8), 3, '2', ' ', '%'});
    }
    for (const ClapCallKind kind : {ClapCallKind::reset, ClapCallKind::deactivate,
                                    ClapCallKind::start, ClapCallKind::destroy}) {
        hostile.call(kind, 1);
    }
    seeds.push_back(hostile.bytes());
    return seeds;
}

} // namespace vorblexter::fuzzing
