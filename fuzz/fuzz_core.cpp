#include "fuzz/fuzz_core.h"

#include <algorithm>

namespace vorblexter::fuzzing {

double foldedTempo(double tempo, double rate)
{
    const double framesPerBeat = 60.0 / tempo * rate;
    if (tempo > 0.0 && rate > 0.0 && std::isfinite(framesPerBeat) &&
        framesPerBeat > kMaxFramesPerBeat && framesPerBeat <= kRefusedFramesPerBeat) {
        return rate * 60.0 / std::max(std::fmod(framesPerBeat, kMaxFramesPerBeat), 1.0);
    }
    return tempo;
}

std::uint64_t ByteReader::bits(int byteCount)
{
    std::uint64_t value = 0;
    for (int shift = 0; shift < 8 * byteCount; shift += 8) {
        value |= static_cast<std::uint64_t>(byte()) << shift;
    }
    return value;
}

void ByteWriter::bits(std::uint64_t value, int byteCount)
{
    for (int shift = 0; shift < 8 * byteCount; shift += 8) {
        byte(static_cast<std::uint8_t>(value >> shift));
    }
}

void ByteWriter::append(const std::vector<std::uint8_t>& bytes)
{
    data.insert(data.end(), bytes.begin(), bytes.end());
}

void fillSignal(Signal signal, ByteReader& reader, std::span<const float> floats,
                std::uint32_t rampFrames, std::span<float> left, std::span<float> right)
{
    const std::size_t frames = left.size();
    switch (signal) {
    case Signal::silence:
        std::fill(left.begin(), left.end(), 0.0f);
        std::fill(right.begin(), right.end(), 0.0f);
        break;
    case Signal::ramp:
        for (std::size_t k = 0; k < frames; ++k) {
            left[k] = static_cast<float>(static_cast<double>(k + 1) / (rampFrames + 1.0));
            right[k] = -left[k];
        }
        break;
    case Signal::constant: {
        const float value = reader.operand(floats);
        std::fill(left.begin(), left.end(), value);
        std::fill(right.begin(), right.end(), value);
        break;
    }
    case Signal::raw: {
        const std::size_t count = 1 + reader.byte() % 8;
        float values[8];
        for (std::size_t i = 0; i < count; ++i) {
            values[i] = fromBits<float>(reader.bits(4));
        }
        for (std::size_t k = 0; k < frames; ++k) {
            left[k] = values[k % count];
            right[k] = values[(k + 1) % count];
        }
        break;
    }
    case Signal::square:
    case Signal::huge: {
        const float level = signal == Signal::square ? 1.0f : 1.7e38f;
        for (std::size_t k = 0; k < frames; ++k) {
            left[k] = k % 2 == 0 ? level : -level;
            right[k] = -left[k];
        }
        break;
    }
    case Signal::noise:
    case Signal::oneBad: {
        std::uint32_t noise = reader.byte() + 1u;
        const auto next = [&noise] {
            noise = noise * 1664525u + 1013904223u;
            return static_cast<float>(static_cast<std::int32_t>(noise >> 8) - (1 << 23)) /
                   static_cast<float>(1 << 23);
        };
        for (std::size_t k = 0; k < frames; ++k) {
            left[k] = next();
            right[k] = next();
        }
        if (signal == Signal::oneBad) {
            const std::uint8_t where = reader.byte();
            if (frames > 0) {
                const float bad = where % 2 == 0 ? kFloatNaN : kFloatInf;
                (where % 4 < 2 ? left : right)[(where * 131u) % frames] = bad;
            }
        }
        break;
    }
    }
}

void InputHistory::feed(std::span<const float> samples)
{
    for (const float sample : samples) {
        nonFinite = nonFinite || !std::isfinite(sample);
        if (!std::isnan(sample)) {
            largest = std::max(largest, std::fabs(sample));
        }
        if (std::isfinite(sample)) {
            largestFinite = std::max(largestFinite, std::fabs(sample));
        }
    }
}

std::string checkOutput(const InputHistory& history, std::span<const float> sent,
                        const float* output, bool mayChange, const char* channel,
                        std::int64_t& changed)
{
    for (std::size_t k = 0; k < sent.size(); ++k) {
        const float out = output[k];
        if (sameBits(out, sent[k])) {
            continue;
        }
        ++changed;
        const char* broken = nullptr;
        if (!mayChange) {
            broken = "the output differs where it must pass its input";
        } else if (!std::isfinite(out) && !history.nonFinite) {
            broken = "non-finite output from finite input";
        } else if (!std::isnan(out) && std::fabs(out) > (std::isfinite(out) ? history.largestFinite
                                                                            : history.largest)) {
            broken = "output louder than any input";
        }
        if (broken != nullptr) {
            return std::string(broken) + ", " + channel + " frame " + std::to_string(k);
        }
    }
    return {};
}

void Verdict::fail(const char* step, std::size_t number, const std::string& what)
{
    if (ok) {
        ok = false;
        violation = std::string(step) + " " + std::to_string(number) + ": " + what;
    }
}

} // namespace vorblexter::fuzzing
