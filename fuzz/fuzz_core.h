// What both fuzz players share: how bytes read as operands, the input signals, and the checks on
// what comes back. Each player keeps its own host side (the VST 2.x record and callback, the LV2
// descriptor and ports) and its own operand tables.
//
// Operands. Past the input's end every byte reads as zero, so any byte string is a valid
// sequence. A table operand is a selector byte: below 128 it picks entry selector % size of a
// table of telling values (step edges, NaN, infinities, denormals, extremes), otherwise the
// next sizeof(T) bytes are the value's raw bits, little-endian. A count operand is the same
// with 2 raw bytes, modulo the largest count plus one. The writers below encode each value
// the way it decodes, a value found in its table as its one-byte selector (short seeds leave
// the fuzzer more room), any other raw.
//
// Output checks, per channel and block: outputs are finite while every input the plug-in was
// ever fed was finite; every output sample is bit for bit the input sample of its own frame and
// channel, or no larger in magnitude than the largest input sample fed so far (a captured sample
// times a gain in [0, 1], zero included), a finite one than the largest finite input sample.
#pragma once

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <span>
#include <string>
#include <vector>

namespace vorblexter::fuzzing {

inline constexpr float kFloatNaN = std::numeric_limits<float>::quiet_NaN();
inline constexpr float kFloatInf = std::numeric_limits<float>::infinity();
inline constexpr double kDoubleNaN = std::numeric_limits<double>::quiet_NaN();
inline constexpr double kDoubleInf = std::numeric_limits<double>::infinity();

inline constexpr std::uint8_t kTableSelectors = 128;
inline constexpr std::uint8_t kRawSelector = 0xFF;

// A beat longer than kMaxFramesPerBeat frames that the effect could still accept (at most
// kRefusedFramesPerBeat) is folded into 1 to kMaxFramesPerBeat frames: accepted loops then stay
// at or below 64 beats x 256 = 16384 frames, which an input can capture and play. Longer beats,
// zero, negative and non-finite tempos and rates are played as given: the effect refuses them
// without allocating.
inline constexpr double kMaxFramesPerBeat = 256.0;
inline constexpr double kRefusedFramesPerBeat = 1.0e9;

// The tempo a player sends for `tempo` at `rate`. Folding rather than clamping keeps different
// long beats apart, so loop and slice lengths still vary.
double foldedTempo(double tempo, double rate);

inline bool sameBits(float a, float b)
{
    return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

// A whole number from `low` to `high`, as status values must be.
inline bool whole(double value, double low, double high)
{
    return std::isfinite(value) && std::trunc(value) == value && value >= low && value <= high;
}

// An operand table as the reader and writer take it.
template <typename T, std::size_t N> std::span<const T> table(const T (&entries)[N])
{
    return entries;
}

template <typename T> T pick(std::span<const T> table, std::uint8_t selector)
{
    return table[selector % table.size()];
}

// The selector that picks `value` from `table`, bit for bit, or -1 when it is not there.
template <typename T> int selectorOf(std::span<const T> table, T value)
{
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (std::memcmp(&table[i], &value, sizeof(T)) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// Raw bits of a 4- or 8-byte operand as the value they encode.
template <typename T> T fromBits(std::uint64_t bits)
{
    if constexpr (sizeof(T) == 8) {
        return std::bit_cast<T>(bits);
    } else {
        return std::bit_cast<T>(static_cast<std::uint32_t>(bits));
    }
}

class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}

    bool atEnd() const { return position >= size; }
    std::uint8_t byte() { return position < size ? data[position++] : 0; }
    std::uint64_t bits(int byteCount);

    template <typename T> T operand(std::span<const T> table)
    {
        const std::uint8_t selector = byte();
        return selector < kTableSelectors ? pick(table, selector)
                                          : fromBits<T>(bits(static_cast<int>(sizeof(T))));
    }

    template <typename T> T count(std::span<const T> table, T most)
    {
        const std::uint8_t selector = byte();
        return selector < kTableSelectors ? pick(table, selector)
                                          : static_cast<T>(bits(2) % (most + 1));
    }

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position = 0;
};

class ByteWriter {
public:
    void byte(std::uint8_t value) { data.push_back(value); }
    void byte(std::initializer_list<std::uint8_t> values)
    {
        for (const std::uint8_t value : values) {
            data.push_back(value);
        }
    }
    void bits(std::uint64_t value, int byteCount);
    void append(const std::vector<std::uint8_t>& bytes);

    template <typename T> void operand(std::span<const T> table, T value)
    {
        if (const int selector = selectorOf(table, value); selector >= 0) {
            byte(static_cast<std::uint8_t>(selector));
            return;
        }
        byte(kRawSelector);
        std::uint64_t raw = 0;
        std::memcpy(&raw, &value, sizeof(T));
        bits(raw, static_cast<int>(sizeof(T)));
    }

    // `value` must be at most the count's largest.
    template <typename T> void count(std::span<const T> table, T value)
    {
        if (const int selector = selectorOf(table, value); selector >= 0) {
            byte(static_cast<std::uint8_t>(selector));
            return;
        }
        byte(kRawSelector);
        bits(static_cast<std::uint64_t>(value), 2);
    }

    const std::vector<std::uint8_t>& bytes() const { return data; }

private:
    std::vector<std::uint8_t> data;
};

// The input signals; each player maps its pattern byte onto these.
enum class Signal : std::uint8_t {
    silence,
    ramp,     // small values naming their frame, opposite signs per channel
    constant, // a float operand follows
    noise,    // a seed byte follows
    raw,      // a count byte (1 to 8) and that many raw floats follow, tiled
    square,   // full scale, alternating
    huge,     // half the largest float, alternating
    oneBad,   // noise with one NaN or infinity; a seed and a position byte follow
};

// Fills both channels (of equal length) with `signal`, reading its operands (the constant from
// `floats`) whatever the length. The ramp reaches 1 at rampFrames + 1 frames.
void fillSignal(Signal signal, ByteReader& reader, std::span<const float> floats,
                std::uint32_t rampFrames, std::span<float> left, std::span<float> right);

// The audio fed to one plug-in instance so far, for the output checks.
struct InputHistory {
    float largest = 0.0f; // magnitude, over every non-NaN sample
    float largestFinite = 0.0f;
    bool nonFinite = false;

    void feed(std::span<const float> samples);
};

// Checks one output channel against its input (see the top) and counts the samples that differ
// from it; with `mayChange` false any difference breaks the check. Answers what broke, or empty.
std::string checkOutput(const InputHistory& history, std::span<const float> sent,
                        const float* output, bool mayChange, const char* channel,
                        std::int64_t& changed);

// The first broken check of a play, with the number of the event or call it broke at.
struct Verdict {
    bool ok = true;
    std::string violation; // empty when ok

    void fail(const char* step, std::size_t number, const std::string& what);
};

} // namespace vorblexter::fuzzing
