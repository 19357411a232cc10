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

std::string budgetText(const TuneResult& r)
{
    const std::uint64_t allowed = wastedAllowed(r.ordinaryMs);
    return fmt::format("the budget of {} wasted {} for {:.1f} minutes of ordinary play", allowed,
                       allowed == 1 ? "purge" : "purges", r.ordinaryMs / 60000.0);
}

// What a pair does a step past its room.
std::string edgeText(const TuneResult& r, const Room& room)
{
    const double further = (room.steps + 1) * roomStep * 100;
    if (room.overBudget) {
        return fmt::format("with both thresholds {:g}% higher, as a slower evening of the same "
                           "game would meet them, it would waste {} outside a slump, over {}",
                           further, purgeTimesText(room.outside), budgetText(r));
    }
    if (room.misses) {
        return fmt::format("with both thresholds {:g}% lower, as a dip a little shallower would "
                           "meet them, it would miss {}",
                           further,
                           room.missed == 1 ? std::string("a slump")
                                            : fmt::format("{} slumps", room.missed));
    }
    return fmt::format("{:g}% further lies outside the pairs judged", further);
}

std::string roomText(const TuneResult& r, const CellResult& yours, const CellResult& best)
{
    return fmt::format("yours sits near the edge of {}: {}; {} holds {:g}% either way",
                       r.captures.size() == 1 ? "this capture" : "these captures",
                       edgeText(r, roomOf(r, yours)), pairName(best), roomOf(r, best).percent());
}

// What the recommendation does, in the terms of the rule.
std::string bestDoes(const TuneResult& r, const CellResult& best, std::size_t slumps)
{
    if (best.slumps.outside == 0) {
        return "purges only in slumps and " +
               catchesText(best.slumps.caught, best.slumps.meanDelayMs(), slumps);
    }
    return fmt::format("wastes {} outside a slump, within {}, and {}",
                       purgeTimesText(best.slumps.outside), budgetText(r),
                       catchesText(best.slumps.caught, best.slumps.meanDelayMs(), slumps));
}

// Where yours stands behind, from the key that decided and no other.
std::string yoursDoes(const Verdict& v, const TuneResult& r, const TuneReport& report)
{
    const CellResult& yours = v.yours;
    const CellResult& best = *v.best;
    const std::size_t slumps = v.slumps;
    const std::int64_t missed = missedOf(yours, slumps);
    switch (v.decidedBy) {
    case RuleKey::ModerateAtUsual:
        return fmt::format("yours leaves ordinary play too little room: with FPS_Moderate {}, "
                           "{:g}% higher as a slower evening would meet it, the game is Normal "
                           "only {:.0f}% of ordinary play, and Moderate there two long frames in a "
                           "row purge{}",
                           yours.moderate, moderateRoom * 100,
                           normalShareOf(r, moderateWithRoom(yours.moderate)) * 100,
                           yours.slumps.outside > 0
                               ? fmt::format(" (here it wastes {} outside any slump)",
                                             purgeTimesText(yours.slumps.outside))
                               : std::string());
    case RuleKey::OverBudget:
        return fmt::format("yours wastes {} outside any slump, over {}",
                           purgeTimesText(yours.slumps.outside), budgetText(r));
    case RuleKey::Missed:
        return slumps == 1 ? std::string("yours misses it")
                           : fmt::format("yours misses {} of them", missed);
    case RuleKey::Room:
        return roomText(r, yours, best);
    case RuleKey::Wait:
        return fmt::format("yours waits {:.1f} s on average for a slump's first purge, {} {:.1f} s",
                           yours.slumps.meanDelayMs() / 1000.0, pairName(best),
                           best.slumps.meanDelayMs() / 1000.0);
    case RuleKey::Warned:
        return "yours would do as well on these frames, but the settings check warns about it, "
               "and that decided: " +
               v.yoursWarning;
    case RuleKey::OutsideGrid:
        return fmt::format(
            "yours would do as well on these frames, but lies outside the pairs judged "
            "(FPS_Moderate {} to {}, FPS_Critical {} to {}); {} is the nearest "
            "among them",
            report.moderate.low, report.moderate.high, report.critical.low, report.critical.high,
            pairName(best));
    default:
        break;
    }
    return {};
}

