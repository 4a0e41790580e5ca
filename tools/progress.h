// Progress while rendering, and the one-line summary afterwards.
#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace vorblexter::tool {

// A bar redrawn in place on a terminal. When disabled (not a terminal, or --quiet) it writes
// nothing at all, so logs and pipes stay clean.
class ProgressBar {
public:
    ProgressBar(std::ostream& stream, bool enabled, std::int64_t totalFrames);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // Redraws at most every 100 ms.
    void update(std::int64_t doneFrames);
    // Clears the bar's line.
    void finish();

private:
    std::ostream& out;
    bool enabled;
    bool drawn = false;
    std::int64_t total;
    std::chrono::steady_clock::time_point lastDraw;
};

struct RenderSummary {
    std::int64_t frames = 0;
    double sampleRate = 44100.0;
    std::int32_t loopFrames = 0; // 0 when no loop was captured
    std::int32_t loopBeats = 0;
    std::vector<std::int32_t> slicesPerLoop; // each count in the order the passes used them
    std::int32_t passes = 0;
    double wallSeconds = 0.0;
    std::string noLoopReason; // why no loop was captured, when none was
};

// "705600 frames (16.00 s), loop 88200 frames = 4 beats, 16 slices per loop, 6 loop passes,
// 250x real time".
std::string summaryLine(const RenderSummary& summary);

} // namespace vorblexter::tool
