// The block that crosses a loop wrap where a new plan of 1024 slices is drawn (Variation 1: every
// wrap draws), against the copy of a block of the same size.
#include "bench/copy_baseline.h"
#include "bench/interleaved.h"
#include "bench/session.h"

#include <algorithm>

namespace bench {

namespace {

using vorblexter::kCutsPerBar;
using vorblexter::kLoopLength;
using vorblexter::kVariation;

void WrapWithDraw(benchmark::State& state)
{
    const int frames = static_cast<int>(state.range(0));
    Session session(Transport{}, frames);
    session.setParameter(kCutsPerBar, stepValue(64));
    session.setParameter(kLoopLength, stepValue(64));
    session.setParameter(kVariation, stepValue(1));
    const std::int64_t playbackStart = session.runUntilCaptured();
    const std::int64_t pass = session.passFrames();
    // Plays on untimed until the next block holds the first frame of a pass.
    const auto prepare = [&] {
        const std::int64_t next = session.framesDone();
        const std::int64_t passes = (next - playbackStart + pass - 1) / pass;
        const std::int64_t wrap = playbackStart + std::max<std::int64_t>(passes, 1) * pass;
        while (session.framesDone() + frames <= wrap) {
            session.block();
        }
    };
    const std::int64_t copyBlocks = std::max<std::int64_t>(1, (1 << 16) / frames);
    PlaybackCopy copy(session.state().loopLengthSamples, frames);
    measureInterleaved(state, Side{prepare, [&] { session.block(); }, frames},
                       Side{{}, [&] { copy.blocks(copyBlocks); }, copyBlocks * frames});
    if (session.state().sliceCount != 1024) {
        state.SkipWithError("the plan does not have 1024 slices");
    }
}

BENCHMARK(WrapWithDraw)->Arg(32)->Arg(256)->Arg(4096)->Iterations(15)->UseManualTime();

} // namespace

} // namespace bench
