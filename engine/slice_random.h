// The draw's pseudo-random source: a 32-bit linear congruential generator.
//
// state = state x 214013 + 2531011 (mod 2^32), answering bits 16 to 30 of the new state (0 to
// 32767). Our own, not the C library's, whose generator differs between platforms. There is one
// state per thread, shared by every effect instance drawing on that thread; it starts at 1 and is
// never reseeded, so a given sequence of events yields the same plans each time the library loads.
#pragma once

#include <cstdint>

namespace vorblexter {

class SliceRandom {
public:
    std::int32_t next() noexcept
    {
        state = state * 214013u + 2531011u;
        return static_cast<std::int32_t>((state >> 16) & 0x7FFFu);
    }

    std::uint32_t state = 1;
};

// The calling thread's generator.
SliceRandom& threadSliceRandom() noexcept;

} // namespace vorblexter
