#include "tests/audit/audit_hosts.h"

#include "lv2/plugin_descriptor.h"
#include "lv2/ports.h"
#include "tests/audit/audio_audit.h"
#include "tests/support/effect_driver.h"

#include <lv2/atom/forge.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace vorblexter::audit {

namespace {

// A sine on the left, its negation on the right: every frame differs from silence.
void fillInput(std::vector<float>& left, std::vector<float>& right, std::int64_t start)
{
    for (std::size_t k = 0; k < left.size(); ++k) {
        left[k] = static_cast<float>(std::sin(0.001 * static_cast<double>(start + k)));
        right[k] = -left[k];
    }
}

class VstSessionHost final : public SessionHost {
public:
    explicit VstSessionHost(const HostSetup& setup)
        : fx(host,
             [&] {
                 host.setTransport(setup.tempo, setup.sampleRate);
                 host.timeInfo.samplePos = 1.0;
                 AEffect* const effect = audited(host.createEffect());
                 if (effect == nullptr) {
                     throw std::runtime_error("the VST library made no effect");
                 }
                 return effect;
             }()),
          frames(setup.blockFrames), left(frames), right(frames)
    {
        fx.resume();
    }

    std::string name() const override { return "VST 2.x"; }

    void setQuantity(ParameterIndex index, std::int32_t quantity) override
    {
        fx.setParameter(index, hostValueFromQuantity(kParameters[index], quantity));
    }

    void setTempo(double tempo) override { host.timeInfo.tempo = tempo; }
    void locate(double frame) override { host.timeInfo.samplePos = frame; }

    void play(std::int64_t total) override
    {
        for (std::int64_t done = 0; done < total; done += frames) {
            fillInput(left, right, clock);
            float* inputs[2] = {left.data(), right.data()};
            fx.block(inputs, inputs, frames);
            clock += frames;
        }
    }

    bool playing() override { return fx.engine().status().phase == EnginePhase::playing; }

private:
    testing::TestHost host;
    testing::EffectDriver fx;
    std::int32_t frames;
    std::vector<float> left, right;
    std::int64_t clock = 0;
};

class UridMap {
public:
    LV2_URID map(const char* uri)
    {
        for (std::size_t i = 0; i < uris.size(); ++i) {
            if (uris[i] == uri) {
                return static_cast<LV2_URID>(i + 1);
            }
        }
        uris.emplace_back(uri);
        return static_cast<LV2_URID>(uris.size());
    }
    LV2_URID_Map feature{this, [](LV2_URID_Map_Handle handle, const char* uri) {
                             return static_cast<UridMap*>(handle)->map(uri);
                         }};

private:
    std::vector<std::string> uris;
};

class Lv2SessionHost final : public SessionHost {
public:
    Lv2SessionHost(const HostSetup& setup, bool withWorker)
        : descriptor(audited(lv2::pluginDescriptor())), worker(withWorker), rate(setup.sampleRate),
          tempo(setup.tempo), frames(setup.blockFrames), left(frames), right(frames), sequence(4096)
    {
        for (std::size_t i = 0; i < kParameterCount; ++i) {
            controls[i] = static_cast<float>(kParameters[i].defaultQuantity);
        }
        lv2_atom_forge_init(&forge, &urids.feature);
        const LV2_Feature map{LV2_URID__map, &urids.feature};
        const LV2_Feature schedule{LV2_WORKER__schedule, &scheduleFeature};
        const LV2_Feature* features[] = {&map, worker ? &schedule : nullptr, nullptr};
        handle = descriptor->instantiate(descriptor, rate, "/nonexistent/", features);
        if (handle == nullptr) {
            throw std::runtime_error("the LV2 descriptor made no instance");
        }
        workerInterface = static_cast<const LV2_Worker_Interface*>(
            descriptor->extension_data(LV2_WORKER__interface));
        descriptor->connect_port(handle, lv2::kInLeft, left.data());
        descriptor->connect_port(handle, lv2::kInRight, right.data());
        descriptor->connect_port(handle, lv2::kOutLeft, left.data());
        descriptor->connect_port(handle, lv2::kOutRight, right.data());
        descriptor->connect_port(handle, lv2::kControl, sequence.data());
        for (std::uint32_t i = 0; i < kParameterCount; ++i) {
            descriptor->connect_port(handle, lv2::kFirstParameterPort + i, &controls[i]);
        }
        for (std::uint32_t i = 0; i < 3; ++i) {
            descriptor->connect_port(handle, lv2::kStatePort + i, &status[i]);
        }
        descriptor->activate(handle);
    }

    ~Lv2SessionHost() override
    {
        descriptor->deactivate(handle);
        descriptor->cleanup(handle);
    }

    std::string name() const override
    {
        return worker ? "LV2 with the host's worker" : "LV2 without a worker";
    }

    void setQuantity(ParameterIndex index, std::int32_t quantity) override
    {
        controls[static_cast<std::size_t>(index)] = static_cast<float>(quantity);
    }

    void setTempo(double value) override
    {
        tempo = value;
        positionDue = true;
    }

