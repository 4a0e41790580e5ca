#include "tests/clap/clap_session.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vorblexter::claptest {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class Random {
public:
    explicit Random(std::uint32_t seed) : state(seed) {}

    // 0 to n - 1.
    std::uint32_t below(std::uint32_t n)
    {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % n;
    }
    bool oneIn(std::uint32_t n) { return below(n) == 0; }

private:
    std::uint32_t state;
};

// The host's own transport, as it moves through a session.
struct Host {
    double frame = 0.0;
    bool playing = true;
    double tempo = 120.0;
    std::uint16_t beatsPerBar = 4;
    double rate = 44100.0;

    double barFrames() const { return beatsPerBar * 60.0 / tempo * rate; }

    Report report() const { return {playing, frame, tempo, beatsPerBar}; }
};

// A value for a setting: mostly one it can hold, sometimes between steps, outside the range or
// NaN. Loop Length stays at 8 beats or fewer, so that its loops are captured and play.
double settingValue(Random& random, clap_id id)
{
    if (id == 7) {
        static constexpr double kLoopValues[] = {0.0, 1.0, 2.0, 3.0, 1.5, -4.0, kNaN};
        return kLoopValues[random.below(7)];
    }
    const bool step = id == 3 || id == 5;
    const double top = step ? 6.0 : id == 4 ? 10000.0 : 100.0;
    switch (random.below(12)) {
    case 0:
        return kNaN;
    case 1:
        return -1.5;
    case 2:
        return top + 7.0;
    case 3:
        return random.below(static_cast<std::uint32_t>(top)) + 0.75;
    default:
        break;
    }
    if (id == 4) {
        return 1.0 + random.below(3000);
    }
    return random.below(static_cast<std::uint32_t>(top) + 1);
}

// A value the setting can hold that is not its default, for the changes before a save.
double nonDefault(Random& random, clap_id id)
{
    static constexpr double kDefaults[8] = {0, 25, 0, 2, 20, 0, 0, 2};
    for (;;) {
        const double v = id == 4 ? 1.0 + random.below(500)
                                 : random.below(id == 3 || id == 5 || id == 7 ? 4 : 60);
        if (v != kDefaults[id]) {
            return v;
        }
    }
}

Event change(std::uint32_t at, clap_id id, double value)
{
    Event e;
    e.at = at;
    e.id = id;
    e.value = value;
    return e;
}

// What the host changes at a transport event: a stop or start, a relocation back or forward,
// a new tempo or a new time signature.
void moveHost(Random& random, Host& host)
{
    switch (random.below(6)) {
    case 0:
        host.playing = !host.playing;
        break;
    case 1:
        host.frame = std::max(
            0.0, host.frame - std::floor(host.barFrames() * (0.3 + random.below(20) / 10.0)));
        break;
    case 2:
        host.frame += std::floor(host.barFrames() * (0.2 + random.below(40) / 10.0));
        break;
    case 3:
        host.tempo = 80.0 + random.below(1000) / 10.0;
        break;
    case 4:
        host.beatsPerBar = host.beatsPerBar == 4 ? 3 : 4;
        break;
    default:
        host.frame += 1.0 + random.below(5000);
        break;
    }
}

