// Longer than most files here on purpose: the chart's scale, its bands and its envelope share the
// layout of chart_layout.h and nothing else; the marks and legend are in marks.cpp already.
// The chart people look at instead of reading the timeline. It holds at any length: the frame
// rate is drawn per pixel of the plot's width (the envelope of its lowest and highest, and its
// mean), the state band takes each pixel's worst state, and purges have a strip of their own,
// counted where they crowd. So the file's size follows the chart's width, not the session's length.
#include "sim/report/chart.h"
#include "sim/report/chart_layout.h"
#include "sim/report/svg_writer.h"
#include "sim/text.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace sim {
namespace {

using namespace chart;

// One pixel of the plot's width: what the frames drawn there did.
struct Slice {
    double ms = 0;
    std::uint64_t frames = 0;
    float minFps = std::numeric_limits<float>::infinity();
    float maxFps = 0;
    PerfState worst = PerfState::Normal;
    double meanFps() const { return framesPerSecond(frames, ms); }
};

std::vector<Slice> slicesOf(const FpsHistory& history, const Scale& s)
{
    std::vector<Slice> slices(static_cast<std::size_t>(right - left));
    for (const FpsBucket& b : history.buckets) {
        if (b.frames == 0 || b.ms <= 0) {
            continue;
        }
        const auto at =
            std::min(static_cast<std::size_t>(s.x(b.startMs + b.ms / 2) - left), slices.size() - 1);
        Slice& c = slices[at];
        c.ms += b.ms;
        c.frames += b.frames;
        c.minFps = std::min(c.minFps, b.minFps);
        c.maxFps = std::max(c.maxFps, b.maxFps);
        c.worst = std::max(c.worst, b.worst);
    }
    return slices;
}

// The scale follows what the game usually reaches: a loading screen at 500 fps for a tenth of
// the session would otherwise squeeze the play into the bottom of the chart (it is drawn
// clipped at the top instead).
// A stretch of the chart that lies wholly in what is set aside: a loading screen at 500 fps is not
// what the scale is for.
bool wholeInAside(const FpsBucket& b, const std::vector<sim::Span>* spans)
{
    if (spans == nullptr) {
        return false;
    }
    return std::any_of(spans->begin(), spans->end(), [&b](const sim::Span& s) {
        return s.startMs <= b.startMs && b.startMs + b.ms <= s.endMs;
    });
}

double chooseMaxFps(const SessionResult& result, const SessionResult* baseline,
                    const OtherPair* other, const std::vector<sim::Span>* aside)
{
    std::vector<double> tops;
    for (const SessionResult* r : {&result, baseline}) {
        for (const FpsBucket& b : r ? r->fpsHistory.buckets : std::vector<FpsBucket>{}) {
            if (wholeInAside(b, aside)) {
                continue;
            }
            // The envelope's tops too, but not a lone spike far above its stretch's mean.
            tops.push_back(
                std::max(b.meanFps(), std::min(static_cast<double>(b.maxFps), 1.5 * b.meanFps())));
        }
    }
    double highest = 60;
    if (!tops.empty()) {
        const auto place = tops.begin() + static_cast<std::ptrdiff_t>(tops.size() * 9 / 10);
        std::nth_element(tops.begin(), place, tops.end());
        highest = std::max(highest, *place);
    }
    if (result.enabled) {
        highest = std::max(highest, result.settings.fpsModerate + 15.0);
    }
    if (other != nullptr) {
        highest = std::max(highest, other->moderate + 15.0);
    }
    return std::min(std::ceil(highest * 1.1 / 10.0) * 10.0, 500.0);
}

struct Threshold {
    double fps;
    const char* colour;
    const char* label;
};

std::vector<Threshold> thresholdsOf(const SessionResult& result, const Scale& s)
{
    std::vector<Threshold> shown;
    if (!result.enabled) {
        return shown;
    }
    for (const Threshold t : {Threshold{static_cast<double>(result.settings.fpsModerate),
                                        stateColour(PerfState::Moderate), "FPS_Moderate"},
                              Threshold{static_cast<double>(result.settings.fpsCritical),
                                        stateColour(PerfState::Critical), "FPS_Critical"}}) {
        if (t.fps >= 0 && t.fps <= s.maxFps) {
            shown.push_back(t);
        }
    }
    return shown;
}

// Hysteresis: the state leaves only above the threshold and the plug-in's hysteresis.
void thresholdBands(svg::Writer& out, const std::vector<Threshold>& shown, const Scale& s)
{
    for (const Threshold& t : shown) {
        out.put("<rect x='{}' y='{:.1f}' width='{}' height='{:.1f}' fill='{}' opacity='0.15'/>\n"
                "<line x1='{}' x2='{}' y1='{:.1f}' y2='{:.1f}' stroke='{}' "
                "stroke-dasharray='6 4'/>\n",
                left, s.y(t.fps + hysteresisFps), right - left,
                s.y(t.fps) - s.y(t.fps + hysteresisFps), t.colour, left, right, s.y(t.fps),
                s.y(t.fps), t.colour);
    }
}

// Another pair's thresholds: dotted, over the player's, labelled at the left where the player's
// are labelled at the right, so that neither hides the other when they are the same.
void otherThresholds(svg::Writer& out, const OtherPair& pair, const SessionResult& yours,
                     const Scale& s)
{
    constexpr double lineHeight = 14;
    double lastY = -lineHeight;
    const GovernorSettings& mine = yours.settings;
    for (const auto& [t, same] :
         {std::pair{Threshold{static_cast<double>(pair.moderate), stateColour(PerfState::Moderate),
                              "FPS_Moderate"},
                    yours.enabled && pair.moderate == mine.fpsModerate},
          std::pair{Threshold{static_cast<double>(pair.critical), stateColour(PerfState::Critical),
                              "FPS_Critical"},
                    yours.enabled && pair.critical == mine.fpsCritical}}) {
        if (t.fps < 0 || t.fps > s.maxFps) {
            continue;
        }
        const double y = std::max(s.y(t.fps) + 13, lastY + lineHeight);
        out.put("<line x1='{0}' x2='{1}' y1='{2:.1f}' y2='{2:.1f}' stroke='{3}' stroke-width='2' "
                "stroke-dasharray='1 3'/>\n<text x='{4}' y='{5:.1f}' fill='{3}' stroke='white' "
                "stroke-width='4' paint-order='stroke'>recommended {6} {7}{8}</text>\n",
                left, right, s.y(t.fps), t.colour, left + 4, y, t.label, t.fps,
                same ? " (yours too)" : "");
        lastY = y;
    }
}

// Drawn last, with a white halo, so the data never hides them.
// Close thresholds (59 and 58) would print over each other: the lower label steps down a line.
void thresholdLabels(svg::Writer& out, const std::vector<Threshold>& shown, const Scale& s)
{
    constexpr double lineHeight = 14;
    double lastY = -lineHeight;
    for (const Threshold& t : shown) {
        const double y = std::max(s.y(t.fps + hysteresisFps) - 3, lastY + lineHeight);
        out.put("<text x='{}' y='{:.1f}' text-anchor='end' fill='{}' stroke='white' "
                "stroke-width='4' paint-order='stroke' font-weight='bold'>{} {} (+{} to "
                "leave)</text>\n",
                right - 4, y, t.colour, t.label, t.fps, hysteresisFps);
        lastY = y;
    }
}

void axes(svg::Writer& out, const Scale& s)
{
    out.put("<rect x='{}' y='{}' width='{}' height='{}' fill='none' stroke='#999'/>\n", left, top,
            right - left, bottom - top);
    const double fpsStep = s.maxFps > 200 ? 50 : s.maxFps > 100 ? 20 : 10;
    for (double fps = 0; fps <= s.maxFps; fps += fpsStep) {
        out.put("<text x='{}' y='{:.1f}' text-anchor='end'>{}</text>\n", left - 6, s.y(fps) + 4,
                fps);
    }
    timeLabels(out, s, bandTop + bandHeight + 16);
    out.put("<text x='16' y='{0}' transform='rotate(-90 16 {0})' text-anchor='middle'>frames "
            "per second</text>\n",
            (top + bottom) / 2);
}

void envelope(svg::Writer& out, const std::vector<Slice>& slices, const Scale& s, bool withSpread,
              const char* colour)
{
    std::string upper;
    std::string lower;
    std::string mean;
    for (std::size_t i = 0; i < slices.size(); ++i) {
        const Slice& c = slices[i];
        if (c.frames == 0) {
            continue;
        }
        const double x = left + static_cast<double>(i) + 0.5;
        upper += fmt::format("{:.1f},{:.1f} ", x, s.y(c.maxFps));
        lower.insert(0, fmt::format("{:.1f},{:.1f} ", x, s.y(c.minFps)));
        mean += fmt::format("{:.1f},{:.1f} ", x, s.y(c.meanFps()));
    }
    if (withSpread && !upper.empty()) {
        out.put("<polygon fill='#9ec5e8' opacity='0.7' points='{}{}'/>\n", upper, lower);
    }
    out.put("<polyline fill='none' stroke='{}' stroke-width='1.5' points='{}'/>\n", colour, mean);
}

void stateBands(svg::Writer& out, const SessionResult& result, const std::vector<Slice>& slices)
{
    if (!result.enabled) {
        out.put("<text x='{}' y='{}'>Enabled=0: the governor is off</text>\n", left, bandTop + 13);
        return;
    }
    std::size_t from = 0;
    PerfState state = PerfState::Normal;
    const auto band = [&](std::size_t to) {
        if (to <= from) {
            return;
        }
        // A moment of Critical is what a player looks for: never thinner than three pixels.
        const double wide = state == PerfState::Critical ? 3.0 : 0.0;
        const double w = std::max(static_cast<double>(to - from), wide);
        // Heights tell the states apart too, for players who cannot tell red from green.
        const double h = stateHeight(state, bandHeight);
        out.put("<rect x='{:.1f}' y='{}' width='{:.1f}' height='{}' fill='{}'><title>{}</title>"
                "</rect>\n",
                left + static_cast<double>(from) - (w - static_cast<double>(to - from)) / 2,
                bandTop + bandHeight - h, w, h, stateColour(state), perfStateName(state));
    };
    for (std::size_t i = 0; i < slices.size(); ++i) {
        // A pixel without frames of its own carries the state before it.
        const PerfState here = slices[i].frames > 0 ? slices[i].worst : state;
        if (i == 0 || here != state) {
            band(i);
            from = i;
            state = here;
        }
    }
    band(slices.size());
}

} // namespace

