// The marks that sit on the chart's time axis: states' colours, purges on a strip of their own
// (counted where they crowd), spans such as slumps behind them, the time labels, and the legend
// that names them.
#include "sim/report/chart.h"
#include "sim/report/chart_layout.h"
#include "sim/report/session_report.h"
#include "sim/report/svg_writer.h"
#include "sim/text.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace sim::chart {

const char* stateColour(PerfState state)
{
    switch (state) {
    case PerfState::Normal:
        return "#3a9d4a";
    case PerfState::Moderate:
        return "#e8a317";
    case PerfState::Critical:
        return "#d3423a";
    }
    return "#888";
}

double stateHeight(PerfState state, double full)
{
    return full * (static_cast<double>(state) + 1) / 3;
}

void purgeMarks(svg::Writer& out, const std::vector<PurgeEvent>& purges, const Scale& s,
                bool vehicles, const Strip& strip)
{
    out.put("<text x='{}' y='{}' text-anchor='end' font-size='10'>{}</text>\n", left - 6,
            strip.bottom - 2, strip.label);
    if (purges.empty()) {
        out.put("<text x='{}' y='{}' font-size='10' fill='{}'>no purge</text>\n", left + 4,
                strip.bottom - 3, strip.colour);
        return;
    }
    const auto cells = static_cast<std::size_t>((right - left) / purgeCell);
    std::vector<std::vector<const PurgeEvent*>> crowd(cells + 1);
    for (const PurgeEvent& purge : purges) {
        crowd[static_cast<std::size_t>((s.x(purge.timeMs) - left) / purgeCell)].push_back(&purge);
    }
    for (std::size_t i = 0; i < crowd.size(); ++i) {
        if (crowd[i].empty()) {
            continue;
        }
        const double x = s.x(crowd[i].front()->timeMs);
        const PurgeEvent& first = *crowd[i].front();
        const std::string what =
            crowd[i].size() > 1
                ? fmt::format("{} purges from {} to {}", crowd[i].size(),
                              formatSeconds(first.timeMs), formatSeconds(crowd[i].back()->timeMs))
            : vehicles
                ? fmt::format("purge at {}, {} removed", formatSeconds(first.timeMs), first.removed)
                : fmt::format("a purge would run at {}", formatSeconds(first.timeMs));
        // One purge is a mark; several close together are their count, in the mark's place.
        if (crowd[i].size() == 1 && strip.shape == Shape::Circle) {
            out.put("<circle cx='{:.1f}' cy='{}' r='4.5' fill='{}'><title>{}</title></circle>\n", x,
                    (strip.top + strip.bottom) / 2, strip.colour, what);
        } else if (crowd[i].size() == 1) {
            out.put("<path d='M{:.1f},{} L{:.1f},{} L{:.1f},{} Z' fill='{}'><title>{}"
                    "</title></path>\n",
                    x - 4, strip.top, x + 4, strip.top, x, strip.bottom, strip.colour, what);
        } else {
            // Longer counts in smaller type, so that each stays within its cell.
            const std::string count = std::to_string(crowd[i].size());
            const int fontPx = count.size() == 1 ? 10 : count.size() == 2 ? 8 : 6;
            out.put("<text x='{:.1f}' y='{}' text-anchor='middle' font-size='{}' "
                    "font-weight='bold' fill='{}'>{}<title>{}</title></text>\n",
                    left + (static_cast<double>(i) + 0.5) * purgeCell, strip.bottom - 2, fontPx,
                    strip.colour, count, what);
        }
    }
}

void spanBands(svg::Writer& out, const std::vector<Span>& spans, const char* fill, const Scale& s,
               double from, double to)
{
    for (const Span& span : spans) {
        const double x = s.x(span.startMs);
        out.put("<rect x='{:.1f}' y='{}' width='{:.1f}' height='{}' fill='{}'><title>{}</title>"
                "</rect>\n",
                x, from, std::max(1.0, s.x(span.endMs) - x), to - from, fill, span.what);
    }
}

std::vector<Span> setAsideSpans(const std::vector<sim::Span>& spans)
{
    std::vector<Span> shaded;
    for (const sim::Span& span : spans) {
        shaded.push_back({span.startMs, span.endMs,
                          fmt::format("not play, left out: a loading screen, a menu or a pause "
                                      "from {} to {}",
                                      formatSeconds(span.startMs), formatSeconds(span.endMs))});
    }
    return shaded;
}

void levelBands(svg::Writer& out, const std::vector<PlayLevel>& levels, const Scale& s, double from,
                double to)
{
    for (std::size_t i = 0; i < levels.size(); ++i) {
        const PlayLevel& level = levels[i];
        const double x = s.x(level.startMs);
        const double w = std::max(1.0, s.x(level.endMs) - x);
        out.put("<rect x='{:.1f}' y='{}' width='{:.1f}' height='{}' fill='{}'><title>level of "
                "play from {} to {}, {:.0f} fps: its own pace, not a slump</title></rect>\n",
                x, from, w, to - from, i % 2 == 0 ? levelFill : levelOtherFill,
                formatSeconds(level.startMs), formatSeconds(level.endMs), level.fps);
        if (w >= 40) {
            out.put("<text x='{:.1f}' y='{}' font-size='10' fill='#4d6b3c'>{:.0f} fps</text>\n",
                    x + 3, from + 11, level.fps);
        }
    }
}

