#include "tools/svg_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vorblexter::tool {

namespace {

constexpr double kMarginLeft = 64.0;
constexpr double kMarginRight = 16.0;
constexpr double kMarkerRowY = 54.0;
constexpr double kRulerY = 68.0;
constexpr double kInputTop = 74.0;
constexpr double kLaneHeight = 150.0;
constexpr double kPassRowTop = kInputTop + kLaneHeight + 8.0;
constexpr double kSlotTop = kPassRowTop + 14.0;
constexpr double kSlotHeight = 26.0;
constexpr double kOutputTop = kSlotTop + kSlotHeight + 8.0;
constexpr double kAxisTop = kOutputTop + kLaneHeight + 2.0;
constexpr double kLegendY = kAxisTop + 40.0;
constexpr double kHeight = kLegendY + 14.0;
// Approximate advance of one character of the 11 px label font.
constexpr double kCharWidth = 6.6;

constexpr const char* kLeftColour = "#1c5fb8";
constexpr const char* kRightColour = "#2b9348";
constexpr const char* kForwardFill = "#cfe2ff";
constexpr const char* kReversedFill = "#ffc98b";
constexpr const char* kSilentFill = "#d9d9d9";
constexpr const char* kUnknownFill = "#ff9b9b";
constexpr const char* kCaptureFill = "#fff1b8";
constexpr const char* kMarkerColour = "#c2255c";

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

class Canvas {
public:
    Canvas(std::int64_t totalFrames, double width)
        : frames(std::max<std::int64_t>(1, totalFrames)),
          plotWidth(width - kMarginLeft - kMarginRight)
    {
    }

    double x(std::int64_t frame) const
    {
        return kMarginLeft + static_cast<double>(frame) * plotWidth / static_cast<double>(frames);
    }
    double width() const { return plotWidth; }
    std::int64_t totalFrames() const { return frames; }
    double pixelsPerFrame() const { return plotWidth / static_cast<double>(frames); }

    std::string svg;