    void locate(double value) override
    {
        frame = value;
        positionDue = true;
    }

    void play(std::int64_t total) override
    {
        for (std::int64_t done = 0; done < total; done += frames) {
            fillInput(left, right, clock);
            writeSequence();
            descriptor->run(handle, static_cast<std::uint32_t>(frames));
            frame += frames;
            clock += frames;
            // The worker runs between blocks, never inside run.
            if (workRequested && workerInterface != nullptr) {
                workRequested = false;
                workerInterface->work(handle, nullptr, nullptr, 0, nullptr);
                ++runs;
            }
        }
    }

    bool playing() override { return status[0] == 2.0f; }
    std::int32_t workerRuns() const override { return runs; }

private:
    // A time:Position at frame 0 of the block whenever the transport changed, as hosts send it.
    void writeSequence()
    {
        lv2_atom_forge_set_buffer(&forge, sequence.data(), sequence.size());
        LV2_Atom_Forge_Frame outer;
        lv2_atom_forge_sequence_head(&forge, &outer, 0);
        if (positionDue) {
            positionDue = false;
            LV2_Atom_Forge_Frame object;
            lv2_atom_forge_frame_time(&forge, 0);
            lv2_atom_forge_object(&forge, &object, 0, urids.map(LV2_TIME__Position));
            lv2_atom_forge_key(&forge, urids.map(LV2_TIME__frame));
            lv2_atom_forge_long(&forge, static_cast<std::int64_t>(frame));
            lv2_atom_forge_key(&forge, urids.map(LV2_TIME__speed));
            lv2_atom_forge_float(&forge, 1.0f);
            lv2_atom_forge_key(&forge, urids.map(LV2_TIME__beatsPerMinute));
            lv2_atom_forge_float(&forge, static_cast<float>(tempo));
            lv2_atom_forge_key(&forge, urids.map(LV2_TIME__beatsPerBar));
            lv2_atom_forge_float(&forge, 4.0f);
            lv2_atom_forge_pop(&forge, &object);
        }
        lv2_atom_forge_pop(&forge, &outer);
    }

    static LV2_Worker_Status schedule(LV2_Worker_Schedule_Handle host, uint32_t, const void*)
    {
        static_cast<Lv2SessionHost*>(host)->workRequested = true;
        return LV2_WORKER_SUCCESS;
    }

    UridMap urids;
    LV2_Atom_Forge forge{};
    const LV2_Descriptor* descriptor;
    bool worker;
    double rate;
    double tempo;
    double frame = 1.0;
    bool positionDue = true;
    std::int32_t frames;
    std::vector<float> left, right;
    std::vector<std::uint8_t> sequence;
    std::array<float, kParameterCount> controls{};
    std::array<float, 3> status{};
    LV2_Worker_Schedule scheduleFeature{this, schedule};
    const LV2_Worker_Interface* workerInterface = nullptr;
    bool workRequested = false;
    std::int32_t runs = 0;
    LV2_Handle handle = nullptr;
    std::int64_t clock = 0;
};

// Plays until a new loop has been captured: the one in capture, or the next one after the
// playing loop's wrap restarts the capture; then a little of it.
void untilNewLoop(SessionHost& host, double seconds, double rate)
{
    const auto step = static_cast<std::int64_t>(rate / 8);
    bool restarted = !host.playing();
    for (double played = 0.0; played < seconds; played += 0.125) {
        host.play(step);
        if (!host.playing()) {
            restarted = true;
        } else if (restarted) {
            host.play(step);
            return;
        }
    }
    throw std::runtime_error(host.name() + ": no new loop was captured");
}

} // namespace

std::unique_ptr<SessionHost> vstHost(const HostSetup& setup)
{
    return std::make_unique<VstSessionHost>(setup);
}

std::unique_ptr<SessionHost> lv2Host(const HostSetup& setup, bool withWorker)
{
    return std::make_unique<Lv2SessionHost>(setup, withWorker);
}

void playGrowthSession(SessionHost& host, const HostSetup& setup)
{
    const double rate = setup.sampleRate;
    // Waits out the loop playing (its wrap restarts the capture) and the capture of the new one.
    const auto wait = [&](int oldBeats, int newBeats, double tempo) {
        untilNewLoop(host, (oldBeats + newBeats) * 60.0 / tempo + 2.0, rate);
    };
    wait(0, 4, setup.tempo); // the first capture
    int beats = 4;
    for (const int next : {8, 64, 16, 64}) {
        host.setQuantity(kLoopLength, next);
        wait(beats, next, setup.tempo);
        beats = next;
    }
    // A relocation forward while playing moves nothing but the transport.
    host.locate(1.0e6);
    host.play(static_cast<std::int64_t>(rate));
    // At half the tempo 32 beats fill the held pair, and 64 outgrow it.
    const double slower = setup.tempo / 2.0;
    host.setTempo(slower);
    for (const int next : {32, 64}) {
        host.setQuantity(kLoopLength, next);
        wait(beats, next, slower);
        beats = next;
    }
}

} // namespace vorblexter::audit