// Slumps, and no pair within the budget catches one: why, as the grid has it.
std::string cannotTellWhy(const Verdict& v, const TuneResult& r)
{
    if (v.noPairCatches) {
        return fmt::format("no pair of the grid catches {} (at {})",
                           v.slumps == 1 ? std::string("the slump")
                                         : fmt::format("any of the {} slumps", v.slumps),
                           fpsList(v.uncaughtSlumpFps));
    }
    std::size_t overBudget = 0;
    std::size_t moderateInPlay = 0;
    for (const CellResult& c : r.cells) {
        if (c.slumps.caught == 0 || thresholdsDrawAWarning(c.moderate, c.critical)) {
            continue;
        }
        overBudget += overBudgetOf(c, r.ordinaryMs) > 0 ? 1U : 0U;
        moderateInPlay += !moderateFitsPlay(r, c) ? 1U : 0U;
    }
    std::string which;
    if (overBudget > 0 && moderateInPlay > 0) {
        which = fmt::format("wastes more purges outside them than {}, or leaves ordinary play "
                            "too little room ({} of them), as FPS_Moderate must",
                            budgetText(r), moderateInPlay);
    } else if (overBudget > 0) {
        which = fmt::format("wastes more purges outside them than {}", budgetText(r));
    } else {
        which = "leaves ordinary play too little room: the game would be Moderate where it "
                "usually runs";
    }
    return fmt::format("every pair that would catch {} {}: the governor judges each frame alone, "
                       "and here the hitches of ordinary play look like the slumps' frames",
                       v.slumps == 1 ? std::string("the slump") : std::string("one of them"),
                       which);
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
    if (v.answer == Answer::CannotTell) {
        return cannotTellWhy(v, r) +
               (keep ? std::string()
                     : fmt::format("; {}; {} {}", yoursDoes(v, r, report), pairName(best),
                                   best.purges == 0
                                       ? "never purges"
                                       : "wastes " + purgeTimesText(best.slumps.outside)));
    }
    if (v.slumps == 0) {
        const std::string needs =
            best.slumps.outside > 0
                ? fmt::format("nothing here needs a purge; {} wastes {}, within {}",
                              keep ? "yours" : pairName(best), purgeTimesText(best.slumps.outside),
                              budgetText(r))
                : std::string("nothing here needs a purge");
        if (keep) {
            return needs + (best.purges > 0 ? ": keep it" : " and yours never purges: keep it");
        }
        return fmt::format("{}; {}", needs, yoursDoes(v, r, report));
    }
    if (keep) {
        return fmt::format("yours {}: keep it", bestDoes(r, best, v.slumps));
    }
    return fmt::format("{} {}; {}", pairName(best), bestDoes(r, best, v.slumps),
                       yoursDoes(v, r, report));
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

// The slumps of each capture with no purge of the recommendation in them (all of them without
// one): the recommendation runs alone over each capture, its purges kept.
std::vector<Verdict::UncaughtSlump> uncaughtOf(const TuneResult& r)
{
    std::vector<Verdict::UncaughtSlump> uncaught;
    for (std::size_t i = 0; i < r.captures.size(); ++i) {
        const TunedCapture& part = r.captures[i];
        std::vector<bool> caught(part.slumps.slumps.size(), false);
        if (r.recommended) {
            for (const double t : part.recommended.purgeTimesMs) {
                if (const PurgePlace place = placeOf(part.slumps, t); place.slump) {
                    caught[*place.slump] = true;
                }
            }
        }
        for (std::size_t k = 0; k < caught.size(); ++k) {
            if (!caught[k]) {
                uncaught.push_back({i, part.slumps.slumps[k]});
            }
        }
    }
    return uncaught;
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
    v.budget = {wastedAllowed(r.ordinaryMs), r.ordinaryMs, wastedPerMinute};
    const bool anyCatches = std::any_of(r.cells.begin(), r.cells.end(),
                                        [](const CellResult& c) { return c.slumps.caught > 0; });
    v.noPairCatches = r.slumps > 0 && !anyCatches;
    if (r.recommended || v.noPairCatches) {
        v.uncaught = uncaughtOf(r);
    }
    for (const Verdict::UncaughtSlump& u : v.uncaught) {
        v.uncaughtSlumpFps.push_back(u.slump.fps);
    }
    for (const TunedCapture& part : r.captures) {
        v.usualFps.push_back(part.slumps.usualFps);
    }
    if (!r.recommended) {
        v.answer = r.durationMs < static_cast<double>(purgeIntervalMs) ? Answer::TooShort
                                                                       : Answer::NothingAllowed;
    } else {
        v.best = r.cells[*r.recommended];
        v.decidedBy = r.decidedBy;
        // Off, Tarnwick does nothing; where nothing needs a purge and yours would never purge,
        // that is as right as switching it on.
        const bool offIsRight = v.switchedOff && r.slumps == 0 && r.current.purges == 0;
        if (r.slumps > 0 && v.best->slumps.caught == 0) {
            v.answer = Answer::CannotTell;
        } else {
            v.answer = v.decidedBy == RuleKey::None && (!v.switchedOff || offIsRight)
                           ? Answer::Keep
                           : Answer::Change;
        }
    }
    v.why = whyOf(v, r, report);
    if (v.switchedOff && v.answer == Answer::Keep) {
        v.why += "; switched off as it is, Tarnwick does nothing, which does as well here";
    }
    if (v.answer == Answer::Change ||
        (v.answer == Answer::CannotTell && v.decidedBy != RuleKey::None)) {
        v.changes = changesFor(v, settings);
        for (LineChange& change : v.changes) {
            change.noFile = v.settingsFile.empty();
        }
    }
    return v;
}

// Pooled over the records made with Record=1, each over its part played.
std::optional<PurgeWorth> purgeWorthOf(const TuneReport& report)
{
    PurgeWorth w;
    std::size_t records = 0;
    std::size_t ran = 0;
    double recordMs = 0;
    double taken = 0;
    double lift = 0;
    w.beyondYardstick = true;
    for (const CaptureFacts& facts : report.captures) {
        if (!facts.record || facts.record->mode != 1) {
            continue;
        }
        const PurgeGains& g = facts.record->gains;
        ++records;
        ran += facts.record->purges;
        recordMs += g.recordMs;
        w.purges += g.ran;
        taken += g.meanTaken * static_cast<double>(g.ran);
        lift += (g.netGainFps ? *g.netGainFps : g.meanGainFps) * static_cast<double>(g.ran);
        w.beyondYardstick = w.beyondYardstick && (g.ran == 0 || g.netGainFps);
    }
    if (records == 0) {
        return std::nullopt;
    }
    if (w.purges < purgesToTell) {
        w.minutesMore = minutesMoreToRecord(w.purges, ran, recordMs);
        w.sentence = fmt::format(
            "record about {} more minute{} of play in which the game slows down, with Record=1: "
            "{} too few to tell whether a purge lifts the frame rate here",
            *w.minutesMore, *w.minutesMore == 1 ? "" : "s",
            w.purges == 0 ? std::string("no purge could be measured, and none is")
                          : fmt::format("{} measured purge{} {}", w.purges,
                                        w.purges == 1 ? "" : "s", w.purges == 1 ? "is" : "are"));
        return w;
    }
    const auto count = static_cast<double>(w.purges);
    w.meanTaken = taken / count;
    w.liftFps = lift / count;
    w.worth = w.liftFps >= measurableLiftFps ? Worth::Lifts : Worth::NoLift;
    const std::string measured = fmt::format(
        "the frame record's {} purges took {:.0f} vehicles each and {} the frame rate by {:.1f} "
        "fps within {:g} s{}",
        w.purges, w.meanTaken, w.liftFps >= 0 ? "lifted" : "lowered", std::abs(w.liftFps),
        gainWindowMs / 1000.0,
        w.beyondYardstick ? ", beyond what moments as low gained on their own" : "");
    w.sentence = w.worth == Worth::Lifts
                     ? measured + ": these slumps are traffic, so catching them soon pays"
                     : "purges here take vehicles but do not lift the frame rate: these slumps "
                       "are not traffic (" +
                           measured + ")";
    return w;
}

// The pair of the grid free of warnings, no higher than yours, that purges least, nearest yours.
std::optional<CellResult> fewerPurges(const TuneResult& r)
{
    const CellResult& yours = r.current;
    const CellResult* fewest = nullptr;
    for (const CellResult& c : r.cells) {
        if (c.purges >= yours.purges || c.moderate > yours.moderate ||
            c.critical > yours.critical || thresholdsDrawAWarning(c.moderate, c.critical)) {
            continue;
        }
        const auto nearness = [](const CellResult& x) { return x.moderate + x.critical; };
        if (fewest == nullptr || c.purges < fewest->purges ||
            (c.purges == fewest->purges && nearness(c) > nearness(*fewest))) {
            fewest = &c;
        }
    }
    return fewest != nullptr ? std::optional(*fewest) : std::nullopt;
}

const char* const recordOffText =
    "record an evening of the same game with Record=2 under [Main] in Tarnwick.ini (Tarnwick "
    "then decides as ever but takes nothing) and give that record beside this one to report, "
    "which sets the two side by side";

// Purges that lift nothing leave the frames as they would be without them, so the grid's counts
// hold even on a record made with Tarnwick on: fewer purges, and the way to see if it helps at all.
void purgeLess(Verdict& v, const TuneResult& r, const std::optional<SettingsCheck>& settings)
{
    v.recordedOn.clear();
    const std::optional<CellResult> fewer = fewerPurges(r);
    v.changes.clear();
    if (!fewer) {
        v.answer = Answer::Keep;
        v.best = r.current;
        v.decidedBy = RuleKey::None;
        v.why = fmt::format("no pair free of the settings check's warnings purges less than "
                            "yours; to see whether Tarnwick helps this game at all, {}",
                            recordOffText);
        return;
    }
    v.answer = Answer::Change;
    v.best = *fewer;
    v.decidedBy = RuleKey::GainsNothing;
    v.changes = changesFor(v, settings);
    for (LineChange& change : v.changes) {
        change.noFile = v.settingsFile.empty();
    }
    v.why = fmt::format("{} purges {} where yours purges {}: the frame record's purges only take "
                        "vehicles here; to see whether Tarnwick helps this game at all, {}",
                        pairName(*fewer), purgeTimesText(fewer->purges),
                        purgeTimesText(v.yours.purges), recordOffText);
}

std::string recordedOnText(const Verdict& v, const TuneReport& report)
{
    const auto records = [&](int mode) {
        return std::any_of(
            report.captures.begin(), report.captures.end(),
            [mode](const CaptureFacts& f) { return f.record && f.record->mode == mode; });
    };
    const std::string again =
        records(2)   ? std::string("to tune, give the record made with Record=2 alone: its purges "
                                     "were withheld")
        : records(1) ? std::string("to tune, ") + recordOffText
                     : std::string("to tune, record again with Enabled=0 under [Main] in "
                                   "Tarnwick.ini and give that capture");
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
        "what the game does without them; {}",
        v.recordedOn.size() == 1 ? "the capture" : "the captures",
        v.recordedOn.size() == 1 ? "looks" : "look", " (" + which + ")", again);
}

