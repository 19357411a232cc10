// The report page: one self-contained HTML file that answers a player, verdict first. Charts are
// inline SVG, so it reads with scripts off and asks nothing of any other place; its size follows
// the charts' widths, not the captures' lengths. Everything is written through html::Writer, so a
// name from a player's files reaches the page as text whatever it holds.
#include "sim/report/page.h"
#include "sim/report/page_parts.h"
#include "sim/report/session_report.h"
#include "sim/report/slumps_report.h"
#include "sim/report/tune_report.h"

#include "sim/files.h"

#include <sstream>

namespace sim {
namespace {

using html::Writer;

using page::upperFirst;

constexpr const char* style = R"(
body{font-family:system-ui,sans-serif;margin:0 auto;max-width:1040px;padding:12px;color:#1a1a1a;
line-height:1.45}
h1{font-size:1.5em;margin:.3em 0}h2{font-size:1.2em;margin-top:1.6em;border-bottom:1px solid #ccc}
.verdict{font-size:1.1em;background:#eef3f8;border-left:4px solid #1f5fa8;padding:8px 12px;
overflow-wrap:anywhere}
pre{background:#f4f4f4;padding:8px 12px;overflow-x:auto;font-size:1em}
table{border-collapse:collapse;margin:.5em 0}td,th{text-align:left;padding:2px 12px 2px 0;
vertical-align:top}th{font-weight:600}.figures td,.figures th[scope=col]{text-align:right}
.wide{overflow-x:auto;max-width:100%}td{overflow-wrap:anywhere}
.numbers td{white-space:nowrap;overflow-wrap:normal}
svg{max-width:100%;height:auto;display:block}
.warning{color:#a0281f}.note{color:#555}.error{color:#a0281f;font-weight:600}
.small{font-size:.9em;color:#444}
figure{margin:.8em 0;overflow-x:auto}.scrolls{display:none}
@media (max-width:480px){body{padding:6px}td,th{padding-right:6px}figure svg{min-width:720px}
.scrolls{display:block;position:sticky;left:0;margin:0;font-size:.9em;color:#1f5fa8}}
)";

void answer(Writer& out, const Verdict& v)
{
    switch (v.answer) {
    case Answer::TooShort:
    case Answer::NothingAllowed:
    case Answer::RecordedOn:
        out.put("<p>No recommendation: {}.</p>\n", v.why);
        return;
    case Answer::Keep:
        out.put("<p><strong>Your settings are right for {}.</strong> {}.</p>\n",
                v.captures == 1 ? "this capture" : "these captures", upperFirst(v.why));
        return;
    case Answer::EachGame:
        out.put("<p>No pair for all of them: {}.</p>\n", v.why);
        for (std::size_t i = 0; i < v.eachGame.size(); ++i) {
            out.put("<h3>{}</h3>\n", shown(v.gameNames[i]));
            answer(out, v.eachGame[i]);
        }
        return;
    case Answer::CannotTell:
        out.put("<p><strong>{}.</strong> {}.</p>\n", upperFirst(answerText(v)), upperFirst(v.why));
        if (v.changes.empty()) {
            return;
        }
        out.put("<ul class='changes'>\n");
        for (const LineChange& change : v.changes) {
            out.put("<li>{}</li>\n", changeText(change));
        }
        out.put("</ul>\n");
        return;
    case Answer::Change:
        break;
    }
    out.put("<p><strong>{}</strong>. {}:</p>\n<ul class='changes'>\n", upperFirst(answerText(v)),
            upperFirst(changesHeading(v)));
    for (const LineChange& change : v.changes) {
        out.put("<li>{}</li>\n", changeText(change));
    }
    out.put("</ul>\n<p>Why: {}.</p>\n", v.why);
}

void verdict(Writer& out, const ReportPage& page)
{
    const Verdict& v = *page.verdict;
    const CellResult& yours = v.yours;
    const std::string over =
        fmt::format("{} ({})",
                    v.captures == 1 ? std::string("this capture")
                                    : fmt::format("these {} captures", v.captures),
                    page::minutes(v.durationMs));
    out.put("<div class='verdict'>");
    for (const std::string& note : v.applicationNotes) {
        out.put("<p class='warning'><strong>{}.</strong></p>\n", upperFirst(note));
    }
    if (v.switchedOff) {
        out.put("<p><strong>Tarnwick is switched off in {} (Enabled=0): it does "
                "nothing.</strong> Switched on, it would do this.</p>\n",
                v.settingsFile);
    }
    out.put("<p>With your settings ({}, {}), Tarnwick ", pairName(yours), v.settingsSource);
    if (yours.purges == 0) {
        out.put("would never purge on {}", over);
    } else {
        out.put("would purge {} over {}: {} in slumps, {} outside any",
                purgeTimesText(yours.purges), over, yours.slumps.inSlumps, yours.slumps.outside);
    }
    if (v.slumps > 0) {
        out.put("; it {}", slumpsCaughtText(yours.slumps.caught, v.slumps));
    }
    out.put(".</p>\n");
    for (const std::string& note : v.unreadSettings) {
        out.put("<p class='warning'>{}.</p>\n", upperFirst(note));
    }
    if (!v.withholdingNote.empty()) {
        out.put("<p class='warning'>{}.</p>\n", upperFirst(v.withholdingNote));
    }
    if (!v.yoursWarning.empty()) {
        out.put("<p class='warning'>The settings check warns about your pair: {}.</p>\n",
                v.yoursWarning);
    }
    answer(out, v);
    if (v.purgeWorth) {
        out.put("<p>What purges gain here: {}.</p>\n", v.purgeWorth->sentence);
    }
    out.put("</div>\n");
}

void whatASlumpIs(Writer& out, const ReportPage& page)
{
    out.put("<p class='small'>A <strong>slump</strong>: the frame rate over the last second "
            "stays below a target for at least {}; the target is {} of the play around it (its "
            "better seconds in the minute before and in the minute after, the lower of the two) "
            "unless one was given, so a level that holds its own pace is not a slump. A purge is "
            "worth it in a slump and wasted outside one: on a single hitch, on frame-pacing noise, "
            "at the usual frame rate. Loading screens, menus and pauses are not play: left out, "
            "never a slump. "
            "Tune from an evening without Tarnwick's purges (Record=2 under [Main] in "
            "Tarnwick.ini records it and withholds every purge; with a capture tool, Enabled=0): "
            "with them, its own purges end the slumps, and the capture cannot show what the game "
            "does without them.",
            secondsSpelt(slumpLowSeconds), percentText(slumpShareOfUsual));
    for (const TunedCapture& part : page.tune->result.captures) {
        if (part.slumps.targetGiven) {
            out.put(" Here the target is {:g} fps.", part.slumps.targetFps);
            break;
        }
    }
    out.put("</p>\n<p class='small'>The lows: <strong>P1</strong> and <strong>P0.1</strong> "
            "are 1000 over the 99th and 99.9th percentile frame time (nearest rank); the "
            "<strong>average</strong> lows, the frame rate of the mean of the slowest 1% and 0.1% "
            "of frame times. Capture tools work lows out their own ways (CapFrameX takes a "
            "percentile of frame rates, the PresentMon app interpolates between frame times, "
            "MangoHud takes the frame at a rounded-down rank), so theirs may differ from these by "
            "a few fps. A <strong>hitch</strong>: a frame over {:g} times the median of its {} "
            "neighbours, the measure CapFrameX calls stutter.</p>\n",
            hitchFactor, 2 * hitchNeighbours);
}

void settingsFindings(Writer& out, const SettingsCheck& check)
{
    out.put("<h2>Your settings file</h2>\n<p>{}</p>\n", utf8Of(check.file));
    if (!check.exists) {
        out.put("<p>It does not exist, so every setting takes its default.</p>\n");
    }
    if (check.findings.empty()) {
        out.put("<p>Nothing in it needs a look.</p>\n");
        return;
    }
    out.put("<ul>\n");
    for (const Finding& finding : check.findings) {
        const char* level = findingLevelName(finding.level);
        out.put("<li class='{0}'>{0}{1}: {2}</li>\n", level,
                finding.line > 0 ? fmt::format(", line {}", finding.line) : std::string(),
                finding.message);
    }
    out.put("</ul>\n");
}

void installFindings(Writer& out, const Examination& install)
{
    out.put("<h2>Tarnwick in the game's folder</h2>\n<p>{}</p>\n<ul>\n", utf8Of(install.folder));
    for (const DoctorFinding& finding : install.findings) {
        const char* level = finding.severity == Severity::NeedsDoing ? "warning" : "note";
        out.put("<li class='{}'>{}: {}{}</li>\n", level, severityName(finding.severity),
                finding.message, finding.toDo.empty() ? std::string() : " (" + finding.toDo + ")");
    }
    out.put("</ul>\n");
}

} // namespace

void writeReportPage(std::ostream& stream, const ReportPage& page)
{
    Writer out{stream};
    out.put("<!DOCTYPE html>\n<html lang='en'>\n<head>\n<meta charset='utf-8'>\n<meta "
            "name='viewport' content='width=device-width, initial-scale=1'>\n<title>Tarnwick: "
            "what your settings do</title>\n<style>{}</style>\n</head>\n<body>\n<h1>Tarnwick: "
            "what your settings do</h1>\n",
            html::trusted(style));
    if (page.tune && page.verdict) {
        verdict(out, page);
        if (page.onOff) {
            onOffSection(out, *page.onOff);
        }
        whatASlumpIs(out, page);
    } else {
        out.put("<div class='verdict'><p>No capture could be read, so there is nothing to "
                "judge: each one's reason is below.</p></div>\n");
    }
    const std::vector<page::CaptureView> views = page::viewCaptures(page);
    page::comparison(out, views,
                     std::any_of(views.begin(), views.end(), [](const page::CaptureView& v) {
                         return v.recommended != nullptr;
                     }));
    if (page.settings) {
        settingsFindings(out, *page.settings);
    }
    if (page.install) {
        installFindings(out, *page.install);
    }
    const page::Scales scales = page::commonScales(views);
    auto view = views.begin();
    for (const PageCapture& capture : page.captures) {
        if (view == views.end() || view->capture != &capture) {
            page::unreadCapture(out, capture);
            continue;
        }
        // Past the first few, a capture is its row in the table of captures.
        if (view - views.begin() < static_cast<std::ptrdiff_t>(page::capturesInFull)) {
            page::captureSection(out, *view, scales);
        }
        ++view;
    }
    if (page.tune) {
        const TuneReport& tune = *page.tune;
        out.put("<h2>Every pair of thresholds</h2>\n<p class='small'>FPS_Moderate {} to {} "
                "across, FPS_Critical {} to {} up; colour: purges a minute; hatched: purges "
                "outside a slump; dotted: misses a slump; black: yours; blue: recommended.</p>\n",
                tune.moderate.low, tune.moderate.high, tune.critical.low, tune.critical.high);
        std::ostringstream heat;
        writeTuneSvg(heat, tune);
        const std::string svg = heat.str();
        out.put("<figure><p class='scrolls'>Swipe the map sideways to see all of it.</p>\n{}"
                "</figure>\n",
                html::trusted(svg.substr(std::min(svg.find("<svg"), svg.size()))));
    }
    out.put("<p class='small'>Made by tarnwick-sim report. A replay has no vehicles: it shows "
            "when Tarnwick would purge, not what a purge gains; <code>tarnwick-sim run "
            "--compare</code> shows that on a simulated drive. Frame generation that marks "
            "nothing in the capture doubles the presents, read as twice the game's frame rate: "
            "capture with it off, or with frame types recorded (PresentMon "
            "<code>--track_frame_type</code>, or the PresentMon app).</p>\n</body>\n</html>\n");
}

} // namespace sim