double chartMaxFps(const SessionResult& result, const std::vector<sim::Span>* asideSpans)
{
    return chooseMaxFps(result, nullptr, nullptr, asideSpans);
}

void writeSvg(std::ostream& stream, const SessionResult& result, const ChartOptions& options)
{
    svg::Writer out(stream);
    const SessionResult* baseline = options.baseline;
    const OtherPair* other = options.recommended;
    const double durationMs =
        options.durationMs > 0 ? options.durationMs
                               : std::max(result.durationMs, baseline ? baseline->durationMs : 0.0);
    const Scale s{durationMs, options.maxFps > 0
                                  ? options.maxFps
                                  : chooseMaxFps(result, baseline, other, options.asideSpans)};
    out.put("<?xml version='1.0' encoding='UTF-8'?>\n<svg xmlns='http://www.w3.org/2000/svg' "
            "width='{0}' height='{1}' viewBox='0 0 {0} {1}' font-family='sans-serif' "
            "font-size='12' role='img'>\n<title>{3}</title>\n<rect width='100%' height='100%' "
            "fill='white'/>\n<text x='{2}' y='24' font-size='15' font-weight='bold'>{3}</text>\n",
            width, height, left, options.title);
    const bool notPlay = options.asideSpans != nullptr && !options.asideSpans->empty();
    const bool levels = options.levels != nullptr && !options.levels->empty();
    legend(out, baseline != nullptr, options.slumps != nullptr, notPlay, other != nullptr, levels);
    axes(out, s);
    if (levels) {
        levelBands(out, *options.levels, s, top, bottom);
    }
    if (options.slumps != nullptr) {
        spanBands(out, slumpSpans(*options.slumps), slumpFill, s, top, bottom);
    }
    if (notPlay) {
        spanBands(out, setAsideSpans(*options.asideSpans), setAsideFill, s, top, bottom);
    }
    const std::vector<Threshold> shown = thresholdsOf(result, s);
    thresholdBands(out, shown, s);
    const std::vector<Slice> slices = slicesOf(result.fpsHistory, s);
    if (baseline != nullptr) {
        out.put("<g stroke-dasharray='4 2'>");
        envelope(out, slicesOf(baseline->fpsHistory, s), s, false, "#777");
        out.put("</g>\n");
    }
    envelope(out, slices, s, true, "#1f5fa8");
    purgeMarks(out, result.purges, s, options.vehicles, other ? yoursStrip : purgeStrip);
    if (other != nullptr) {
        std::vector<PurgeEvent> purges;
        for (const double t : other->purgeTimesMs) {
            purges.push_back({t, 0});
        }
        purgeMarks(out, purges, s, false, otherStrip);
        otherThresholds(out, *other, result, s);
    }
    stateBands(out, result, slices);
    thresholdLabels(out, shown, s);
    out.put("</svg>\n");
}

} // namespace sim
