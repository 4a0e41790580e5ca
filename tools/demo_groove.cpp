#include "tools/demo_groove.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace vorblexter::tool {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kPeak = 0.89;

struct Pan {
    double left;
    double right;
};

constexpr Pan kCentre{0.8, 0.8};
constexpr Pan kSnarePan{0.75, 0.6};
constexpr Pan kClosedHatPan{0.3, 0.85};
constexpr Pan kOpenHatPan{0.8, 0.3};
constexpr Pan kBassPan{0.85, 0.55};

// Bass notes per eighth note over two bars, in semitones above A1 (55 Hz).
constexpr std::array<int, 16> kBassLine{0, 0, 12, 0, 3, 0, 5, 7, 0, 0, 12, 10, 7, 5, 3, 2};

// A small linear congruential noise source, so the groove is the same on every machine.
class Noise {
public:
    double next() noexcept
    {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / 8388608.0 - 1.0;
    }

private:
    std::uint32_t state = 0x2545F491u;
};

class Mixer {
public:
    explicit Mixer(StereoAudio& audio) : out(audio) {}

    void add(std::int64_t frame, double sample, const Pan& pan)
    {
        if (frame < 0 || frame >= out.frames()) {
            return;
        }
        const auto at = static_cast<std::size_t>(frame);
        out.left[at] += static_cast<float>(sample * pan.left);
        out.right[at] += static_cast<float>(sample * pan.right);
    }

private:
    StereoAudio& out;
};

void kick(Mixer& mix, std::int64_t onset, double rate, double velocity)
{
    const auto length = static_cast<std::int64_t>(0.4 * rate);
    double phase = 0.0;
    for (std::int64_t i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double frequency = 48.0 + 110.0 * std::exp(-t / 0.03);
        phase += kTwoPi * frequency / rate;
        mix.add(onset + i, velocity * std::sin(phase) * std::exp(-t / 0.22), kCentre);
    }
}

void snare(Mixer& mix, Noise& noise, std::int64_t onset, double rate, double velocity)
{
    const auto length = static_cast<std::int64_t>(0.25 * rate);
    for (std::int64_t i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double body = 0.5 * std::sin(kTwoPi * 185.0 * t) * std::exp(-t / 0.06);
        const double rattle = 0.55 * noise.next() * std::exp(-t / 0.1);
        mix.add(onset + i, velocity * (body + rattle), kSnarePan);
    }
}

// Noise through a first difference: bright, hat-like.
void hat(Mixer& mix, Noise& noise, std::int64_t onset, double rate, double velocity,
         double decaySeconds, const Pan& pan)
{
    const auto length = static_cast<std::int64_t>(decaySeconds * 5.0 * rate);
    double previous = 0.0;
    for (std::int64_t i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double white = noise.next();
        mix.add(onset + i, velocity * (white - previous) * 0.5 * std::exp(-t / decaySeconds), pan);
        previous = white;
    }
}

// A sawtooth through a one-pole low-pass whose cutoff falls after each attack.
void bass(Mixer& mix, std::int64_t onset, std::int64_t gateFrames, double rate, int semitone)
{
    const double frequency = 55.0 * std::pow(2.0, semitone / 12.0);
    const std::int64_t release = static_cast<std::int64_t>(0.01 * rate);
    double phase = 0.0;
    double filtered = 0.0;
    for (std::int64_t i = 0; i < gateFrames + release; ++i) {
        const double t = static_cast<double>(i) / rate;
        phase += frequency / rate;
        phase -= std::floor(phase);
        const double saw = 2.0 * phase - 1.0;
        const double cutoff = 250.0 + 1800.0 * std::exp(-t / 0.06);
        filtered += (1.0 - std::exp(-kTwoPi * cutoff / rate)) * (saw - filtered);
        const double attack = std::min(1.0, t / 0.003);
        const double fade =
            i < gateFrames ? 1.0 : 1.0 - static_cast<double>(i - gateFrames) / release;
        mix.add(onset + i, 0.45 * filtered * attack * fade, kBassPan);
    }
}

} // namespace

StereoAudio synthesizeGroove(const GrooveSettings& settings)
{
    const Timeline& timeline = settings.timeline;
    const double rate = timeline.sampleRate;
    const double sixteenthFrames = timeline.framesPerQuarterNote() / 4.0;
    const auto stepsPerBar =
        std::max<std::int64_t>(1, std::llround(timeline.timeSignature.quarterNotesPerBar() * 4.0));
    const std::int64_t steps = stepsPerBar * std::max(1, settings.bars);

    StereoAudio audio;
    audio.sampleRate = rate;
    audio.resize(std::llround(static_cast<double>(steps) * sixteenthFrames));
    Mixer mix(audio);
    Noise noise;

    for (std::int64_t step = 0; step < steps; ++step) {
        const std::int64_t bar = step / stepsPerBar;
        const std::int64_t inBar = step % stepsPerBar;
        const auto onset = static_cast<std::int64_t>(std::llround(step * sixteenthFrames));
        // A little push and pull on every hit keeps repeated beats from being copies.
        const double accent = 0.85 + 0.15 * noise.next();

        if (inBar % 8 == 0 || (bar % 2 == 1 && inBar == 10)) {
            kick(mix, onset, rate, 0.95);
        }
        if (inBar % 8 == 4) {
            snare(mix, noise, onset, rate, 0.8 * accent);
        }
        if (inBar % 8 == 6) {
            hat(mix, noise, onset, rate, 0.6 * accent, 0.09, kOpenHatPan);
        } else {
            const double velocity = (inBar % 2 == 0 ? 0.55 : 0.3) * accent;
            hat(mix, noise, onset, rate, velocity, 0.018, kClosedHatPan);
        }
        if (step % 2 == 0) {
            const int note = kBassLine[static_cast<std::size_t>((step / 2) % kBassLine.size())];
            bass(mix, onset, static_cast<std::int64_t>(1.6 * sixteenthFrames), rate, note);
        }
    }

    float peak = 0.0f;
    for (std::int64_t i = 0; i < audio.frames(); ++i) {
        const auto at = static_cast<std::size_t>(i);
        peak = std::max({peak, std::fabs(audio.left[at]), std::fabs(audio.right[at])});
    }
    if (peak > 0.0f) {
        const auto gain = static_cast<float>(kPeak / peak);
        for (std::int64_t i = 0; i < audio.frames(); ++i) {
            const auto at = static_cast<std::size_t>(i);
            audio.left[at] *= gain;
            audio.right[at] *= gain;
        }
    }
    return audio;
}

} // namespace vorblexter::tool