// A part of about `frames` frames through one instance. Blocks of 1 to 4096 frames (a few very
// short), a transport at each start (with fields unflagged now and then), and inside some
// blocks parameter changes and transport events, a few stamped past the block or before an
// earlier event. A stopped host starts again within a few blocks, so that the loop plays.
Part randomPart(Random& random, Host& host, double frames, bool allSettingsAtEnd)
{
    Part part;
    double played = 0.0;
    int stoppedBlocks = 0;
    // Stretches of blocks whose reports leave the tempo (0), the time signature (1) or both (2)
    // unflagged, long enough for loops to be set up inside them.
    int unflaggedBlocks = 0;
    std::uint32_t unflagged = 0;
    const auto reportOf = [&](const Host& h) {
        Report report = h.report();
        if (unflaggedBlocks > 0 && unflagged != 1) {
            report.tempo.reset();
        }
        if (unflaggedBlocks > 0 && unflagged != 0) {
            report.beatsPerBar.reset();
        }
        return report;
    };
    while (played < frames) {
        Block block;
        block.frames = random.oneIn(16) ? 1 + random.below(8) : 1 + random.below(4096);
        if (unflaggedBlocks > 0) {
            --unflaggedBlocks;
        } else if (random.oneIn(50)) {
            unflaggedBlocks = 20 + static_cast<int>(random.below(80));
            unflagged = random.below(3);
            // A new loop, set up while the fields are unflagged.
            block.events.push_back(change(0, 7, random.below(4)));
        }
        block.transport = reportOf(host);
        if (random.oneIn(30)) {
            block.transport->frame.reset();
        }

        std::vector<std::uint32_t> times;
        if (random.oneIn(6)) {
            const std::uint32_t count = 1 + random.below(3);
            for (std::uint32_t k = 0; k < count; ++k) {
                times.push_back(random.below(block.frames));
            }
            std::sort(times.begin(), times.end());
        }
        double cursor = 0.0;
        for (const std::uint32_t t : times) {
            if (host.playing) {
                host.frame += t - cursor;
            }
            cursor = t;
            std::uint32_t at = t;
            if (random.oneIn(25)) {
                at = random.oneIn(2) ? block.frames + random.below(100) : 0;
            }
            if (random.oneIn(4)) {
                moveHost(random, host);
                Event e;
                e.at = at;
                e.isTransport = true;
                e.report = reportOf(host);
                if (random.oneIn(8)) {
                    e.report.frame.reset();
                }
                block.events.push_back(e);
                continue;
            }
            // Loop Length rarely: every change starts a new capture.
            clap_id id = random.below(7);
            if (random.oneIn(30)) {
                id = 7;
            } else if (random.oneIn(15)) {
                id = 8 + random.below(4); // read-only and unknown ids
            }
            block.events.push_back(change(at, id, settingValue(random, id < 8 ? id : 0)));
        }
        if (host.playing) {
            host.frame += block.frames - cursor;
        }
        stoppedBlocks = host.playing ? 0 : stoppedBlocks + 1;
        if (stoppedBlocks > 1 + static_cast<int>(random.below(6))) {
            host.playing = true;
            stoppedBlocks = 0;
        }
        played += block.frames;
        part.blocks.push_back(block);
    }
    if (allSettingsAtEnd) {
        Block& last = part.blocks.back();
        for (clap_id id = 0; id < 8; ++id) {
            last.events.push_back(change(last.frames / 2, id, nonDefault(random, id)));
        }
    }
    return part;
}

Session randomSession(std::string name, double rate, std::uint32_t seed, std::uint16_t beats,
                      int parts, double barsPerPart)
{
    Session session{std::move(name), rate, {}, true};
    Random random(seed);
    Host host;
    host.rate = rate;
    host.beatsPerBar = beats;
    for (int p = 0; p < parts; ++p) {
        session.parts.push_back(
            randomPart(random, host, barsPerPart * host.barFrames(), p + 1 < parts));
    }
    return session;
}

} // namespace

std::int32_t shownQuantity(clap_id id, double value)
{
    const bool step = id == 3 || id == 5 || id == 7;
    const double low = step ? 0.0 : id == 4 ? 1.0 : 0.0;
    const double high = step ? 6.0 : id == 4 ? 10000.0 : 100.0;
    const double held = std::isnan(value) ? low : std::clamp(value, low, high);
    const auto whole = static_cast<std::int32_t>(std::floor(held));
    return step ? std::int32_t{1} << whole : whole;
}

std::vector<Session> clapSessions()
{
    std::vector<Session> sessions;
    sessions.push_back(randomSession("random-4/4-44100", 44100.0, 1, 4, 1, 14.0));
    sessions.push_back(randomSession("random-3/4-48000", 48000.0, 2, 3, 1, 14.0));
    // Saved in the middle of a loop, twice, each time loaded into a fresh instance.
    sessions.push_back(randomSession("state-44100", 44100.0, 3, 4, 3, 5.0));

    // No transport for most of a bar, then a host that reports one from inside a bar, in 3/4
    // but with neither tempo nor time signature flagged for the first two and a half bars: the
    // first loop is captured from a bar line of the usual four beats at 120.
    Session late{"late-transport", 44100.0, {Part{}}, true};
    std::vector<Block>& blocks = late.parts[0].blocks;
    Random random(4);
    Host host;
    host.beatsPerBar = 3;
    for (double played = 0.0; played < 0.7 * host.barFrames();) {
        const std::uint32_t frames = 1 + random.below(4096);
        blocks.push_back({frames, std::nullopt, {change(frames / 2, 1, 80.0)}});
        played += frames;
    }
    for (host.frame = 100000.0; host.frame < 320000.0; host.frame += 1024.0) {
        blocks.push_back({1024, Report{true, host.frame, std::nullopt, std::nullopt}, {}});
    }
    for (const Block& block : randomPart(random, host, 4.0 * host.barFrames(), false).blocks) {
        blocks.push_back(block);
    }
    sessions.push_back(late);

    // A free-running host never reports a transport: the audio passes through.
    Session free{"free-running", 44100.0, {Part{}}, false};
    for (int b = 0; b < 200; ++b) {
        free.parts[0].blocks.push_back(
            {1 + random.below(4096), std::nullopt, {change(7, 1 + random.below(6), 50.0)}});
    }
    sessions.push_back(free);
    return sessions;
}

} // namespace vorblexter::claptest
