// The report page: one self-contained HTML file that answers a player, verdict first. Charts are
// inline SVG, so it reads with scripts off and asks nothing of any other place; its size follows
// the charts' widths, not the captures' lengths.
#include "sim/report/page.h"
#include "sim/report/chart.h"
#include "sim/report/session_report.h"
#include "sim/report/slumps_report.h"
#include "sim/report/tune_report.h"
#include "sim/text.h"

#include "sim/files.h"

#include <fmt/format.h>
#include <fmt/ostream.h>

#include <sstream>

namespace sim {
namespace {

std::string upperFirst(std::string text)
{
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') {
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    }
    return text;
}

constexpr const char* style = R"(
body{font-family:system-ui,sans-serif;margin:0 auto;max-width:1040px;padding:12px;color:#1a1a1a;
line-height:1.45}
h1{font-size:1.5em;margin:.3em 0}h2{font-size:1.2em;margin-top:1.6em;border-bottom:1px solid #ccc}
.verdict{font-size:1.1em;background:#eef3f8;border-left:4px solid #1f5fa8;padding:8px 12px}
pre{background:#f4f4f4;padding:8px 12px;overflow-x:auto;font-size:1em}
table{border-collapse:collapse;margin:.5em 0}td,th{text-align:left;padding:2px 12px 2px 0;
vertical-align:top}th{font-weight:600}
svg{max-width:100%;height:auto;display:block}
.warning{color:#a0281f}.note{color:#555}.error{color:#a0281f;font-weight:600}
.small{font-size:.9em;color:#444}
figure{margin:0;overflow-x:auto}
@media (max-width:480px){body{padding:6px}td,th{padding-right:6px}figure svg{min-width:720px}}
)";

std::string minutes(double ms)
{
    return ms >= 120000 ? fmt::format("{:.0f} min", ms / 60000)
                        : fmt::format("{:.0f} s", ms / 1000);
}

// An SVG written by one of the chart writers, without its XML declaration, for inline use.
std::string inlineSvg(const std::string& svg)
{
    const std::size_t start = svg.find("<svg");
    return start == std::string::npos ? svg : svg.substr(start);
}

void answer(std::ostream& out, const Verdict& v)
{
    switch (v.answer) {
    case Answer::TooShort:
    case Answer::NothingAllowed:
        fmt::print(out, "<p>No recommendation: {}.</p>\n", markupText(v.why));
        return;
    case Answer::Keep:
        fmt::print(out, "<p><strong>Your settings are right for {}.</strong> {}.</p>\n",
                   v.captures == 1 ? "this capture" : "these captures",
                   markupText(upperFirst(v.why)));
        return;
    case Answer::EachGame:
        fmt::print(out, "<p>No pair for all of them: {}.</p>\n", markupText(v.why));
        for (std::size_t i = 0; i < v.eachGame.size(); ++i) {
            fmt::print(out, "<h3>{}</h3>\n", markupText(shown(v.gameNames[i])));
            answer(out, v.eachGame[i]);
        }
        return;
    case Answer::Change:
        break;
    }
    fmt::print(out, "<p><strong>{}</strong>. {}:</p>\n<ul class='changes'>\n",
               markupText(upperFirst(answerText(v))), markupText(upperFirst(changesHeading(v))));
    for (const LineChange& change : v.changes) {
        fmt::print(out, "<li>{}</li>\n", markupText(changeText(change)));
    }
    fmt::print(out, "</ul>\n<p>Why: {}.</p>\n", markupText(v.why));
}

void verdict(std::ostream& out, const ReportPage& page)
{
    const Verdict& v = *page.verdict;
    const CellResult& yours = v.yours;
    const std::string over =
        fmt::format("{} ({})",
                    v.captures == 1 ? std::string("this capture")
                                    : fmt::format("these {} captures", v.captures),
                    minutes(v.durationMs));
    out << "<div class='verdict'>";
    if (v.switchedOff) {
        fmt::print(out,
                   "<p><strong>Tarnwick is switched off in {} (Enabled=0): it does "
                   "nothing.</strong> Switched on, it would do this.</p>\n",
                   markupText(v.settingsFile));
    }
    fmt::print(out, "<p>With your settings ({}, {}), Tarnwick ", pairName(yours),
               markupText(v.settingsSource));
    if (yours.purges == 0) {
        fmt::print(out, "would never purge on {}", over);
    } else {
        fmt::print(out, "would purge {} over {}: {} in slumps, {} outside any",
                   purgeTimesText(yours.purges), over, yours.slumps.inSlumps, yours.slumps.outside);
    }
    if (v.slumps > 0) {
        out << "; it " << slumpsCaughtText(yours.slumps.caught, v.slumps);
    }
    out << ".</p>\n";
    for (const std::string& note : v.unreadSettings) {
        fmt::print(out, "<p class='warning'>{}.</p>\n", markupText(upperFirst(note)));
    }
    if (!v.yoursWarning.empty()) {
        fmt::print(out, "<p class='warning'>The settings check warns about your pair: {}.</p>\n",
                   markupText(v.yoursWarning));
    }
    answer(out, v);
    out << "</div>\n";
}

void whatASlumpIs(std::ostream& out, const ReportPage& page)
{
    out << "<p class='small'>A <strong>slump</strong>: the frame rate over the last second "
           "stays below a target for at least "
        << secondsSpelt(slumpLowSeconds) << "; the target is " << percentText(slumpShareOfUsual)
        << " of the capture's usual frame rate (that of its better seconds) unless one was given. "
           "A purge is worth it in a slump and wasted outside one: on a single hitch, on "
           "frame-pacing noise, at the usual frame rate.";
    for (const TunedCapture& part : page.tune->result.captures) {
        if (part.slumps.targetGiven) {
            fmt::print(out, " Here the target is {:g} fps.", part.slumps.targetFps);
            break;
        }
    }
    out << "</p>\n";
}

void settingsFindings(std::ostream& out, const SettingsCheck& check)
{
    fmt::print(out, "<h2>Your settings file</h2>\n<p>{}</p>\n", markupText(utf8Of(check.file)));
    if (!check.exists) {
        out << "<p>It does not exist, so every setting takes its default.</p>\n";
    }
    if (check.findings.empty()) {
        out << "<p>Nothing in it needs a look.</p>\n";
        return;
    }
    out << "<ul>\n";
    for (const Finding& finding : check.findings) {
        const char* level = findingLevelName(finding.level);
        fmt::print(out, "<li class='{0}'>{0}{1}: {2}</li>\n", level,
                   finding.line > 0 ? fmt::format(", line {}", finding.line) : std::string(),
                   markupText(finding.message));
    }
    out << "</ul>\n";
}

void installFindings(std::ostream& out, const Examination& install)
{
    fmt::print(out, "<h2>Tarnwick in the game's folder</h2>\n<p>{}</p>\n<ul>\n",
               markupText(utf8Of(install.folder)));
    for (const DoctorFinding& finding : install.findings) {
        const char* level = finding.severity == Severity::NeedsDoing ? "warning" : "note";
        fmt::print(out, "<li class='{}'>{}: {}{}</li>\n", level, severityName(finding.severity),
                   markupText(finding.message),
                   finding.toDo.empty() ? std::string() : " (" + markupText(finding.toDo) + ")");
    }
    out << "</ul>\n";
}

void row(std::ostream& out, std::string_view name, const std::string& value)
{
    fmt::print(out, "<tr><th scope='row'>{}</th><td>{}</td></tr>\n", name, value);
}

void captureFigures(std::ostream& out, const CaptureFacts& facts, const SessionResult& replay)
{
    const FrameTimeCounts& times = facts.frameTimes;
    const CaptureSummary& summary = facts.summary;
    out << "<table>\n";
    row(out, "application", markupText(shown(summary.application)));
    row(out, "read from",
        fmt::format("{}, frame times from {}", captureFormatName(summary.format),
                    markupText(shown(summary.frameTimesFrom))));
    row(out, "frames", fmt::format("{} over {}", facts.frames, formatSeconds(replay.durationMs)));
    row(out, "mean fps", fmt::format("{:.1f} (frames over time)", replay.meanFps()));
    row(out, "1% low, 0.1% low",
        fmt::format("{:.1f}, {:.1f} fps (P1, P0.1: the frame rate at the 99th and 99.9th "
                    "percentile frame time)",
                    lowFps(times, 0.01), lowFps(times, 0.001)));
    row(out, "1% low, 0.1% low (average)",
        fmt::format("{:.1f}, {:.1f} fps (the mean of the slowest 1% and 0.1% of frame times)",
                    averageLowFps(times, 0.01), averageLowFps(times, 0.001)));
    std::vector<AppFrames> others;
    for (const AppFrames& app : summary.applications) {
        if (app.name != summary.application) {
            others.push_back(app);
        }
    }
    if (!others.empty()) {
        row(out, "not read", markupText(listApplications(others)));
    }
    if (summary.skippedCells > 0) {
        row(out, "skipped", fmt::format("{} NA or empty frame-time cells", summary.skippedCells));
    }
    if (summary.nonPositiveFrameTimes > 0) {
        row(out, "zero or negative",
            fmt::format("{} frame times, read as the plug-in reads them (60 fps)",
                        summary.nonPositiveFrameTimes));
    }
    for (const std::string& rule : summary.rules) {
        row(out, "read as", markupText(rule));
    }
    if (summary.stoppedAtMs) {
        row(out, "stopped", markupText(describeStop(summary)));
    }
    if (const std::string cut = cutShortText(summary); !cut.empty()) {
        row(out, "cut short", markupText(cut));
    }
    out << "</table>\n";
}

void slumpList(std::ostream& out, const TunedCapture& part)
{
    const std::vector<Slump>& slumps = part.slumps.slumps;
    if (slumps.empty()) {
        fmt::print(out, "<p>Slumps: none: {}.</p>\n",
                   markupText(noSlumpReason(part.slumps, part.durationMs)));
        return;
    }
    fmt::print(out, "<p>Slumps: {}, {}.</p>\n", slumps.size(),
               markupText(slumpTargetText(part.slumps)));
}

// in: pair, run alone over one capture, its purges scored against that capture's slumps.
std::string purgesOn(const CellResult& pair)
{
    return fmt::format("{}: {} purge{}, {} in slumps, {} outside any", pairName(pair), pair.purges,
                       pair.purges == 1 ? "" : "s", pair.slumps.inSlumps, pair.slumps.outside);
}

void captureSection(std::ostream& out, const ReportPage& page, const PageCapture& capture)
{
    fmt::print(out, "<h2>{}</h2>\n", markupText(shown(captureLabel(capture.facts, false))));
    if (!capture.replay) {
        fmt::print(out, "<p class='error'>Not read: {}</p>\n", markupText(capture.error));
        return;
    }
    const TuneResult& r = page.tune->result;
    const TunedCapture& part = r.captures[capture.tuned];
    captureFigures(out, capture.facts, *capture.replay);
    slumpList(out, part);
    std::ostringstream chart;
    const ChartOptions options{"your settings: " + purgesOn(part.current), false, nullptr,
                               &part.slumps.slumps};
    writeSvg(chart, *capture.replay, options);
    out << "<figure>" << inlineSvg(chart.str());
    if (r.recommended) {
        const CellResult& best = r.cells[*r.recommended];
        if (!samePair(best, part.current)) {
            std::ostringstream strip;
            writePurgeStrip(strip, part.durationMs, part.recommended.purgeTimesMs,
                            part.slumps.slumps, "recommended: " + purgesOn(part.recommended));
            out << strip.str();
        }
    }
    out << "</figure>\n";
}

} // namespace

void writeReportPage(std::ostream& out, const ReportPage& page)
{
    fmt::print(out,
               "<!DOCTYPE html>\n<html lang='en'>\n<head>\n<meta charset='utf-8'>\n<meta "
               "name='viewport' content='width=device-width, initial-scale=1'>\n<title>Tarnwick: "
               "what your settings do</title>\n<style>{}</style>\n</head>\n<body>\n<h1>Tarnwick: "
               "what your settings do</h1>\n",
               style);
    if (page.tune && page.verdict) {
        verdict(out, page);
        whatASlumpIs(out, page);
    } else {
        out << "<div class='verdict'><p>No capture could be read, so there is nothing to "
               "judge: each one's reason is below.</p></div>\n";
    }
    if (page.settings) {
        settingsFindings(out, *page.settings);
    }
    if (page.install) {
        installFindings(out, *page.install);
    }
    for (const PageCapture& capture : page.captures) {
        captureSection(out, page, capture);
    }
    if (page.tune) {
        const TuneReport& tune = *page.tune;
        fmt::print(
            out,
            "<h2>Every pair of thresholds</h2>\n<p class='small'>FPS_Moderate {} to {} "
            "across, FPS_Critical {} to {} up; colour: purges a minute; hatched: purges "
            "outside a slump; dotted: misses a slump; black: yours; blue: recommended.</p>\n",
            tune.moderate.low, tune.moderate.high, tune.critical.low, tune.critical.high);
        std::ostringstream heat;
        writeTuneSvg(heat, tune);
        out << "<figure>" << inlineSvg(heat.str()) << "</figure>\n";
    }
    out << "<p class='small'>Made by tarnwick-sim report. A replay has no vehicles: it shows "
           "when "
           "Tarnwick would purge, not what a purge gains; <code>tarnwick-sim run "
           "--compare</code> "
           "shows that on a simulated drive. Frame generation that marks nothing in the capture "
           "doubles the presents, read as twice the game's frame rate: capture with it off, or "
           "with frame types recorded (PresentMon <code>--track_frame_type</code>, or the "
           "PresentMon app).</p>\n</body>\n</html>\n";
}

} // namespace sim