    void line(double x1, double y1, double x2, double y2, const std::string& style)
    {
        svg += "<line x1=\"" + number(x1) + "\" y1=\"" + number(y1) + "\" x2=\"" + number(x2) +
               "\" y2=\"" + number(y2) + "\" " + style + "/>\n";
    }
    void rect(double x1, double y1, double w, double h, const std::string& style)
    {
        svg += "<rect x=\"" + number(x1) + "\" y=\"" + number(y1) + "\" width=\"" +
               number(std::max(0.0, w)) + "\" height=\"" + number(h) + "\" " + style + "/>\n";
    }
    void text(double x1, double y1, const std::string& content, const std::string& style)
    {
        svg += "<text x=\"" + number(x1) + "\" y=\"" + number(y1) + "\" " + style + ">" +
               escapeXml(content) + "</text>\n";
    }

private:
    std::int64_t frames;
    double plotWidth;
};

// One channel as min/max per pixel column, drawn as vertical strokes.
void drawChannel(Canvas& canvas, const std::vector<float>& samples, double centre, double half,
                 const char* colour)
{
    const auto columns = static_cast<std::int64_t>(canvas.width());
    const auto count = static_cast<std::int64_t>(samples.size());
    std::string path;
    for (std::int64_t column = 0; column < columns; ++column) {
        const std::int64_t first = column * count / columns;
        const std::int64_t last = std::max(first + 1, (column + 1) * count / columns);
        if (first >= count) {
            break;
        }
        float low = samples[static_cast<std::size_t>(first)];
        float high = low;
        for (std::int64_t i = first + 1; i < std::min(last, count); ++i) {
            low = std::min(low, samples[static_cast<std::size_t>(i)]);
            high = std::max(high, samples[static_cast<std::size_t>(i)]);
        }
        const double top = centre - std::clamp(static_cast<double>(high), -1.0, 1.0) * half;
        double bottom = centre - std::clamp(static_cast<double>(low), -1.0, 1.0) * half;
        bottom = std::max(bottom, top + 0.6);
        path += "M" + number(kMarginLeft + static_cast<double>(column) + 0.5) + " " + number(top) +
                "V" + number(bottom);
    }
    canvas.svg +=
        "<path d=\"" + path + "\" stroke=\"" + colour + "\" stroke-width=\"1\" fill=\"none\"/>\n";
}

void drawLane(Canvas& canvas, const StereoAudio& audio, double top, const std::string& name)
{
    const double half = kLaneHeight / 4.0 - 3.0;
    canvas.rect(kMarginLeft, top, canvas.width(), kLaneHeight,
                "fill=\"none\" stroke=\"#bbbbbb\" stroke-width=\"0.8\"");
    canvas.line(kMarginLeft, top + kLaneHeight / 2.0, kMarginLeft + canvas.width(),
                top + kLaneHeight / 2.0, "stroke=\"#dddddd\" stroke-width=\"0.8\"");
    canvas.text(8.0, top + kLaneHeight / 2.0 + 4.0, name,
                "font-size=\"13\" font-weight=\"bold\" fill=\"#333\"");
    canvas.text(kMarginLeft - 14.0, top + kLaneHeight / 4.0 + 4.0, "L",
                std::string("font-size=\"11\" fill=\"") + kLeftColour + "\"");
    canvas.text(kMarginLeft - 14.0, top + 3.0 * kLaneHeight / 4.0 + 4.0, "R",
                std::string("font-size=\"11\" fill=\"") + kRightColour + "\"");
    drawChannel(canvas, audio.left, top + kLaneHeight / 4.0, half, kLeftColour);
    drawChannel(canvas, audio.right, top + 3.0 * kLaneHeight / 4.0, half, kRightColour);
}

void drawBars(Canvas& canvas, const PlotInput& plot)
{
    const double barFrames = plot.transportTimeline.framesPerBar();
    if (!(barFrames > 0.0)) {
        return;
    }
    const double barPixels = barFrames * canvas.pixelsPerFrame();
    if (barPixels < 3.0) {
        return;
    }
    const std::int32_t labelEvery =
        barPixels >= 22.0 ? 1 : static_cast<std::int32_t>(std::ceil(22.0 / barPixels));
    std::vector<TransportMark> marks = plot.transportMarks;
    if (marks.empty()) {
        marks.push_back({0, 0});
    }
    for (std::size_t m = 0; m < marks.size(); ++m) {
        const std::int64_t segmentEnd =
            m + 1 < marks.size() ? marks[m + 1].renderFrame : canvas.totalFrames();
        const std::int64_t transportStart = marks[m].transportFrame;
        const std::int64_t transportEnd = transportStart + (segmentEnd - marks[m].renderFrame);
        const auto firstBar = static_cast<std::int64_t>(
            std::ceil(static_cast<double>(transportStart) / barFrames - 1e-9));
        for (std::int64_t bar = firstBar;; ++bar) {
            const auto barFrame =
                static_cast<std::int64_t>(std::llround(static_cast<double>(bar) * barFrames));
            if (barFrame >= transportEnd) {
                break;
            }
            const double x = canvas.x(marks[m].renderFrame + barFrame - transportStart);
            canvas.line(x, kRulerY + 2.0, x, kAxisTop, "stroke=\"#9a9a9a\" stroke-width=\"0.7\"");
            if (bar % labelEvery == 0) {
                canvas.text(x + 2.0, kRulerY, std::to_string(bar + 1),
                            "font-size=\"10\" fill=\"#555\"");
            }
        }
    }
    canvas.text(8.0, kRulerY, "bar", "font-size=\"10\" fill=\"#555\"");
}

// Render frame of a buffer offset of a capture.
std::int64_t captureFrameAt(const CaptureSpan& capture, std::int64_t offset)
{
    for (const CapturePiece& piece : capture.pieces) {
        if (offset >= piece.bufferOffset && offset <= piece.bufferOffset + piece.frames) {
            return piece.renderFrame + offset - piece.bufferOffset;
        }
    }
    return capture.firstFrame() + offset;
}

void drawCaptures(Canvas& canvas, const EffectTimeline& timeline)
{
    for (std::size_t index = 0; index < timeline.captures().size(); ++index) {
        const CaptureSpan& capture = timeline.captures()[index];
        if (capture.pieces.empty()) {
            continue;
        }
        // Blocks capture in pieces; contiguous pieces are drawn as one region.
        const std::string style = std::string("fill=\"") + kCaptureFill + "\" stroke=\"#e0b000\"" +
                                  (capture.complete ? "" : " stroke-dasharray=\"4 3\"");
        std::int64_t runStart = capture.pieces.front().renderFrame;
        std::int64_t runEnd = runStart;
        for (const CapturePiece& piece : capture.pieces) {
            if (piece.renderFrame != runEnd) {
                canvas.rect(canvas.x(runStart), kInputTop, canvas.x(runEnd) - canvas.x(runStart),
                            kLaneHeight, style);
                runStart = piece.renderFrame;
            }
            runEnd = piece.renderFrame + piece.frames;
        }
        canvas.rect(canvas.x(runStart), kInputTop, canvas.x(runEnd) - canvas.x(runStart),
                    kLaneHeight, style);
        const double left = canvas.x(capture.firstFrame());
        canvas.text(left + 3.0, kInputTop + kLaneHeight - 5.0,
                    capture.complete
                        ? "captured loop, " + std::to_string(capture.loopBeats) + " beats"
                        : "capture (unfinished)",
                    "font-size=\"10\" font-style=\"italic\" fill=\"#8a6d00\"");

        // The slice grid of the first pass that plays this capture, numbered.
        for (const PassSpan& pass : timeline.passes()) {
            if (pass.capture != index || pass.sliceFrames <= 0) {
                continue;
            }
            const double slicePixels = pass.sliceFrames * canvas.pixelsPerFrame();
            for (std::int32_t slice = 0; slice < pass.sliceCount; ++slice) {
                const std::int64_t offset = static_cast<std::int64_t>(slice) * pass.sliceFrames;
                const double x = canvas.x(captureFrameAt(capture, offset));
                if (slicePixels >= 2.0) {
                    canvas.line(x, kInputTop, x, kInputTop + kLaneHeight,
                                "stroke=\"#d4a600\" stroke-width=\"0.6\"");
                }
                const std::string label = std::to_string(slice);
                if (slicePixels >= static_cast<double>(label.size()) * kCharWidth + 2.0) {
                    canvas.text(x + slicePixels / 2.0, kInputTop + 11.0, label,
                                "font-size=\"10\" text-anchor=\"middle\" fill=\"#8a6d00\"");
                }
            }
            break;
        }
    }
}

const char* fillFor(SlotKind kind)
{
    switch (kind) {
    case SlotKind::forward:
        return kForwardFill;
    case SlotKind::reversed:
        return kReversedFill;
    case SlotKind::silent:
        return kSilentFill;
    case SlotKind::unknown:
        break;
    }
    return kUnknownFill;
}

void drawSlots(Canvas& canvas, const PlotInput& plot)
{
    canvas.text(8.0, kSlotTop + 17.0, "slots",
                "font-size=\"12\" font-weight=\"bold\" fill=\"#333\"");
    canvas.rect(kMarginLeft, kSlotTop, canvas.width(), kSlotHeight,
                "fill=\"#fafafa\" stroke=\"#bbbbbb\" stroke-width=\"0.8\"");
    const EffectTimeline& timeline = *plot.timeline;
    for (const SlotReading& slot : *plot.slots) {
        const double x1 = canvas.x(slot.frames.begin);
        const double x2 = canvas.x(slot.frames.end);
        canvas.rect(x1, kSlotTop, x2 - x1, kSlotHeight,
                    std::string("fill=\"") + fillFor(slot.kind) +
                        "\" stroke=\"#ffffff\" stroke-width=\"0.6\"");
        canvas.line(x1, kOutputTop, x1, kOutputTop + kLaneHeight,
                    "stroke=\"#b8b8b8\" stroke-width=\"0.5\"");
        // One row when the label fits, else the slice number above the R of a reversed slot.
        const std::string style =
            "font-size=\"11\" font-family=\"monospace\" text-anchor=\"middle\" fill=\"#222\"";
        const std::string label = slotLabel(slot);
        const std::string number = std::to_string(slot.slice);
        if (x2 - x1 >= static_cast<double>(label.size()) * kCharWidth + 2.0) {
            canvas.text((x1 + x2) / 2.0, kSlotTop + 17.0, label, style);
        } else if (slot.kind == SlotKind::reversed &&
                   x2 - x1 >= static_cast<double>(number.size()) * kCharWidth + 1.0) {
            canvas.text((x1 + x2) / 2.0, kSlotTop + 11.5, number, style);
            canvas.text((x1 + x2) / 2.0, kSlotTop + 23.0, "R", style);
        }
    }
    // Before its first pass the effect passes the input through: say why.
    const std::int64_t firstPass =
        timeline.passes().empty() ? canvas.totalFrames() : timeline.passes().front().frames.begin;
    const std::int64_t firstCapture =
        timeline.captures().empty() || timeline.captures().front().pieces.empty()
            ? firstPass
            : timeline.captures().front().firstFrame();
    const std::string captionStyle = "font-size=\"10\" font-style=\"italic\" fill=\"#666\"";
    if (canvas.x(firstCapture) - canvas.x(0) >= 120.0) {
        canvas.text(kMarginLeft + 4.0, kSlotTop + 17.0, "waiting for a bar line: input passes",
                    captionStyle);
    }
    if (firstCapture < firstPass && canvas.x(firstPass) - canvas.x(firstCapture) >= 120.0) {
        canvas.text(canvas.x(firstCapture) + 4.0, kSlotTop + 17.0,
                    "capturing the loop: input passes", captionStyle);
    }
    for (const PassSpan& pass : timeline.passes()) {
        if (pass.clockOrigin != pass.frames.begin) {
            continue;
        }
        const double x = canvas.x(pass.frames.begin);
        canvas.line(x, kPassRowTop, x, kOutputTop + kLaneHeight,
                    "stroke=\"#222\" stroke-width=\"1.6\"");
        const double passPixels =
            static_cast<double>(pass.frames.end - pass.frames.begin) * canvas.pixelsPerFrame();
        const std::string label = passPixels >= 52.0 ? "pass " + std::to_string(pass.number)
                                                     : std::to_string(pass.number);
        if (passPixels >= static_cast<double>(label.size()) * 6.0 + 4.0) {
            canvas.text(x + 3.0, kPassRowTop + 10.0, label, "font-size=\"10\" fill=\"#222\"");
        }
    }
    const std::int64_t reliable = timeline.reliableUntil();
    if (reliable < canvas.totalFrames()) {
        const double x = canvas.x(reliable);
        canvas.rect(x, kSlotTop, kMarginLeft + canvas.width() - x, kSlotHeight,
                    "fill=\"#eeeeee\" stroke=\"none\"");
        canvas.text(x + 4.0, kSlotTop + 17.0,
                    "no slot map from here: " + timeline.unreliableReason(),
                    "font-size=\"11\" fill=\"#a00\"");
    }
}

void drawMarkers(Canvas& canvas, const PlotInput& plot)
{
    for (const PlotMarker& marker : plot.markers) {
        const double x = canvas.x(marker.renderFrame);
        canvas.line(x, kMarkerRowY + 3.0, x, kAxisTop,
                    std::string("stroke=\"") + kMarkerColour +
                        "\" stroke-width=\"1.2\" stroke-dasharray=\"5 3\"");
        canvas.text(x + 3.0, kMarkerRowY, marker.text,
                    std::string("font-size=\"11\" fill=\"") + kMarkerColour + "\"");
    }
}

void drawTimeAxis(Canvas& canvas, double sampleRate)
{
    const double seconds = static_cast<double>(canvas.totalFrames()) / sampleRate;
    constexpr double kSteps[] = {0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1,   2,
                                 5,    10,   15,   30,  60,  120, 300, 600};
    double step = kSteps[std::size(kSteps) - 1];
    for (const double candidate : kSteps) {
        if (candidate / seconds * canvas.width() >= 60.0) {
            step = candidate;
            break;
        }
    }
    canvas.line(kMarginLeft, kAxisTop, kMarginLeft + canvas.width(), kAxisTop,
                "stroke=\"#555\" stroke-width=\"0.8\"");
    for (std::int64_t tick = 0; static_cast<double>(tick) * step <= seconds + 1e-9; ++tick) {
        const double t = static_cast<double>(tick) * step;
        const double x = kMarginLeft + t / seconds * canvas.width();
        canvas.line(x, kAxisTop, x, kAxisTop + 5.0, "stroke=\"#555\" stroke-width=\"0.8\"");
        char text[32];
        std::snprintf(text, sizeof text, step < 0.1 ? "%.2f" : (step < 1.0 ? "%.1f" : "%.0f"), t);
        canvas.text(x, kAxisTop + 17.0, std::string(text) + (tick == 0 ? " s" : ""),
                    "font-size=\"10\" text-anchor=\"middle\" fill=\"#555\"");
    }
}

void drawLegend(Canvas& canvas)
{
    struct Entry {
        const char* fill;
        const char* text;
    };
    constexpr Entry kEntries[] = {
        {kForwardFill, "n: plays slice n of the captured loop"},
        {kReversedFill, "nR: slice n backwards"},
        {kSilentFill, "S: silent"},
        {kUnknownFill, "?: no exact match"},
        {kCaptureFill, "captured loop (slices numbered)"},
    };
    double x = kMarginLeft;
    for (const Entry& entry : kEntries) {
        canvas.rect(x, kLegendY - 10.0, 14.0, 12.0,
                    std::string("fill=\"") + entry.fill +
                        "\" stroke=\"#999\" stroke-width=\"0.6\"");
        canvas.text(x + 19.0, kLegendY, entry.text, "font-size=\"11\" fill=\"#333\"");
        x += 26.0 + static_cast<double>(std::char_traits<char>::length(entry.text)) * 6.0;
    }
    canvas.line(x, kLegendY - 11.0, x, kLegendY + 2.0, "stroke=\"#222\" stroke-width=\"1.6\"");
    canvas.text(x + 5.0, kLegendY, "pass start", "font-size=\"11\" fill=\"#333\"");
    x += 78.0;
    canvas.line(x, kLegendY - 11.0, x, kLegendY + 2.0, "stroke=\"#9a9a9a\" stroke-width=\"0.7\"");
    canvas.text(x + 5.0, kLegendY, "bar line", "font-size=\"11\" fill=\"#333\"");
}

} // namespace

