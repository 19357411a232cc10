// The tuner's heat map: one cell a pair, FPS_Moderate across and FPS_Critical up.
#include "sim/report/svg_writer.h"
#include "sim/report/tune_report.h"
#include "sim/text.h"

#include <fmt/format.h>
#include <fmt/ostream.h>

#include <algorithm>
#include <cmath>
#include <string_view>
#include <tuple>

namespace sim {
namespace {

constexpr double gridLeft = 70;
constexpr double gridTop = 50;
constexpr double cellWidth = 8;
constexpr double cellHeight = 4;
// At most one purge every purge interval: the scale's top.
constexpr double mostPerMinute = 60000.0 / purgeIntervalMs;

std::string heat(double perMinuteValue)
{
    // White to dark red, through orange.
    const double t = std::clamp(perMinuteValue / mostPerMinute, 0.0, 1.0);
    const auto channel = [t](double from, double mid, double to) {
        const double v = t < 0.5 ? from + (mid - from) * t * 2 : mid + (to - mid) * (t - 0.5) * 2;
        return static_cast<int>(std::lround(v));
    };
    return fmt::format("#{:02x}{:02x}{:02x}", channel(255, 245, 140), channel(255, 150, 20),
                       channel(255, 40, 30));
}

struct Grid {
    Range moderate;
    Range critical;
    std::size_t slumps;
    double x(std::int32_t m) const { return gridLeft + (m - moderate.low) * cellWidth; }
    double y(std::int32_t c) const { return gridTop + (critical.high - c) * cellHeight; }
    double right() const { return x(moderate.high + 1); }
    double bottom() const { return y(critical.low - 1); }
};

void axes(svg::Writer& out, const Grid& g)
{
    for (std::int32_t m = g.moderate.low; m <= g.moderate.high; ++m) {
        if (m % 10 == 0) {
            out.put("<text x='{:.1f}' y='{:.1f}' text-anchor='middle'>{}</text>\n",
                    g.x(m) + cellWidth / 2, g.bottom() + 14, m);
        }
    }
    for (std::int32_t c = g.critical.low; c <= g.critical.high; ++c) {
        if (c % 10 == 0) {
            out.put("<text x='{:.1f}' y='{:.1f}' text-anchor='end'>{}</text>\n", gridLeft - 6,
                    g.y(c) + cellHeight, c);
        }
    }
    out.put("<text x='{:.1f}' y='{:.1f}' text-anchor='middle'>FPS_Moderate</text>\n"
            "<text x='18' y='{:.1f}' transform='rotate(-90 18 {:.1f})' "
            "text-anchor='middle'>FPS_Critical</text>\n",
            (gridLeft + g.right()) / 2, g.bottom() + 32, (gridTop + g.bottom()) / 2,
            (gridTop + g.bottom()) / 2);
}

void legend(svg::Writer& out, const Grid& g)
{
    const double x = g.right() + 30;
    out.put("<text x='{:.1f}' y='{}'>purges a minute</text>\n", x, gridTop - 8);
    for (int step = 0; step <= 10; ++step) {
        const double value = mostPerMinute * (10 - step) / 10.0;
        out.put("<rect x='{:.1f}' y='{:.1f}' width='16' height='20' fill='{}' "
                "stroke='#ccc'/><text x='{:.1f}' y='{:.1f}'>{:.1f}</text>\n",
                x, gridTop + step * 20.0, heat(value), x + 22, gridTop + step * 20.0 + 14, value);
    }
    double y = gridTop + 240;
    const auto row = [&](const html::Markup& swatch, std::string_view label) {
        out.put("{}<text x='{:.1f}' y='{:.1f}'>{}</text>\n", swatch, x + 22, y + 13, label);
        y += 26;
    };
    const auto square = [&](std::string_view fill, std::string_view stroke, double strokeWidth) {
        return html::format("<rect x='{:.1f}' y='{:.1f}' width='16' height='16' fill='{}' "
                            "stroke='{}' stroke-width='{}'/>",
                            x, y, fill, stroke, strokeWidth);
    };
    row(square("url(#outside)", "#ccc", 1), "purges outside a slump");
    if (g.slumps > 0) {
        row(square("url(#missed)", "#ccc", 1), "misses a slump");
    }
    row(square("none", "black", 2), "your pair");
    row(square("none", "#1f5fa8", 3), "recommended");
    out.put("<text x='{:.1f}' y='{:.1f}'>slumps: {}</text>\n", x, y + 13,
            g.slumps == 0 ? std::string("none") : std::to_string(g.slumps));
}

void mark(svg::Writer& out, const Grid& g, const CellResult& c, const char* colour, double width)
{
    if (c.moderate < g.moderate.low || c.moderate > g.moderate.high ||
        c.critical < g.critical.low || c.critical > g.critical.high) {
        return;
    }
    out.put("<rect x='{:.1f}' y='{:.1f}' width='{}' height='{}' fill='none' stroke='{}' "
            "stroke-width='{}'><title>FPS_Moderate {}, FPS_Critical {}</title></rect>\n",
            g.x(c.moderate) - 2, g.y(c.critical) - 2, cellWidth + 4, cellHeight + 4, colour, width,
            c.moderate, c.critical);
}

// Neighbours up a column that look the same are one rectangle: the file stays small.
void cells(svg::Writer& out, const Grid& g, const TuneResult& result)
{
    const std::size_t slumps = result.slumps;
    const auto look = [&result, slumps](const CellResult& c) {
        const double rate = perMinute(static_cast<double>(c.purges), result.durationMs);
        return std::tuple{heat(rate), c.slumps.outside > 0, missedOf(c, slumps) > 0};
    };
    const auto& all = result.cells;
    for (std::size_t i = 0; i < all.size();) {
        std::size_t end = i + 1;
        while (end < all.size() && all[end].moderate == all[i].moderate &&
               all[end].critical == all[end - 1].critical + 1 && look(all[end]) == look(all[i])) {
            ++end;
        }
        const auto [fill, outside, missed] = look(all[i]);
        const double y = g.y(all[end - 1].critical);
        const double h = static_cast<double>(end - i) * cellHeight;
        out.put("<rect x='{:.0f}' y='{:.0f}' width='{:.0f}' height='{:.0f}' fill='{}'/>",
                g.x(all[i].moderate), y, cellWidth, h, fill);
        for (const auto& [shown, pattern] : {std::pair{outside, "outside"}, {missed, "missed"}}) {
            if (shown) {
                out.put("<rect x='{:.0f}' y='{:.0f}' width='{:.0f}' height='{:.0f}' "
                        "fill='url(#{})'/>",
                        g.x(all[i].moderate), y, cellWidth, h, pattern);
            }
        }
        out.put("\n");
        i = end;
    }
}

} // namespace

void writeTuneSvg(std::ostream& stream, const TuneReport& report)
{
    svg::Writer out(stream);
    const Grid g{report.moderate, report.critical, report.result.slumps};
    const double width = g.right() + 200;
    const double height = g.bottom() + 50;
    out.put("<?xml version='1.0' encoding='UTF-8'?>\n<svg xmlns='http://www.w3.org/2000/svg' "
            "width='{0:.0f}' height='{1:.0f}' viewBox='0 0 {0:.0f} {1:.0f}' "
            "font-family='sans-serif' font-size='12'>\n<defs><pattern id='outside' width='4' "
            "height='4' patternUnits='userSpaceOnUse'><path d='M0,4 L4,0' stroke='#1a1a1a' "
            "stroke-width='0.8'/></pattern><pattern id='missed' width='4' height='4' "
            "patternUnits='userSpaceOnUse'><circle cx='2' cy='2' r='0.9' fill='#1f5fa8'/>"
            "</pattern></defs>\n<rect width='100%' height='100%' "
            "fill='white'/>\n<title>every pair of thresholds: purges a minute, purges outside "
            "slumps and missed slumps</title>\n<text x='{2}' y='24' font-size='15' "
            "font-weight='bold'>tarnwick-sim tune: {3}</text>\n",
            width, height, gridLeft,
            (shown(report.captures.front().summary.application) +
             (report.captures.size() > 1
                  ? fmt::format(" and {} more capture{}", report.captures.size() - 1,
                                report.captures.size() > 2 ? "s" : "")
                  : std::string())));
    out.put("<rect x='{}' y='{}' width='{:.1f}' height='{:.1f}' fill='#f4f4f4'/>\n", gridLeft,
            gridTop, g.right() - gridLeft, g.bottom() - gridTop);
    cells(out, g, report.result);
    axes(out, g);
    legend(out, g);
    mark(out, g, report.result.current, "black", 2);
    if (report.result.recommended) {
        mark(out, g, report.result.cells[*report.result.recommended], "#1f5fa8", 3);
    }
    out.put("</svg>\n");
}

} // namespace sim
