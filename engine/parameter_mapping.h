// Mappings between the host's normalized parameter values (32-bit floats, nominally 0 to 1) and
// the engine's whole-number quantities, in both directions.
//
// Conventions: products are taken in double precision and truncated toward zero. Values outside
// 0 to 1 are not clamped; where truncation would leave the 32-bit range (or is undefined, as for
// NaN and infinities) the result saturates at the 32-bit bound, and NaN counts as 0.0.
// Free functions with no state: the command-line host uses the inverses to turn display units
// back into host values.
#pragma once

#include <cstdint>

namespace vorblexter {

// Truncates toward zero into 32 bits, saturating out-of-range values and mapping NaN to 0.
std::int32_t truncateToInt32(double value) noexcept;

// v x 100 in double precision: 0.57f (0.5699999928) gives 56, 1.0 gives 100.
std::int32_t percentFromNormalized(float value) noexcept;

// 10 to the power 4v: 0 gives 1, 0.5 gives 100, 1 gives 10000.
std::int32_t exponentialFromNormalized(float value) noexcept;

// Powers of two from 1 to 64 by six thresholds taken as 32-bit floats; a value on a threshold
// belongs to the step above it.
std::int32_t stepFromNormalized(float value) noexcept;

// Inverses: q x 0.01f, log10(q) x 0.25 and the step thresholds, each rounded to a 32-bit float
// (25 gives 0.25, Envelope 20 gives 0.32525751). Every answer reads back as the quantity it
// came from: where the rounded float would read back one step off (57 percent as 56), the
// closest float that reads back whole is answered instead.
float normalizedFromPercent(std::int32_t percent) noexcept;
float normalizedFromExponential(std::int32_t quantity) noexcept;
float normalizedFromStep(std::int32_t step) noexcept;

} // namespace vorblexter
