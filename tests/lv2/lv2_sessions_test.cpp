// The LV2 plug-in, hosted by lilv, against the VST 2.x library hosted by a Steinberg-named host
// with the same transport and parameter changes: the outputs must agree bit for bit, in place
// and with separate output buffers. Each render runs on a thread of its own, so both effects
// draw from a fresh slice random generator.
#include "tests/lv2/lilv_host.h"
#include "tests/lv2/vst_reference.h"
#include "tests/support/render_compare.h"

#include <cstdint>
#include <string>

namespace vorblexter::lv2test {
namespace {

using testing::onOwnThread;
constexpr double kBar = testing::kSessionBar;

// Builds sessions run by run, keeping track of where the host's transport is.
class SessionBuilder {
public:
    // Runs of `frames` each (or of sizes drawn from 1 to 4096 when `frames` is 0) until `until`
    // more frames have been played; rolling ones start with a position when `everyRun`.
    SessionBuilder& roll(double until, std::uint32_t frames, bool everyRun)
    {
        for (double played = 0.0; played < until;) {
            const std::uint32_t n = frames != 0 ? frames : nextSize();
            Run run{n, {}, controls};
            if (everyRun) {
                run.positions.push_back(position(0, frame, 1.0));
            }
            session.runs.push_back(run);
            frame += n;
            played += n;
        }
        return *this;
    }

    // Stopped runs without events: the position stands.
    SessionBuilder& stand(int runs, std::uint32_t frames)
    {
        for (int i = 0; i < runs; ++i) {
            session.runs.push_back({frames, {}, controls});
        }
        return *this;
    }

    // One run with the given events; the transport frame follows the last event that has one.
    SessionBuilder& run(std::uint32_t frames, std::vector<Position> positions, double rolledAfter)
    {
        session.runs.push_back({frames, std::move(positions), controls});
        frame = rolledAfter;
        return *this;
    }

    Position position(std::int64_t at, double at_frame, double speed) const
    {
        Position p;
        p.at = at;
        p.frame = at_frame;
        p.speed = speed;
        p.beatsPerMinute = tempo;
        p.beatsPerBar = beatsPerBar;
        return p;
    }

    std::uint32_t nextSize()
    {
        seed = seed * 1664525u + 1013904223u;
        return 1 + (seed >> 8) % 4096;
    }

