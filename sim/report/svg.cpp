// The chart people look at instead of reading the timeline.
#include "sim/report/report.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace sim {
namespace {

constexpr double width = 1000;
constexpr double left = 60;
constexpr double right = 980;
constexpr double top = 40;
constexpr double bottom = 330;
constexpr double bandTop = 345;
constexpr double bandHeight = 18;
constexpr double height = 410;

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

std::string oneDecimal(double value)
{
    return fmt::format("{:.1f}", value);
}

std::string escape(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

struct Scale {
    double durationMs;
    double maxFps;
    double x(double ms) const
    {
        return left + (right - left) * (durationMs > 0 ? ms / durationMs : 0);
    }
    double y(double fps) const
    {
        if (std::isnan(fps)) {
            fps = 0;
        }
        return bottom - (bottom - top) * std::clamp(fps, 0.0, maxFps) / maxFps;
    }
};

double chooseMaxFps(const SessionResult& result)
{
    double highest = 60;
    for (const FpsBucket& b : result.fpsHistory.buckets) {
        highest = std::max(highest, b.meanFps());
    }
    if (result.enabled) {
        highest = std::max(highest, result.settings.fpsModerate + 15.0);
    }
    return std::min(std::ceil(highest * 1.1 / 10.0) * 10.0, 500.0);
}

void thresholds(std::ostream& out, const SessionResult& result, const Scale& s)
{
    const struct {
        double fps;
        const char* colour;
        const char* label;
    } lines[] = {{static_cast<double>(result.settings.fpsModerate), "#e8a317", "FPS_Moderate"},
                 {static_cast<double>(result.settings.fpsCritical), "#d3423a", "FPS_Critical"}};
    for (const auto& line : lines) {
        if (line.fps < 0 || line.fps > s.maxFps) {
            continue;
        }
        // Hysteresis: the state leaves only above threshold + 5.
        out << "<rect x='" << left << "' y='" << oneDecimal(s.y(line.fps + 5)) << "' width='"
            << right - left << "' height='" << oneDecimal(s.y(line.fps) - s.y(line.fps + 5))
            << "' fill='" << line.colour << "' opacity='0.15'/>\n";
        out << "<line x1='" << left << "' x2='" << right << "' y1='" << oneDecimal(s.y(line.fps))
            << "' y2='" << oneDecimal(s.y(line.fps)) << "' stroke='" << line.colour
            << "' stroke-dasharray='6 4'/>\n";
        out << "<text x='" << right - 4 << "' y='" << oneDecimal(s.y(line.fps + 5) - 3)
            << "' text-anchor='end' fill='" << line.colour
            << "' stroke='white' stroke-width='3' paint-order='stroke'>" << line.label << ' '
            << line.fps << " (+5 to leave)</text>\n";
    }
}

void axes(std::ostream& out, const Scale& s)
{
    out << "<rect x='" << left << "' y='" << top << "' width='" << right - left << "' height='"
        << bottom - top << "' fill='none' stroke='#999'/>\n";
    const double fpsStep = s.maxFps > 200 ? 50 : s.maxFps > 100 ? 20 : 10;
    for (double fps = 0; fps <= s.maxFps; fps += fpsStep) {
        out << "<text x='" << left - 6 << "' y='" << oneDecimal(s.y(fps) + 4)
            << "' text-anchor='end'>" << fps << "</text>\n";
    }
    const double seconds = s.durationMs / 1000.0;
    const double steps[] = {1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 1800, 3600};
    double step = steps[std::size(steps) - 1];
    for (const double candidate : steps) {
        if (seconds / candidate <= 12) {
            step = candidate;
            break;
        }
    }
    for (double t = 0; t <= seconds; t += step) {
        out << "<text x='" << oneDecimal(s.x(t * 1000)) << "' y='" << bandTop + bandHeight + 16
            << "' text-anchor='middle'>" << t << " s</text>\n";
    }
    out << "<text x='16' y='" << (top + bottom) / 2 << "' transform='rotate(-90 16 "
        << (top + bottom) / 2 << ")' text-anchor='middle'>frames per second</text>\n";
}

void stateBands(std::ostream& out, const SessionResult& result, const Scale& s)
{
    if (!result.enabled) {
        out << "<text x='" << left << "' y='" << bandTop + 13
            << "'>Enabled=0: the governor is off</text>\n";
        return;
    }
    PerfState state = PerfState::Normal;
    double from = 0;
    const auto band = [&](double to) {
        out << "<rect x='" << oneDecimal(s.x(from)) << "' y='" << bandTop << "' width='"
            << oneDecimal(std::max(s.x(to) - s.x(from), 0.5)) << "' height='" << bandHeight
            << "' fill='" << stateColour(state) << "'><title>" << perfStateName(state)
            << "</title></rect>\n";
    };
    for (const StateChange& change : result.changes) {
        band(change.timeMs);
        state = change.to;
        from = change.timeMs;
    }
    band(result.durationMs);
}

void purgeMarks(std::ostream& out, const SessionResult& result, const Scale& s)
{
    for (const PurgeEvent& purge : result.purges) {
        const double x = s.x(purge.timeMs);
        out << "<line x1='" << oneDecimal(x) << "' x2='" << oneDecimal(x) << "' y1='" << top
            << "' y2='" << bottom << "' stroke='#6a3d9a' stroke-width='1.2'/>"
            << "<path d='M" << oneDecimal(x - 5) << ',' << top - 8 << " L" << oneDecimal(x + 5)
            << ',' << top - 8 << " L" << oneDecimal(x) << ',' << top
            << " Z' fill='#6a3d9a'><title>purge at " << formatSeconds(purge.timeMs) << ", "
            << purge.removed << " removed</title></path>\n";
    }
}

void legend(std::ostream& out)
{
    out << "<g transform='translate(" << left + 380 << ",24)'>"
        << "<rect width='10' height='10' y='-9' fill='#3a9d4a'/><text x='14'>Normal</text>"
        << "<rect x='70' width='10' height='10' y='-9' fill='#e8a317'/><text x='84'>Moderate</text>"
        << "<rect x='155' width='10' height='10' y='-9' fill='#d3423a'/><text "
           "x='169'>Critical</text>"
        << "<path d='M235,-9 L245,-9 L240,0 Z' fill='#6a3d9a'/><text x='249'>purge</text>"
        << "<line x1='300' x2='320' y1='-4' y2='-4' stroke='#1f5fa8' stroke-width='1.5'/>"
        << "<text x='324'>mean fps (band: min to max)</text></g>\n";
}

} // namespace

void writeSvg(std::ostream& out, const SessionResult& result, const std::string& title)
{
    const Scale s{result.durationMs, chooseMaxFps(result)};
    out << "<?xml version='1.0' encoding='UTF-8'?>\n"
        << "<svg xmlns='http://www.w3.org/2000/svg' width='" << width << "' height='" << height
        << "' viewBox='0 0 " << width << ' ' << height
        << "' font-family='sans-serif' font-size='12'>\n"
        << "<rect width='100%' height='100%' fill='white'/>\n"
        << "<text x='" << left << "' y='24' font-size='15' font-weight='bold'>" << escape(title)
        << "</text>\n";
    axes(out, s);
    if (result.enabled) {
        thresholds(out, result, s);
    }
    // The spread of each stretch, then its mean frame rate.
    std::string spread;
    std::string mean;
    for (const FpsBucket& b : result.fpsHistory.buckets) {
        if (b.frames == 0 || b.ms <= 0) {
            continue;
        }
        const double x = s.x(b.startMs + b.ms / 2);
        spread += "<line x1='" + oneDecimal(x) + "' x2='" + oneDecimal(x) + "' y1='" +
                  oneDecimal(s.y(b.minFps)) + "' y2='" + oneDecimal(s.y(b.maxFps)) + "'/>";
        mean += oneDecimal(x) + ',' + oneDecimal(s.y(b.meanFps())) + ' ';
    }
    out << "<g stroke='#9ec5e8' stroke-width='1.5'>" << spread << "</g>\n";
    out << "<polyline fill='none' stroke='#1f5fa8' stroke-width='1.5' points='" << mean << "'/>\n";
    purgeMarks(out, result, s);
    stateBands(out, result, s);
    legend(out);
    out << "</svg>\n";
}

} // namespace sim
