#include "tools/progress.h"

#include <algorithm>
#include <cstdio>

namespace vorblexter::tool {

namespace {

constexpr int kBarCells = 30;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

} // namespace

ProgressBar::ProgressBar(std::ostream& stream, bool enable, std::int64_t totalFrames)
    : out(stream), enabled(enable && totalFrames > 0), total(totalFrames)
{
}

ProgressBar::~ProgressBar()
{
    finish();
}

void ProgressBar::update(std::int64_t doneFrames)
{
    if (!enabled) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (drawn && now - lastDraw < kRedrawInterval) {
        return;
    }
    lastDraw = now;
    drawn = true;
    const double fraction =
        std::clamp(static_cast<double>(doneFrames) / static_cast<double>(total), 0.0, 1.0);
    const int filled = static_cast<int>(fraction * kBarCells);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kBarCells - filled), '-');
    char percent[16];
    std::snprintf(percent, sizeof percent, "%3d%%", static_cast<int>(fraction * 100.0));
    out << "\rrendering [" << bar << "] " << percent << std::flush;
}

void ProgressBar::finish()
{
    if (enabled && drawn) {
        out << "\r" << std::string(kBarCells + 20, ' ') << "\r" << std::flush;
        drawn = false;
    }
}

std::string summaryLine(const RenderSummary& summary)
{
    char text[160];
    std::snprintf(text, sizeof text, "%lld frames (%.2f s)", static_cast<long long>(summary.frames),
                  static_cast<double>(summary.frames) / summary.sampleRate);
    std::string line = text;
    if (summary.loopFrames > 0 && summary.passes > 0) {
        line += ", loop " + std::to_string(summary.loopFrames) +
                " frames = " + std::to_string(summary.loopBeats) + " beats, ";
        for (std::size_t i = 0; i < summary.slicesPerLoop.size(); ++i) {
            line += (i == 0 ? "" : " then ") + std::to_string(summary.slicesPerLoop[i]);
        }
        line += " slices per loop, " + std::to_string(summary.passes) +
                (summary.passes == 1 ? " loop pass" : " loop passes");
    } else {
        line += ", no loop played" +
                (summary.noLoopReason.empty() ? std::string() : " (" + summary.noLoopReason + ")");
    }
    const double audioSeconds = static_cast<double>(summary.frames) / summary.sampleRate;
    if (summary.wallSeconds > 0.0) {
        std::snprintf(text, sizeof text, ", %.0fx real time", audioSeconds / summary.wallSeconds);
        line += text;
    }
    return line;
}

} // namespace vorblexter::tool
