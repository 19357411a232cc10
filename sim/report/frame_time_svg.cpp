// The frame-time chart and the distribution, as capture tools draw them. Their size follows their
// width: the chart is one column a pixel (the slowest and fastest frame there), and every column
// that holds a hitch gets a mark above the plot, so no hitch is lost to the downsampling.
#include "sim/report/chart_layout.h"
#include "sim/report/frame_times.h"
#include "sim/report/svg_writer.h"
#include "sim/text.h"

#include <fmt/format.h>
#include <fmt/ostream.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace sim {
namespace {

using chart::left;
using chart::right;
using chart::width;

constexpr double plotTop = 56;
constexpr double plotBottom = 250;
constexpr double chartHeight = 300;
constexpr const char* hitchColour = "#d3423a";
constexpr const char* frameColour = "#1f5fa8";

double yOf(double ms, double maxMs)
{
    return plotBottom - (plotBottom - plotTop) * std::clamp(ms, 0.0, maxMs) / maxMs;
}

void opening(svg::Writer& out, const std::string& title)
{
    out.put("<svg xmlns='http://www.w3.org/2000/svg' width='{0}' height='{1}' viewBox='0 0 {0} "
            "{1}' font-family='sans-serif' font-size='12' role='img'>\n<title>{3}</title>\n"
            "<rect width='100%' height='100%' fill='white'/>\n<text x='{2}' y='24' "
            "font-size='15' font-weight='bold'>{3}</text>\n",
            width, chartHeight, left, title);
}

// The plot's frame and the milliseconds up its side, about five steps of a round size.
void msAxis(svg::Writer& out, double maxMs)
{
    out.put("<rect x='{}' y='{}' width='{}' height='{}' fill='none' stroke='#999'/>\n", left,
            plotTop, right - left, plotBottom - plotTop);
    double step = maxMs;
    for (const double candidate : {1.0, 2.0, 5.0, 10.0, 20.0, 25.0, 50.0, 100.0, 200.0, 250.0,
                                   500.0, 1000.0, 2000.0, 5000.0}) {
        if (maxMs / candidate <= 6) {
            step = candidate;
            break;
        }
    }
    for (double ms = 0; ms <= maxMs + 1e-9; ms += step) {
        out.put("<text x='{}' y='{:.1f}' text-anchor='end'>{:g}</text>\n<line x1='{}' x2='{}' "
                "y1='{:.1f}' y2='{:.1f}' stroke='#ddd'/>\n",
                left - 6, yOf(ms, maxMs) + 4, ms, left, right, yOf(ms, maxMs), yOf(ms, maxMs));
    }
    out.put("<text x='16' y='{0}' transform='rotate(-90 16 {0})' text-anchor='middle'>frame "
            "time, ms</text>\n",
            (plotTop + plotBottom) / 2);
}

void footNote(svg::Writer& out, const std::string& text)
{
    out.put("<text x='{}' y='{}' font-size='11'>{}</text>\n", left, chartHeight - 8, text);
}

// Columns are the capture's own; on a longer common axis they take a share of the width.
double columnShare(const FrameTimeView& view, const FrameTimeScale& scale)
{
    return scale.durationMs > 0 ? std::min(1.0, view.wants.durationMs / scale.durationMs) : 1;
}

} // namespace

std::vector<HitchMark> hitchMarks(const FrameTimeView& view, const FrameTimeScale& scale)
{
    const double share = columnShare(view, scale);
    std::vector<HitchMark> marks;
    for (std::size_t i = 0; i < view.columns.size(); ++i) {
        const FrameTimeColumn& c = view.columns[i];
        if (c.hitches == 0) {
            continue;
        }
        const double x = left + (static_cast<double>(i) + 0.5) * share;
        // At its first column, so that marks stand a mark's width apart at least.
        if (marks.empty() || x - marks.back().x >= hitchMarkWidth) {
            marks.push_back({x, 0, 0});
        }
        HitchMark& m = marks.back();
        m.hitches += c.hitches;
        m.slowestMs = std::max(m.slowestMs, c.maxMs);
    }
    return marks;
}

