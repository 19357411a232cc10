// Each capture's section of the report page: what was read and its figures, named by the way
// they are worked out (capture tools work lows out differently), its slumps and hitches, and the
// charts a player holds against their capture tool's: frame rate with both pairs, frame times,
// their distribution.
#include "sim/report/chart.h"
#include "sim/report/gains_report.h"
#include "sim/report/page_parts.h"
#include "sim/report/session_report.h"
#include "sim/report/slumps_report.h"

#include <algorithm>
#include <sstream>

namespace sim::page {
namespace {

// A list of slumps longer than this names the first and counts the rest.
constexpr std::size_t listedSlumps = 40;

void row(html::Writer& page, std::string_view name, const html::Markup& value)
{
    page.put("<tr><th scope='row'>{}</th><td>{}</td></tr>\n", name, value);
}

// The hitches' purges counted as purges, as the slumps' line counts every purge: hitches a frame
// apart share one, so "6 of the 12 hitches" may be 4 purges.
std::string hitchPurgesText(const CaptureView& view)
{
    const SlumpScore& s = view.hitchPurgesScored;
    const std::uint64_t purges = s.inSlumps + s.outside + s.setAside;
    if (purges == 0) {
        return "";
    }
    return fmt::format(" ({} purge{}: {} in slumps, {} outside any{})", countText(purges),
                       purges == 1 ? "" : "s", countText(s.inSlumps), countText(s.outside),
                       s.setAside > 0 ? fmt::format(", {} in what is not play", s.setAside) : "");
}

// Hitches close together share a mark: the title says how many marks there are, so that they can
// be counted.
std::string frameTimesTitle(const CaptureView& view, const FrameTimeScale& scale)
{
    const std::size_t hitches = view.hitches.size();
    const std::size_t marks = hitchMarks(view.frames, scale).size();
    const std::string counted =
        fmt::format("{} hitch{}", countText(hitches), hitches == 1 ? "" : "es");
    if (marks == hitches) {
        return "Frame times over time, " + counted + " marked";
    }
    return fmt::format("Frame times over time, {} in {} mark{} (hitches close together share "
                       "one)",
                       counted, countText(marks), marks == 1 ? "" : "s");
}

// What was read: the application, the tool and column, the system, the frames.
void readRows(html::Writer& page, const CaptureView& view)
{
    const CaptureFacts& facts = view.capture->facts;
    const SessionResult& replay = *view.capture->replay;
    const CaptureSummary& summary = facts.summary;
    row(page, "application",
        summary.applications.size() < 2
            ? html::format("{}", shown(summary.application))
            : html::format("{}, {}", shown(summary.application), chosenByText(summary.chosenBy)));
    row(page, "read from",
        html::format("{}, frame times from {}", captureFormatName(summary.format),
                     shown(summary.frameTimesFrom)));
    for (const auto& [name, value] : summary.system) {
        row(page, name, html::format("{}", shown(value)));
    }
    row(page, "frames",
        html::format("{} over {}", countText(facts.frames), formatSeconds(replay.durationMs)));
}

// The rates, of play where something is set aside, the whole capture's beside them.
void rateRows(html::Writer& page, const CaptureView& view)
{
    const SessionResult& replay = *view.capture->replay;
    const FrameTimeCounts& times = view.capture->facts.frameTimes;
    const PlayFigures& play = view.part->play;
    const std::string note = playNote(play);
    if (!note.empty()) {
        // The headline is play's; the whole capture's stays beside it, named as such.
        row(page, "figures of play", html::format("{}", upperFirst(note)));
        row(page, "mean fps",
            html::format("{:.1f} of play (its frames over its time); {:.1f} over the whole "
                         "capture",
                         play.meanFps(), replay.meanFps()));
        row(page, "lowest fps",
            html::format("{:.1f} of play; {:.1f} over the whole capture",
                         play.frames > 0 ? static_cast<double>(play.lowestFps) : 0.0,
                         replay.frames > 0 ? static_cast<double>(replay.lowestFps) : 0.0));
    } else {
        row(page, "mean fps",
            html::format("{:.1f} (the frames over the capture's length)", replay.meanFps()));
    }
    const FrameTimeCounts& lows = note.empty() ? times : play.frameTimes;
    const std::string whole = note.empty() ? std::string()
                                           : fmt::format("; the whole capture: {:.1f}, {:.1f} fps",
                                                         lowFps(times, 0.01), lowFps(times, 0.001));
    row(page, "1% low, 0.1% low",
        html::format("{:.1f}, {:.1f} fps{} (P1, P0.1: 1000 over the 99th and 99.9th percentile "
                     "frame time, nearest rank){}",
                     lowFps(lows, 0.01), lowFps(lows, 0.001), note.empty() ? "" : " of play",
                     whole));
    row(page, "1% low, 0.1% low (average)",
        html::format("{:.1f}, {:.1f} fps{} (the frame rate of the mean of the slowest 1% and 0.1% "
                     "of frame times)",
                     averageLowFps(lows, 0.01), averageLowFps(lows, 0.001),
                     note.empty() ? "" : " of play"));
    row(page, "hitches",
        html::format("{}{} (frames over {:g} times the median of their {} neighbours, the measure "
                     "CapFrameX calls stutter); {} of them with a purge of your pair at once{}",
                     countText(view.playHitches),
                     note.empty() ? std::string()
                                  : fmt::format(" in play, {} over the whole capture",
                                                countText(view.hitches.size())),
                     hitchFactor, 2 * hitchNeighbours, countText(view.hitchPurges),
                     hitchPurgesText(view)));
}

// How the capture was read where it was not plain: other applications, cells left out, rules.
void readingRows(html::Writer& page, const CaptureSummary& summary)
{
    if (const std::vector<AppFrames> others = notJudged(summary); !others.empty()) {
        row(page, "other applications",
            html::format("read, not judged: {}. Tarnwick judges the game's frames alone; "
                         "--app NAME picks another application",
                         listApplications(others)));
    }
    if (summary.skippedCells > 0) {
        row(page, "skipped", html::format("{} NA or empty frame-time cells", summary.skippedCells));
    }
    if (summary.nonPositiveFrameTimes > 0) {
        row(page, "zero or negative",
            html::format("{} frame times, read as the plug-in reads them (60 fps)",
                         summary.nonPositiveFrameTimes));
    }
    for (const std::string& rule : summary.rules) {
        row(page, "read as", html::format("{}", rule));
    }
    if (summary.stoppedAtMs) {
        row(page, "stopped", html::format("{}", describeStop(summary)));
    }
    if (const std::string cut = cutShortText(summary); !cut.empty()) {
        row(page, "cut short", html::format("{}", cut));
    }
}

void figures(html::Writer& page, const CaptureView& view)
{
    page.put("<div class='wide'><table>\n");
    readRows(page, view);
    rateRows(page, view);
    readingRows(page, view.capture->facts.summary);
    page.put("</table></div>\n");
}

void slumpList(html::Writer& page, const TunedCapture& part)
{
    if (const std::string aside = setAsideText(part.slumps); !aside.empty()) {
        page.put("<p>{}.</p>\n", upperFirst(aside));
    }
    if (const std::string levels = levelsText(part.slumps); !levels.empty()) {
        page.put("<p>{}.</p>\n", upperFirst(levels));
    }
    const std::vector<Slump>& slumps = part.slumps.slumps;
    if (slumps.empty()) {
        page.put("<p>Slumps: none: {}.</p>\n", noSlumpReason(part.slumps, part.durationMs));
        return;
    }
    page.put("<p>Slumps: {}, {}:</p>\n<div class='wide'><table class='figures'>\n<tr><th>"
             "</th><th scope='col'>from</th><th scope='col'>to</th><th scope='col'>length</th>"
             "<th scope='col'>frame rate</th></tr>\n",
             slumps.size(), slumpTargetText(part.slumps));
    for (std::size_t i = 0; i < slumps.size() && i < listedSlumps; ++i) {
        const Slump& slump = slumps[i];
        page.put("<tr><td>{}</td><td>{}</td><td>{}</td><td>{:.1f} s</td><td>{:.1f} fps</td></tr>\n",
                 i + 1, formatSeconds(slump.startMs), formatSeconds(slump.endMs),
                 (slump.endMs - slump.startMs) / 1000, slump.fps);
    }
    page.put("</table></div>\n");
    if (slumps.size() > listedSlumps) {
        page.put("<p class='small'>And {} more: <code>tarnwick-sim tune --json</code> lists them "
                 "all.</p>\n",
                 slumps.size() - listedSlumps);
    }
}

// A chart in a figure that scrolls sideways on a narrow screen, which says so there. in:
// durationMs, the length its time axis runs to; 0, none.
void figure(html::Writer& page, const std::string& svg, double durationMs,
            const html::Markup& caption)
{
    const std::size_t start = svg.find("<svg");
    if (durationMs > 0) {
        page.put("<figure><p class='scrolls'>Swipe the chart sideways: it runs to {}.</p>\n",
                 minutes(durationMs));
    } else {
        page.put("<figure><p class='scrolls'>Swipe the chart sideways to see all of it.</p>\n");
    }
    page.put(html::trusted(start == std::string::npos ? svg : svg.substr(start)));
    page.put("<figcaption class='small'>{}</figcaption></figure>\n", caption);
}

void frameRateChart(html::Writer& page, const CaptureView& view, const Scales& scales)
{
    const TunedCapture& part = *view.part;
    const CellResult* best = view.recommended;
    OtherPair other;
    if (best != nullptr) {
        other = {best->moderate, best->critical, best->purgeTimesMs};
    }
    ChartOptions options{"Frame rate, yours: " + purgesOn(part.current),
                         false,
                         nullptr,
                         &part.slumps.slumps,
                         &part.slumps.asideSpans,
                         best != nullptr ? &other : nullptr,
                         scales.frameTimes.durationMs,
                         scales.maxFps,
                         &part.slumps.levels};
    std::ostringstream svg;
    writeSvg(svg, *view.capture->replay, options);
    const html::Markup counts = html::format(
        "A number on a strip counts purges too close together to draw apart (their times in its "
        "tooltip). ");
    if (best == nullptr) {
        figure(page, svg.str(), scales.frameTimes.durationMs,
               html::format("{}No recommendation, so only your pair is drawn.", counts));
        return;
    }
    figure(page, svg.str(), scales.frameTimes.durationMs,
           html::format("Triangles and dashed lines: your pair. Circles and dotted lines: the "
                        "recommended pair, {}{}. {}Shaded: slumps{}{}.",
                        purgesOn(*best),
                        samePair(*best, part.current) ? " (the same as yours)" : "", counts,
                        part.slumps.asideSpans.empty()
                            ? ""
                            : "; in beige, what is not play (loading screens, menus, pauses)",
                        part.slumps.levels.empty()
                            ? ""
                            : "; in two greens by turns, the levels of play, each at its own "
                              "pace"));
}

} // namespace

std::string upperFirst(std::string text)
{
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') {
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    }
    return text;
}