std::string escapeXml(const std::string& text)
{
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            // Control characters are not allowed in XML 1.0 text.
            escaped += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
        }
    }
    return escaped;
}

std::int32_t automaticPlotWidth(const EffectTimeline& timeline, std::int64_t totalFrames)
{
    constexpr double kSlotPixels = 18.0;
    constexpr double kMinWidth = 1200.0;
    constexpr double kMaxWidth = 3200.0;
    std::int32_t shortest = 0;
    for (const PassSpan& pass : timeline.passes()) {
        if (pass.sliceFrames > 0 && (shortest == 0 || pass.sliceFrames < shortest)) {
            shortest = pass.sliceFrames;
        }
    }
    if (shortest == 0) {
        return 1600;
    }
    const double width =
        kMarginLeft + kMarginRight + kSlotPixels * static_cast<double>(totalFrames) / shortest;
    return static_cast<std::int32_t>(std::clamp(std::ceil(width), kMinWidth, kMaxWidth));
}

std::string renderSvgPlot(const PlotInput& plot)
{
    const double width = std::max(400, plot.width);
    Canvas canvas(plot.input->frames(), width);
    canvas.svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    canvas.svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + number(width) +
                  "\" height=\"" + number(kHeight) + "\" viewBox=\"0 0 " + number(width) + " " +
                  number(kHeight) + "\" font-family=\"DejaVu Sans, Arial, sans-serif\">\n";
    canvas.rect(0.0, 0.0, width, kHeight, "fill=\"#ffffff\"");
    canvas.text(8.0, 20.0, plot.title, "font-size=\"15\" font-weight=\"bold\" fill=\"#111\"");
    canvas.text(8.0, 37.0, plot.subtitle, "font-size=\"11\" fill=\"#444\"");

    drawCaptures(canvas, *plot.timeline);
    drawLane(canvas, *plot.input, kInputTop, "input");
    drawLane(canvas, *plot.output, kOutputTop, "output");
    drawSlots(canvas, plot);
    drawBars(canvas, plot);
    drawMarkers(canvas, plot);
    drawTimeAxis(canvas, plot.input->sampleRate);
    drawLegend(canvas);
    canvas.svg += "</svg>\n";
    return canvas.svg;
}

} // namespace vorblexter::tool