std::vector<std::string> applicationNotes(const TuneReport& report)
{
    std::vector<std::string> notes;
    for (const CaptureFacts& facts : report.captures) {
        if (std::string note = judgedApplicationText(facts.summary); !note.empty()) {
            notes.push_back(report.captures.size() == 1 ? std::move(note)
                                                        : captureLabel(facts, false) + ": " + note);
        }
    }
    return notes;
}

} // namespace

Verdict judge(const TuneReport& report, const std::optional<SettingsCheck>& settings)
{
    Verdict v = judgeOne(report.result, report, settings);
    v.applicationNotes = applicationNotes(report);
    v.purgeWorth = purgeWorthOf(report);
    if (v.purgeWorth && v.purgeWorth->worth == Worth::NoLift && report.perGame.empty()) {
        purgeLess(v, report.result, settings);
        return v;
    }
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
        v.why = recordedOnText(v, report);
        return v;
    }
    if (report.perGame.empty()) {
        return v;
    }
    v.answer = Answer::EachGame;
    v.best.reset();
    v.decidedBy = RuleKey::None;
    v.changes.clear();
    v.why = mixedRatesWarning(report);
    for (const TuneReport::Game& game : report.perGame) {
        v.eachGame.push_back(judgeOne(game.result, report, settings));
        v.gameNames.push_back(gameLabel(report, game));
    }
    return v;
}

} // namespace sim