void unreadCapture(html::Writer& page, const PageCapture& capture)
{
    page.put("<h2>{}</h2>\n<p class='error'>Not read: {}</p>\n",
             shown(captureLabel(capture.facts, false)), capture.error);
}

void captureSection(html::Writer& page, const CaptureView& view, const Scales& scales)
{
    const double durationMs = scales.frameTimes.durationMs;
    page.put("<h2>{}</h2>\n", shown(captureLabel(view.capture->facts, false)));
    figures(page, view);
    slumpList(page, *view.part);
    if (view.capture->gains) {
        purgeGainsSection(page, *view.capture->gains);
        if (!view.capture->recordedAt.empty()) {
            page.put("<p class='note'>{}.</p>\n", upperFirst(view.capture->recordedAt));
        }
    }
    frameRateChart(page, view, scales);
    if (view.frames.columns.empty()) {
        return;
    }
    std::ostringstream times;
    writeFrameTimeSvg(times, view.frames, scales.frameTimes,
                      frameTimesTitle(view, scales.frameTimes), view.part->slumps.asideSpans);
    figure(page, times.str(), durationMs,
           html::format("What a capture tool's frame-time graph shows: spikes are hitches, a "
                        "raised floor is a slump. Your pair purged at once at {} of the {} "
                        "hitches{}.",
                        countText(view.hitchPurges), countText(view.hitches.size()),
                        hitchPurgesText(view)));
    std::ostringstream spread;
    writeDistributionSvg(spread, view.frames, scales.frameTimes.maxMs,
                         "Frame-time distribution: the frame time at each percentile");
    figure(page, spread.str(), 0,
           html::format("The median frame takes {:.1f} ms; the curve's right end holds the "
                        "frames behind the lows.",
                        view.frames.medianMs));
}

} // namespace sim::page