    Session session;
    Controls controls = kDefaultControls;
    double frame = 0.0;
    double tempo = 120.0;
    double beatsPerBar = 4.0;
    std::uint32_t seed = 7;
};

void expectSameAsVst(const Session& session, bool sliced, const std::string& name)
{
    SCOPED_TRACE(name);
    BundleWorld world;
    ASSERT_NE(world.plugin(), nullptr);
    const Rendered vst = onOwnThread([&] { return renderVst(VORBLEXTER_VST_LIBRARY, session); });
    ASSERT_EQ(vst.output.left.size(), session.totalFrames());
    const Stereo input = sessionInput(session.totalFrames());
    // Sessions that capture and play must not be a pass-through on both sides.
    EXPECT_EQ(vst.output.left != input.left, sliced);
    for (const Buffers buffers : {Buffers::inPlace, Buffers::separate}) {
        const Rendered lv2 = onOwnThread([&] {
            return renderLv2(world, session, {buffers, true});
        });
        testing::expectSameStereo(lv2.output.left, lv2.output.right, vst.output.left,
                                  vst.output.right,
                                  buffers == Buffers::inPlace ? "in place" : "separate buffers");
    }
}

// Ardour while rolling: a position at the start of every run, here of sizes from 1 to 4096;
// controls change between runs, the tempo changes (taking effect at the capture that a new Loop
// Length starts), the host relocates backwards and forwards.
TEST(Lv2Sessions, PositionAtEveryRunWithTempoChangesRelocationsAndControls)
{
    SessionBuilder b;
    b.roll(2.5 * kBar, 0, true);
    b.roll(3, 1, true);
    b.roll(4096, 4096, true);
    b.controls = {30, 60, 30, 16, 200, 1, 10, 4};
    b.roll(1.5 * kBar, 0, true);
    b.tempo = 133.3;
    b.controls[7] = 2; // a new loop, at the new tempo
    b.roll(2 * kBar, 0, true);
    b.frame = 0.75 * kBar; // backwards
    b.controls[3] = 37.9f; // shows 32
    b.controls[4] = 1234.9f;
    b.roll(2 * kBar, 0, true);
    b.frame += 3.3 * kBar; // forwards
    b.beatsPerBar = 3.0;
    b.controls[7] = 8;
    b.controls[5] = 2;
    b.roll(4 * kBar, 0, true);
    expectSameAsVst(b.session, true, "rolling");
}

// A host that reports the position only when it changes: the binding runs the transport on by
// itself. Events arrive inside runs (stop, start, relocations), stamped beyond the run or
// before an earlier event of the same run, and with numbers of other atom types.
TEST(Lv2Sessions, PositionsOnlyOnChangeWithEventsInsideRuns)
{
    SessionBuilder b;
    b.controls = {20, 50, 40, 8, 20, 1, 0, 4};
    b.run(512, {b.position(0, 0.0, 0.0)}, 0.0);
    b.run(512, {}, 0.0);
    b.run(4096, {b.position(100, 0.0, 1.0)}, 3996.0);
    b.roll(2.2 * kBar, 0, false);
    Position stop = b.position(333, b.frame + 333, 0.0);
    stop.numbers = Numbers::doubles;
    b.run(1000, {stop}, b.frame + 333);
    b.stand(5, 1024);
    Position start = b.position(1, b.frame, 1.0);
    start.numbers = Numbers::ints;
    b.run(2048, {start}, b.frame + 2047);
    b.roll(1.1 * kBar, 0, false);
    // Backwards inside a run, then a stamp beyond the run, then one before it: both held to
    // the stretch still ahead.
    Position back = b.position(700, 1000.0, 1.0);
    Position late = b.position(99999, 2.0 * kBar, 1.0);
    Position early = b.position(5, 2.0 * kBar + 50, 1.0);
    b.run(3000, {back, late, early}, 2.0 * kBar + 50);
    b.roll(1.5 * kBar, 0, false);
    b.run(2500, {b.position(2000, b.frame + 10 * kBar, 1.0)}, b.frame + 10 * kBar + 500);
    b.controls[7] = 1;
    b.roll(2 * kBar, 0, false);
    expectSameAsVst(b.session, true, "on change");
}

// What Debian's Ardour 7.3 was measured to do: rolling, a position at every run; a relocation
// arrives as speed 0 at the old frame, two stopped runs, then speed 1 at the new frame; a run
// split at an automation point; stopped runs of 1024 with no events.
TEST(Lv2Sessions, ArdourLikeRelocationAndStop)
{
    SessionBuilder b;
    b.run(1024, {b.position(0, 0.0, 0.0)}, 0.0);
    b.roll(3 * kBar, 1024, true);
    const double old = b.frame;
    b.run(1024, {b.position(0, old, 0.0)}, old);
    b.stand(2, 1024);
    b.frame = 0.5 * kBar;
    b.roll(2.5 * kBar, 1024, true);
    b.run(300, {b.position(0, b.frame, 1.0)}, b.frame + 300);
    b.controls[1] = 80;
    b.run(724, {b.position(0, b.frame, 1.0)}, b.frame + 724);
    b.roll(kBar, 1024, true);
    b.run(1024, {b.position(0, b.frame, 0.0)}, b.frame);
    b.stand(6, 1024);
    b.roll(2 * kBar, 1024, true);
    expectSameAsVst(b.session, true, "Ardour");
}

// Until the first position there is no transport record: the input passes through, as in a VST
// host without time info. A host that never sends one gets a pass-through throughout.
TEST(Lv2Sessions, NoTransportRecordBeforeTheFirstPosition)
{
    SessionBuilder late;
    late.beatsPerBar = 3.0; // the capture waits for a bar line of three beats
    late.roll(0.7 * kBar, 0, false);
    late.frame = 0.0;
    late.roll(3 * kBar, 0, true);
    expectSameAsVst(late.session, true, "late first position");

    SessionBuilder never;
    never.controls = {50, 50, 50, 16, 20, 1, 0, 1};
    never.roll(2.5 * kBar, 0, false);
    expectSameAsVst(never.session, false, "never a position");
}

// With no random draws in play (Vorblex 0), the loop plays its slices in order: the status
// outputs must then name the slot and slice the position implies, backwards with Reverse 100,
// and no slice with Silence 100.
TEST(Lv2Status, StateSlotAndSliceFollowTheLoop)
{
    BundleWorld world;
    ASSERT_NE(world.plugin(), nullptr);
    for (const float reverse : {0.0f, 100.0f}) {
        for (const float silence : {0.0f, 100.0f}) {
            SessionBuilder b;
            b.controls = {reverse, 0, 0, 4, 20, 1, silence, 4};
            b.roll(5 * kBar, 1024, true);
            const Rendered lv2 = onOwnThread([&] {
                return renderLv2(world, b.session, {Buffers::inPlace, true});
            });
            ASSERT_EQ(lv2.status.size(), b.session.runs.size());
            double end = 0.0;
            for (std::size_t r = 0; r < lv2.status.size(); ++r) {
                end += b.session.runs[r].frames;
                const Status& s = lv2.status[r];
                const std::array<double, 3> shown{s.state, s.slot, s.slice};
                ASSERT_EQ(shown, testing::inOrderStatus(end, reverse != 0.0f, silence != 0.0f))
                    << "run " << r << " reverse " << reverse << " silence " << silence;
            }
        }
    }
}

// A host that leaves an audio port unconnected gets its buffers back untouched.
TEST(Lv2Robustness, AnUnconnectedAudioPortLeavesTheOutputsAlone)
{
    BundleWorld world;
    ASSERT_NE(world.plugin(), nullptr);
    SessionBuilder b;
    b.roll(2.5 * kBar, 0, true);
    Lv2Options options{Buffers::separate, true};
    options.connectLeftInput = false;
    const Rendered lv2 = onOwnThread([&] { return renderLv2(world, b.session, options); });
    const std::vector<float> untouched(b.session.totalFrames(), -12345.0f);
    EXPECT_EQ(lv2.output.left, untouched);
    EXPECT_EQ(lv2.output.right, untouched);
}

// A host that connects no atom port gets the input back, whatever it does with the controls.
TEST(Lv2Robustness, WithoutTheAtomPortTheInputPassesThrough)
{
    BundleWorld world;
    ASSERT_NE(world.plugin(), nullptr);
    SessionBuilder b;
    b.controls = {50, 50, 50, 16, 20, 1, 0, 1};
    b.roll(2.5 * kBar, 0, true);
    for (const Buffers buffers : {Buffers::inPlace, Buffers::separate}) {
        const Rendered lv2 = onOwnThread([&] {
            return renderLv2(world, b.session, {buffers, false});
        });
        const Stereo input = sessionInput(b.session.totalFrames());
        EXPECT_EQ(lv2.output.left, input.left);
        EXPECT_EQ(lv2.output.right, input.right);
        EXPECT_EQ(lv2.status.back().state, 0.0f);
    }
}

} // namespace
} // namespace vorblexter::lv2test