std::vector<Span> slumpSpans(const std::vector<Slump>& slumps)
{
    std::vector<Span> spans;
    for (const Slump& slump : slumps) {
        spans.push_back(
            {slump.startMs, slump.endMs,
             fmt::format("slump from {} to {}, {:.1f} fps", formatSeconds(slump.startMs),
                         formatSeconds(slump.endMs), slump.fps)});
    }
    return spans;
}

namespace {

std::string timeLabel(double seconds, double step)
{
    if (step >= 3600) {
        return fmt::format("{:g} h", seconds / 3600);
    }
    if (step >= 60) {
        return fmt::format("{:g} min", seconds / 60);
    }
    return fmt::format("{:g} s", seconds);
}

} // namespace

void timeLabels(svg::Writer& out, const Scale& s, double y)
{
    const double seconds = s.durationMs / 1000.0;
    constexpr double steps[] = {1,   2,    5,    10,   15,    30,    60,    120,  300,
                                600, 1800, 3600, 7200, 14400, 21600, 43200, 86400};
    constexpr int mostLabels = 12; // what the chart's width holds
    // Past a day a step, whole days: the labels follow the width, never the capture's length.
    double step = std::ceil(seconds / mostLabels / 86400.0) * 86400.0;
    for (const double candidate : steps) {
        if (seconds / candidate <= mostLabels) {
            step = candidate;
            break;
        }
    }
    for (int i = 0; i <= mostLabels && i * step <= seconds; ++i) {
        out.put("<text x='{:.1f}' y='{}' text-anchor='middle'>{}</text>\n", s.x(i * step * 1000), y,
                timeLabel(i * step, step));
    }
}

namespace {

// A legend entry: its mark, then its label after a gap; the next entry starts advance further
// on.
enum class Mark { State, Purge, OtherPurge, Line, DashedLine, Slump, SetAside, Level };
struct LegendEntry {
    Mark mark;
    PerfState state; // for Mark::State
    const char* label;
    double advance;
};

void legendMark(svg::Writer& out, const LegendEntry& entry, double x)
{
    constexpr double side = 10;
    double labelAt = x + side + 4;
    switch (entry.mark) {
    case Mark::State: {
        const double h = stateHeight(entry.state, side);
        out.put("<rect{} width='{}' height='{:.2g}' y='{:.2g}' fill='{}'/>",
                x > 0 ? html::format(" x='{}'", x) : html::Markup{}, side, h, 1 - h,
                stateColour(entry.state));
        break;
    }
    case Mark::Purge:
        out.put("<path d='M{0},-9 L{1},-9 L{2},0 Z' fill='{3}'/>", x, x + side, x + side / 2,
                purgeStrip.colour);
        break;
    case Mark::OtherPurge:
        out.put("<circle cx='{}' cy='-4.5' r='4.5' fill='{}'/>", x + side / 2, otherStrip.colour);
        break;
    case Mark::Line:
    case Mark::DashedLine:
        labelAt += side;
        out.put("<line x1='{}' x2='{}' y1='-4' y2='-4' stroke='{}' stroke-width='1.5'{}/>", x,
                x + 2 * side, entry.mark == Mark::Line ? "#1f5fa8" : "#777",
                html::trusted(entry.mark == Mark::Line ? "" : " stroke-dasharray='4 2'"));
        break;
    case Mark::Slump:
    case Mark::SetAside:
    case Mark::Level:
        out.put("<rect x='{}' width='{}' height='{}' y='-9' fill='{}'/>", x, side, side,
                entry.mark == Mark::Slump      ? slumpFill
                : entry.mark == Mark::SetAside ? setAsideFill
                                               : levelFill);
        break;
    }
    out.put("<text x='{}'>{}</text>", labelAt, entry.label);
}

} // namespace

void legend(svg::Writer& out, bool compared, bool slumps, bool notPlay, bool otherPair, bool levels)
{
    std::vector<LegendEntry> entries{
        {Mark::State, PerfState::Normal, "Normal", 62},
        {Mark::State, PerfState::Moderate, "Moderate", 74},
        {Mark::State, PerfState::Critical, "Critical", 64},
    };
    if (otherPair) {
        entries.push_back({Mark::Purge, {}, "purge, yours", 90});
        entries.push_back({Mark::OtherPurge, {}, "purge, recommended (dotted lines)", 216});
    } else {
        entries.push_back({Mark::Purge, {}, "purge", 56});
    }
    entries.push_back({Mark::Line, {}, "mean fps (band: min to max)", 189});
    if (compared) {
        entries.push_back({Mark::DashedLine, {}, "without Tarnwick", 0});
    } else if (slumps) {
        entries.push_back({Mark::Slump, {}, "slump", 56});
        if (notPlay) {
            entries.push_back({Mark::SetAside, {}, "not play", 66});
        }
        if (levels) {
            entries.push_back({Mark::Level, {}, "level", 0});
        }
    }
    out.put("<g transform='translate({},{})' font-size='11'>", left, height - 10);
    double x = 0;
    for (const LegendEntry& entry : entries) {
        legendMark(out, entry, x);
        x += entry.advance;
    }
    out.put("</g>\n");
}

} // namespace sim::chart
