// Two frame records side by side: the figures worked out once, then said in text, JSON and HTML.
#include "sim/report/on_off.h"

#include "sim/files.h"
#include "sim/report/page_parts.h"
#include "sim/report/slumps_report.h"
#include "sim/session/lows.h"
#include "sim/text.h"

#include <fmt/format.h>

#include <algorithm>
#include <functional>

namespace sim {
namespace {

bool endsInAside(const std::vector<Span>& spans, double endMs)
{
    const auto after =
        std::upper_bound(spans.begin(), spans.end(), endMs,
                         [](double at, const Span& span) { return at <= span.startMs; });
    return after != spans.begin() && endMs <= std::prev(after)->endMs;
}

EveningFigures figuresOf(const CaptureFacts& facts, const TuneFrames& frames, double moderate,
                         double critical)
{
    EveningFigures e;
    e.record = captureLabel(facts, false);
    FrameTimeCounts counts;
    FrameTimeCounts all; // an unburdened game's fast start can look like a menu's even pace
    std::uint64_t played = 0;
    for (std::size_t i = 0; i < frames.frameSeconds.size(); ++i) {
        const double ms = std::max(0.0, static_cast<double>(frames.frameSeconds[i]) * 1000.0);
        countFrameTime(all, ms);
        if (endsInAside(frames.slumps.asideSpans, frames.elapsedMs[i])) {
            continue;
        }
        ++played;
        e.playMs += ms;
        countFrameTime(counts, ms);
        // As the thresholds see the estimate: below a whole T exactly when its floor is.
        e.msBelowModerate += frames.levels[i].floor < moderate ? ms : 0.0;
        e.msBelowCritical += frames.levels[i].floor < critical ? ms : 0.0;
    }
    e.meanFps = e.playMs > 0 ? static_cast<double>(played) * 1000.0 / e.playMs : 0.0;
    e.p1LowFps = lowFps(counts, 0.01);
    e.p01LowFps = lowFps(counts, 0.001);
    e.usualFps = frames.slumps.usualFps;
    if (const std::vector<double> peak = frameTimesAt(all, {1 - peakShare});
        !peak.empty() && peak.front() > 0) {
        e.peakFps = 1000.0 / peak.front();
    }
    e.slumps = frames.slumps.slumps.size();
    for (const Slump& slump : frames.slumps.slumps) {
        e.slumpMs += slump.endMs - slump.startMs;
        e.longestSlumpMs = std::max(e.longestSlumpMs, slump.endMs - slump.startMs);
    }
    e.levels = levelsText(frames.slumps);
    e.purges = facts.record ? facts.record->purges : 0;
    return e;
}

std::string whyNotCompared(const std::vector<std::size_t>& records,
                           const std::vector<CaptureFacts>& captures)
{
    const auto name = [&](std::size_t i) { return captureLabel(captures[i], false); };
    if (records.size() > 2) {
        return fmt::format("{} frame records were given: give two of the same game, one made "
                           "with Record=1 and one with Record=2",
                           records.size());
    }
    const int a = captures[records[0]].record->mode;
    const int b = captures[records[1]].record->mode;
    if (a == b) {
        return a == 2 ? fmt::format("{} and {} both withheld every purge (Record=2): give a "
                                    "record made with Record=1 beside one of them",
                                    name(records[0]), name(records[1]))
                      : fmt::format("{} and {} were both made with Tarnwick governing "
                                    "(Record=1): record an evening of the same game with "
                                    "Record=2 under [Main] in Tarnwick.ini (Tarnwick then "
                                    "decides as ever but takes nothing) and give that record "
                                    "beside one of them",
                                    name(records[0]), name(records[1]));
    }
    return {};
}

// Why two records of one kind each are still no pair to set side by side; empty when they are.
std::string unlikeEvenings(const OnOff& c, const RecordFacts& on, const RecordFacts& off)
{
    if (on.detectionRange != off.detectionRange) {
        return fmt::format("{} was recorded with DetectionRange {:g} and {} with {:g}: purges "
                           "take other vehicles at each, so the evenings differ by more than "
                           "Tarnwick on or off; record both at one DetectionRange",
                           c.on.record, on.detectionRange, c.off.record, off.detectionRange);
    }
    const double shorter = std::min(c.on.playMs, c.off.playMs);
    const double longer = std::max(c.on.playMs, c.off.playMs);
    if (shorter < longer * shorterPlayShare) {
        const bool onShorter = c.on.playMs < c.off.playMs;
        return fmt::format(
            "{} holds {} of play and {} {}: traffic builds up over an evening, so the shorter "
            "one never meets what weighs on the longer; record evenings of about one length (at "
            "least half the other's), or cut the longer with --to",
            onShorter ? c.on.record : c.off.record, page::minutes(shorter),
            onShorter ? c.off.record : c.on.record, page::minutes(longer));
    }
    if (!on.keptVehicles || !off.keptVehicles) {
        return fmt::format("{} holds no vehicle counts in the part played, so whether both are one "
                           "game's world cannot be told",
                           !on.keptVehicles ? c.on.record : c.off.record);
    }
    const double low = std::min(*on.keptVehicles, *off.keptVehicles);
    const double high = std::max(*on.keptVehicles, *off.keptVehicles);
    if (high > low * keptVehiclesApart + keptVehiclesSlack) {
        return fmt::format(
            "{} and {} look like two worlds: the ambient vehicles within DetectionRange, which "
            "purges never take, number {:.0f} and {:.0f} over the evenings (the median of the "
            "counts), where two evenings of one game drive through the same traffic, Tarnwick on "
            "or off; compare two evenings of the same game, the same drive",
            c.on.record, c.off.record, *on.keptVehicles, *off.keptVehicles);
    }
    if (off.withheld == 0) {
        return fmt::format("{} withheld no purge (Record=2): that evening never sank to "
                           "FPS_Critical {:g}, so Tarnwick would have taken nothing from it, and "
                           "the two differ by what was played, not by Tarnwick",
                           c.off.record, off.fpsCritical);
    }
    if (on.purges - on.withheld == 0) {
        return fmt::format("{} ran no purge (Record=1): Tarnwick took nothing that evening, so "
                           "the two differ by what was played, not by Tarnwick",
                           c.on.record);
    }
    return {};
}

} // namespace

std::optional<OnOff> compareOnOff(const std::vector<CaptureFacts>& captures,
                                  const std::vector<const TuneFrames*>& frames)
{
    std::vector<std::size_t> records;
    std::vector<std::size_t> others;
    for (std::size_t i = 0; i < captures.size() && i < frames.size(); ++i) {
        (captures[i].record ? records : others).push_back(i);
    }
    if (records.size() == 1 && !others.empty()) {
        const CaptureFacts& record = captures[records.front()];
        const CaptureFacts& other = captures[others.front()];
        OnOff compared;
        compared.notCompared = fmt::format(
            "{} is a frame record and {} a capture tool's file{}: Tarnwick on against off sets two "
            "frame records side by side, since only a record says what the governor did and "
            "which world it played in (its vehicles); record the other evening with Record={} "
            "under [Main] in Tarnwick.ini and give both records",
            captureLabel(record, false), captureLabel(other, false),
            others.size() > 1 ? fmt::format(" (and {} more)", others.size() - 1) : "",
            record.record->mode == 2 ? 1 : 2);
        return compared;
    }
    if (records.size() < 2) {
        return std::nullopt;
    }
    OnOff compared;
    compared.notCompared = whyNotCompared(records, captures);
    if (!compared.notCompared.empty()) {
        return compared;
    }
    const bool onFirst = captures[records[0]].record->mode == 1;
    const std::size_t on = records[onFirst ? 0 : 1];
    const std::size_t off = records[onFirst ? 1 : 0];
    const RecordFacts& onRecord = *captures[on].record;
    const RecordFacts& offRecord = *captures[off].record;
    compared.fpsModerate = onRecord.fpsModerate;
    compared.fpsCritical = onRecord.fpsCritical;
    compared.on = figuresOf(captures[on], *frames[on], compared.fpsModerate, compared.fpsCritical);
    compared.off =
        figuresOf(captures[off], *frames[off], compared.fpsModerate, compared.fpsCritical);
    compared.notCompared = unlikeEvenings(compared, onRecord, offRecord);
    if (!compared.notCompared.empty()) {
        compared.on = {};
        compared.off = {};
        return compared;
    }
    if (offRecord.fpsModerate != onRecord.fpsModerate ||
        offRecord.fpsCritical != onRecord.fpsCritical) {
        compared.caveats.push_back(fmt::format(
            "{} was recorded at FPS_Moderate {:g}, FPS_Critical {:g} and {} at {:g}, {:g}: both "
            "are measured against the governed evening's, the thresholds it played with; the "
            "other's only set when its purges were withheld",
            compared.on.record, onRecord.fpsModerate, onRecord.fpsCritical, compared.off.record,
            offRecord.fpsModerate, offRecord.fpsCritical));
    }
    if (onRecord.made != offRecord.made) {
        compared.caveats.push_back(fmt::format("{} was made by Tarnwick {} and {} by {}",
                                               compared.on.record, onRecord.made,
                                               compared.off.record, offRecord.made));
    }
    return compared;
}

namespace {

double shareOf(double ms, double playMs)
{
    return playMs > 0 ? ms / playMs : 0.0;
}

// "12.0 s (7%)"
std::string timeAndShare(double ms, double playMs)
{
    return fmt::format("{:.1f} s ({:.0f}%)", ms / 1000.0, shareOf(ms, playMs) * 100);
}

std::string slumpsText(const EveningFigures& e)
{
    if (e.slumps == 0) {
        return "none";
    }
    return fmt::format("{}, {:.0f} s in all, longest {:.0f} s", e.slumps, e.slumpMs / 1000.0,
                       e.longestSlumpMs / 1000.0);
}

// One row of the comparison as every rendering shows it.
struct Row {
    std::string name;
    std::function<std::string(const EveningFigures&, bool on)> cell;
};

std::vector<Row> rowsOf(const OnOff& c)
{
    const auto fps = [](double value) { return fmt::format("{:.1f}", value); };
    return {
        {"play", [](const EveningFigures& e, bool) { return page::minutes(e.playMs); }},
        {fmt::format("below FPS_Moderate {:g}", c.fpsModerate),
         [](const EveningFigures& e, bool) { return timeAndShare(e.msBelowModerate, e.playMs); }},
        {fmt::format("below FPS_Critical {:g}", c.fpsCritical),
         [](const EveningFigures& e, bool) { return timeAndShare(e.msBelowCritical, e.playMs); }},
        {"mean fps", [=](const EveningFigures& e, bool) { return fps(e.meanFps); }},
        {"P1 low fps", [=](const EveningFigures& e, bool) { return fps(e.p1LowFps); }},
        {"P0.1 low fps", [=](const EveningFigures& e, bool) { return fps(e.p01LowFps); }},
        {"slumps", [](const EveningFigures& e, bool) { return slumpsText(e); }},
        {"levels", [](const EveningFigures& e,
                      bool) { return e.levels.empty() ? std::string("one pace") : e.levels; }},
        {"purges", [](const EveningFigures& e, bool on) {
             return fmt::format("{} {}", e.purges, on ? "run" : "withheld");
         }}};
}

// in: name, how a record's name is shown where it goes.
std::string headingOf(const OnOff& c, const std::function<std::string(const std::string&)>& name)
{
    return fmt::format("Tarnwick on against off: {} (Record=1) beside {} (Record=2, every purge "
                       "withheld), play only",
                       name(c.on.record), name(c.off.record));
}

} // namespace

void printOnOff(std::ostream& out, const OnOff& c)
{
    if (!c.notCompared.empty()) {
        fmt::print(out, "Tarnwick on against off: not compared: {}\n", c.notCompared);
        return;
    }
    fmt::print(out, "{}:\n", headingOf(c, [](const std::string& n) { return shown(n); }));
    fmt::print(out, "  {:<24} {:<34} {}\n", "", "on", "off");
    for (const Row& row : rowsOf(c)) {
        fmt::print(out, "  {:<24} {:<34} {}\n", row.name, row.cell(c.on, true),
                   row.cell(c.off, false));
    }
    for (const std::string& caveat : c.caveats) {
        fmt::print(out, "  note: {}\n", shownWhole(caveat));
    }
}

nlohmann::json onOffJson(const OnOff& c)
{
    if (!c.notCompared.empty()) {
        return {{"notCompared", c.notCompared}};
    }
    const auto evening = [](const EveningFigures& e) {
        return nlohmann::json{{"record", e.record},
                              {"playMs", e.playMs},
                              {"msBelowModerate", e.msBelowModerate},
                              {"msBelowCritical", e.msBelowCritical},
                              {"meanFps", e.meanFps},
                              {"p1LowFps", e.p1LowFps},
                              {"p01LowFps", e.p01LowFps},
                              {"usualFps", e.usualFps},
                              {"peakFps", e.peakFps},
                              {"slumps", e.slumps},
                              {"slumpMs", e.slumpMs},
                              {"longestSlumpMs", e.longestSlumpMs},
                              {"levels", e.levels},
                              {"purges", e.purges}};
    };
    return {{"notCompared", ""},
            {"caveats", c.caveats},
            {"fpsModerate", c.fpsModerate},
            {"fpsCritical", c.fpsCritical},
            {"on", evening(c.on)},
            {"off", evening(c.off)}};
}

void onOffSection(html::Writer& page, const OnOff& c)
{
    page.put("<h2>Tarnwick on against off</h2>\n");
    if (!c.notCompared.empty()) {
        page.put("<p class='warning'>Not compared: {}.</p>\n", c.notCompared);
        return;
    }
    page.put("<p>{}: the thresholds are the governed evening's; what is set aside (loading "
             "screens, menus, pauses) is left out of both.</p>\n<div class='wide'><table "
             "class='figures'>\n<tr><th></th><th scope='col'>on: {}</th><th scope='col'>off: "
             "{}</th></tr>\n",
             headingOf(c, [](const std::string& n) { return n; }), c.on.record, c.off.record);
    for (const Row& row : rowsOf(c)) {
        page.put("<tr><th scope='row'>{}</th><td>{}</td><td>{}</td></tr>\n", row.name,
                 row.cell(c.on, true), row.cell(c.off, false));
    }
    page.put("</table></div>\n");
    for (const std::string& caveat : c.caveats) {
        page.put("<p class='warning'>{}.</p>\n", page::upperFirst(caveat));
    }
}

} // namespace sim