void writeFrameTimeSvg(std::ostream& stream, const FrameTimeView& view, const FrameTimeScale& scale,
                       const std::string& title, const std::vector<Span>& asideSpans)
{
    svg::Writer out(stream);
    opening(out, title);
    const chart::Scale s{scale.durationMs, 1};
    chart::spanBands(out, chart::setAsideSpans(asideSpans), chart::setAsideFill, s, plotTop,
                     plotBottom);
    msAxis(out, scale.maxMs);
    chart::timeLabels(out, s, plotBottom + 16);
    const double share = columnShare(view, scale);
    std::string upper;
    std::string lower;
    std::string mean;
    html::Markup hitches;
    for (std::size_t i = 0; i < view.columns.size(); ++i) {
        const FrameTimeColumn& c = view.columns[i];
        const double x = left + (static_cast<double>(i) + 0.5) * share;
        if (c.frames > 0) {
            upper += fmt::format("{:.1f},{:.1f} ", x, yOf(c.maxMs, scale.maxMs));
            lower.insert(0, fmt::format("{:.1f},{:.1f} ", x, yOf(c.minMs, scale.maxMs) + 0.5));
            mean += fmt::format("{:.1f},{:.1f} ", x, yOf(c.sumMs / c.frames, scale.maxMs));
        }
    }
    for (const HitchMark& m : hitchMarks(view, scale)) {
        const double half = hitchMarkWidth / 2;
        hitches.text +=
            html::format(
                "<path d='M{0:.1f},{1} L{2:.1f},{1} L{3:.1f},{4} Z'><title>{5} hitch{6}{7}</title>"
                "</path>\n",
                m.x - half, plotTop - 15, m.x + half, m.x, plotTop - 6, m.hitches,
                m.hitches == 1 ? "" : "es",
                m.slowestMs > scale.maxMs ? fmt::format(", the slowest {:.0f} ms", m.slowestMs)
                                          : "")
                .text;
    }
    if (!upper.empty()) {
        out.put("<polygon fill='{0}' stroke='{0}' stroke-width='1' points='{1}{2}'/>\n",
                frameColour, upper, lower);
        out.put("<polyline fill='none' stroke='#ffd34d' stroke-width='1.2' points='{}'/>\n", mean);
    }
    out.put("<g fill='{}'>\n{}</g>\n", hitchColour, hitches);
    out.put("<text x='{}' y='{}' text-anchor='end' font-size='10' fill='{}'>hitches</text>\n",
            left - 6, plotTop - 7, hitchColour);
    footNote(out, fmt::format("Each pixel column: its fastest to its slowest frame, its mean in "
                              "yellow. Red: hitches (over {:g} times the median of {} "
                              "neighbours). Frames above {:g} ms are cut at the top.{}",
                              hitchFactor, 2 * hitchNeighbours, scale.maxMs,
                              asideSpans.empty() ? "" : " Beige: not play."));
    out.put("</svg>\n");
}

void writeDistributionSvg(std::ostream& stream, const FrameTimeView& view, double maxMs,
                          const std::string& title)
{
    svg::Writer out(stream);
    opening(out, title);
    msAxis(out, maxMs);
    const auto xOf = [](double decades) {
        return left + (right - left) * decades / distributionDecades;
    };
    for (const auto& [percent, label] :
         {std::pair{0.0, "0"}, std::pair{50.0, "50"}, std::pair{90.0, "90"},
          std::pair{99.0, "99 (P1 low)"}, std::pair{99.9, "99.9 (P0.1 low)"},
          std::pair{99.99, "99.99th percentile"}}) {
        const double x = xOf(-std::log10(1 - percent / 100));
        out.put("<line x1='{0:.1f}' x2='{0:.1f}' y1='{1}' y2='{2}' stroke='#ddd'/>\n<text "
                "x='{0:.1f}' y='{3}' text-anchor='{4}'>{5}</text>\n",
                x, plotTop, plotBottom, plotBottom + 16, percent > 99.95 ? "end" : "middle", label);
    }
    std::string points;
    for (std::size_t k = 0; k < view.percentileMs.size(); ++k) {
        const double decades =
            distributionDecades * static_cast<double>(k) / (distributionPoints - 1);
        points += fmt::format("{:.1f},{:.1f} ", xOf(decades), yOf(view.percentileMs[k], maxMs));
    }
    out.put("<polyline fill='none' stroke='{}' stroke-width='2' points='{}'/>\n", frameColour,
            points);
    footNote(out, "Across: the share of frames at or below each frame time, stretched toward the "
                  "slowest frames (equal steps for 90, 99, 99.9 and 99.99).");
    out.put("</svg>\n");
}

} // namespace sim
