// The judgement and the one sentence that says why, in one file: the why is worded from the key
// that decided, which only the judgement knows; the rendering is in verdict_text.cpp.
#include "sim/report/verdict.h"

#include "sim/files.h"
#include "sim/report/slumps_report.h"
#include "sim/text.h"
#include "sim/tune/recoveries.h"

#include <fmt/format.h>
#include <fmt/ostream.h>

#include <algorithm>
#include <cmath>

namespace sim {
namespace {

std::int64_t missedOf(const CellResult& c, std::size_t slumps)
{
    return static_cast<std::int64_t>(slumps) - static_cast<std::int64_t>(c.slumps.caught);
}

std::string catches(const CellResult& c, std::size_t slumps)
{
    return catchesText(c.slumps.caught, c.slumps.meanDelayMs(), slumps);
}

std::string fpsList(const std::vector<double>& fps)
{
    constexpr std::size_t named = 5;
    std::string text;
    for (std::size_t i = 0; i < fps.size() && i < named; ++i) {
        text += fmt::format("{}{:.0f}", i == 0 ? "" : ", ", fps[i]);
    }
    if (fps.size() > named) {
        text += fmt::format(" and {} more", fps.size() - named);
    }
    return text + " fps";
}

// What yours does a step past its room, against the recommendation's room.
std::string roomText(const TuneResult& r, const CellResult& yours, const CellResult& best)
{
    const Room room = roomOf(r.cells, yours, r.slumps);
    const double further = (room.steps + 1) * roomStep * 100;
    std::string edge;
    if (room.purgesOutside && room.outside > yours.slumps.outside) {
        edge =
            fmt::format("with both thresholds {:g}% higher, as a slower evening of the same game "
                        "would meet them, it would purge {} outside a slump",
                        further, purgeTimesText(room.outside));
    } else if (room.misses && room.missed > missedOf(yours, r.slumps)) {
        edge = fmt::format("with both thresholds {:g}% lower, as a dip a little shallower would "
                           "meet them, it would miss {}",
                           further,
                           room.missed == 1 ? std::string("a slump")
                                            : fmt::format("{} slumps", room.missed));
    } else {
        edge = fmt::format("{:g}% further lies outside the pairs judged", further);
    }
    return fmt::format("yours sits near the edge of {}: {}; {} holds {:g}% either way",
                       r.captures.size() == 1 ? "this capture" : "these captures", edge,
                       pairName(best), roomOf(r.cells, best, r.slumps).percent());
}

// The first of the rule's keys on which yours stands behind the recommendation.
RuleKey decidingKey(const TuneResult& r, const CellResult& best, const TuneReport& report)
{
    if (samePair(best, r.current)) {
        return RuleKey::None;
    }
    const Standing y = standingOf(r, r.current);
    const Standing b = standingOf(r, best);
    if (y.moderateInPlay != b.moderateInPlay) {
        return RuleKey::ModerateAtUsual;
    }
    if (y.outside != b.outside) {
        return RuleKey::Outside;
    }
    if (y.missed != b.missed) {
        return RuleKey::Missed;
    }
    if (y.lessRoom != b.lessRoom) {
        return RuleKey::Room;
    }
    if (y.waitSeconds != b.waitSeconds) {
        return RuleKey::Wait;
    }
    if (thresholdsDrawAWarning(r.current.moderate, r.current.critical)) {
        return RuleKey::Warned;
    }
    const bool inGrid =
        r.current.moderate >= report.moderate.low && r.current.moderate <= report.moderate.high &&
        r.current.critical >= report.critical.low && r.current.critical <= report.critical.high;
    return inGrid ? RuleKey::None : RuleKey::OutsideGrid;
}

// What the recommendation does, in the terms of the key that chose it.
std::string bestDoes(const Verdict& v)
{
    const CellResult& best = *v.best;
    const std::size_t slumps = v.slumps;
    if (best.purges == 0) {
        if (!v.uncaughtSlumpFps.empty()) {
            return fmt::format("never purges: no pair of the grid catches {} (at {})",
                               slumps == 1 ? std::string("the slump")
                                           : fmt::format("any of the {} slumps", slumps),
                               fpsList(v.uncaughtSlumpFps));
        }
        return slumps == 1 ? std::string("never purges: every pair that would catch the slump "
                                         "also purges outside it")
                           : fmt::format("never purges: every pair that would catch one of the "
                                         "{} slumps also purges outside them",
                                         slumps);
    }
    if (best.slumps.outside == 0) {
        return "purges only in slumps and " + catches(best, slumps);
    }
    return fmt::format("purges {} outside a slump, the fewest of any pair, and {}",
                       purgeTimesText(best.slumps.outside), catches(best, slumps));
}

// Where yours stands behind, from the key that decided and no other.
std::string yoursDoes(const Verdict& v, const TuneResult& r, const TuneReport& report)
{
    const CellResult& yours = v.yours;
    const CellResult& best = *v.best;
    const std::size_t slumps = v.slumps;
    const Standing y = standingOf(r, yours);
    const auto misses = [&](std::int64_t missed) {
        return slumps == 1 ? std::string("yours misses it")
                           : fmt::format("yours misses {} of them", missed);
    };
    switch (v.decidedBy) {
    case RuleKey::ModerateAtUsual:
        return fmt::format("yours leaves ordinary play too little room: all but 1 in {} of its "
                           "frames run at {:.0f} fps or more, and with FPS_Moderate {} the game "
                           "is often Moderate there, where a single long frame below "
                           "FPS_Critical purges{}",
                           ordinaryLowOneIn, lowestOrdinaryFps(r), yours.moderate,
                           yours.slumps.outside > 0
                               ? fmt::format(" (here it purges {} outside any slump)",
                                             purgeTimesText(yours.slumps.outside))
                               : std::string());
    case RuleKey::Outside:
        return fmt::format("yours purges {} outside any slump",
                           purgeTimesText(yours.slumps.outside));
    case RuleKey::Missed:
        return misses(y.missed);
    case RuleKey::Room:
        return roomText(r, yours, best);
    case RuleKey::Wait:
        return fmt::format("yours waits {:.1f} s on average for a slump's first purge, {} {:.1f} s",
                           yours.slumps.meanDelayMs() / 1000.0, pairName(best),
                           best.slumps.meanDelayMs() / 1000.0);
    case RuleKey::Warned:
        return "yours would do as well on these frames, but the settings check warns about it: " +
               v.yoursWarning;
    case RuleKey::OutsideGrid:
        return fmt::format(
            "yours would do as well on these frames, but lies outside the pairs judged "
            "(FPS_Moderate {} to {}, FPS_Critical {} to {}); {} is the nearest "
            "among them",
            report.moderate.low, report.moderate.high, report.critical.low, report.critical.high,
            pairName(best));
    case RuleKey::None:
        break;
    }
    return {};
}

// The highest FPS_Critical of a pair that purges outside a slump less often than c; none: no pair
// does.
std::optional<std::int32_t> highestPurgingLess(const TuneResult& r, const CellResult& c)
{
    std::optional<std::int32_t> highest;
    for (const CellResult& cell : r.cells) {
        if (cell.slumps.outside < c.slumps.outside && (!highest || cell.critical > *highest)) {
            highest = cell.critical;
        }
    }
    return highest;
}

std::string whyOf(const Verdict& v, const TuneResult& r, const TuneReport& report)
{
    if (!v.best) {
        return v.answer == Answer::TooShort
                   ? fmt::format("{} {:.1f} s, less than the {} s between two purges: too "
                                 "short to judge",
                                 v.captures == 1 ? "the capture lasts" : "the captures last",
                                 v.durationMs / 1000.0, purgeIntervalMs / 1000)
                   : "no pair of the grid is free of the settings check's warnings";
    }
    const CellResult& best = *v.best;
    const bool keep = v.decidedBy == RuleKey::None;
    if (v.slumps == 0) {
        const std::string needs =
            best.purges > 0
                ? fmt::format("nothing here needs a purge, yet every pair purges at least {} "
                              "(long single frames set them off)",
                              purgeTimesText(best.purges))
                : std::string("nothing here needs a purge");
        if (const auto highest = highestPurgingLess(r, v.yours); keep && highest) {
            return fmt::format(
                "nothing here needs a purge; yours purges {} outside any slump, and only a pair "
                "with FPS_Critical {} or lower would purge less, but without a slump these "
                "frames cannot show how low FPS_Critical may go and still catch one: keep yours, "
                "and to judge it record a few minutes of play in which the game slows down",
                purgeTimesText(v.yours.slumps.outside), *highest);
        }
        if (keep) {
            return needs + (best.purges > 0 ? "; yours purges no more than any: keep it"
                                            : " and yours never purges: keep it");
        }
        return fmt::format("{}; {}; {} {}", needs, yoursDoes(v, r, report), pairName(best),
                           best.purges > 0 ? "purges no more" : "never does");
    }
    if (keep) {
        return fmt::format("yours {}: keep it", bestDoes(v));
    }
    return fmt::format("{} {}; {}", pairName(best), bestDoes(v), yoursDoes(v, r, report));
}

std::vector<LineChange> changesFor(const Verdict& v, const std::optional<SettingsCheck>& settings)
{
    std::vector<LineChange> changes;
    const auto lineOf = [&](const SettingKey& key) -> std::optional<std::uint64_t> {
        if (!settings) {
            return std::nullopt;
        }
        for (const CheckedSetting& shown : settings->shown) {
            if (std::string_view(shown.key) == key.name) {
                return shown.line;
            }
        }
        return std::nullopt;
    };
    if (v.switchedOff) {
        changes.push_back({enabledKey.section, enabledKey.name, 0, 1, lineOf(enabledKey)});
    }
    if (v.best && v.best->moderate != v.yours.moderate) {
        changes.push_back({fpsModerateKey.section, fpsModerateKey.name, v.yours.moderate,
                           v.best->moderate, lineOf(fpsModerateKey)});
    }
    if (v.best && v.best->critical != v.yours.critical) {
        changes.push_back({fpsCriticalKey.section, fpsCriticalKey.name, v.yours.critical,
                           v.best->critical, lineOf(fpsCriticalKey)});
    }
    return changes;
}

Verdict judgeOne(const TuneResult& r, const TuneReport& report,
                 const std::optional<SettingsCheck>& settings)
{
    Verdict v;
    v.settingsSource = report.settingsSource;
    v.unreadSettings = report.unreadSettings;
    v.switchedOff = settings && settings->exists && !settings->settings.enabled;
    v.settingsFile = settings && settings->exists ? utf8Of(settings->file) : std::string();
    v.yoursWarning = thresholdsWarning(r.current.moderate, r.current.critical);
    v.yours = r.current;
    v.captures = r.captures.size();
    v.slumps = r.slumps;
    v.durationMs = r.durationMs;
    const bool anyCatches = std::any_of(r.cells.begin(), r.cells.end(),
                                        [](const CellResult& c) { return c.slumps.caught > 0; });
    if (r.slumps > 0 && !anyCatches) {
        for (const TunedCapture& part : r.captures) {
            for (const Slump& slump : part.slumps.slumps) {
                v.uncaughtSlumpFps.push_back(slump.fps);
            }
        }
    }
    for (const TunedCapture& part : r.captures) {
        v.usualFps.push_back(part.slumps.usualFps);
    }
    if (!r.recommended) {
        v.answer = r.durationMs < static_cast<double>(purgeIntervalMs) ? Answer::TooShort
                                                                       : Answer::NothingAllowed;
    } else {
        v.best = r.cells[*r.recommended];
        v.decidedBy = decidingKey(r, *v.best, report);
        // Off, Tarnwick does nothing; where nothing needs a purge and yours would never purge,
        // that is as right as switching it on.
        const bool offIsRight = v.switchedOff && r.slumps == 0 && r.current.purges == 0;
        v.answer = v.decidedBy == RuleKey::None && (!v.switchedOff || offIsRight) ? Answer::Keep
                                                                                  : Answer::Change;
    }
    v.why = whyOf(v, r, report);
    if (v.switchedOff && v.answer == Answer::Keep) {
        v.why += "; switched off as it is, Tarnwick does nothing, which does as well here";
    }
    if (v.answer == Answer::Change) {
        v.changes = changesFor(v, settings);
        for (LineChange& change : v.changes) {
            change.noFile = v.settingsFile.empty();
        }
    }
    return v;
}

std::string recordedOnText(const Verdict& v)
{
    std::string which;
    for (std::size_t i = 0; i < v.recordedOn.size(); ++i) {
        const Verdict::Recorded& r = v.recordedOn[i];
        which += fmt::format("{}{} ({} of your pair's {} purges)",
                             i == 0                         ? ""
                             : i + 1 == v.recordedOn.size() ? " and "
                                                            : ", ",
                             shown(r.capture), r.recoveries, r.purges);
    }
    return fmt::format(
        "{} {} recorded with Tarnwick on: after most of your pair's purges the game was back at "
        "its usual rate within a second{}, so the recoveries are Tarnwick's own and cannot show "
        "what the game does without them; to tune, record again with Enabled=0 under [Main] in "
        "Tarnwick.ini and give that capture",
        v.recordedOn.size() == 1 ? "the capture" : "the captures",
        v.recordedOn.size() == 1 ? "looks" : "look", " (" + which + ")");
}

} // namespace

Verdict judge(const TuneReport& report, const std::optional<SettingsCheck>& settings)
{
    Verdict v = judgeOne(report.result, report, settings);
    for (std::size_t i = 0; i < report.result.captures.size(); ++i) {
        const TunedCapture& part = report.result.captures[i];
        if (looksRecordedWithTarnwickOn(part.recoveriesAfterYours, part.current.purges)) {
            v.recordedOn.push_back({i < report.captures.size()
                                        ? captureLabel(report.captures[i], false)
                                        : std::string("the capture"),
                                    part.recoveriesAfterYours, part.current.purges});
        }
    }
    if (!v.recordedOn.empty()) {
        // Its recoveries are Tarnwick's own: any pair judged on them is judged on a game that is
        // not there without it.
        v.answer = Answer::RecordedOn;
        v.best.reset();
        v.decidedBy = RuleKey::None;
        v.changes.clear();
        v.why = recordedOnText(v);
        return v;
    }
    if (report.perGame.empty()) {
        return v;
    }
    v.answer = Answer::EachGame;
    v.best.reset();
    v.decidedBy = RuleKey::None;
    v.changes.clear();
    v.why = mixedRatesWarning(report.result);
    for (const TuneReport::Game& game : report.perGame) {
        v.eachGame.push_back(judgeOne(game.result, report, settings));
        v.gameNames.push_back(gameLabel(report, game));
    }
    return v;
}

} // namespace sim
