// The decision put into words: each sentence from the figures sim/tune decided with, the why from
// the row of the key that decided; the rendering is in verdict_text.cpp.
#include "sim/report/verdict.h"

#include "sim/files.h"
#include "sim/report/slumps_report.h"
#include "sim/text.h"

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

std::string budgetText(const Decision::Budget& budget)
{
    return fmt::format("the budget of {} wasted {} for {:.1f} minutes of ordinary play",
                       budget.allowed, budget.allowed == 1 ? "purge" : "purges",
                       budget.ordinaryMs / 60000.0);
}

// What a pair does a step past its room.
std::string edgeText(const Decision& d, const Room& room)
{
    const double further = (room.steps + 1) * roomStep * 100;
    if (room.overBudget) {
        return fmt::format("with both thresholds {:g}% higher, as a slower evening of the same "
                           "game would meet them, it would waste {} outside a slump, over {}",
                           further, purgeTimesText(room.wastedMovedUp), budgetText(d.budget));
    }
    if (room.misses) {
        return fmt::format("with both thresholds {:g}% lower, as a dip a little shallower would "
                           "meet them, it would miss {}",
                           further,
                           room.missedMovedDown == 1
                               ? std::string("a slump")
                               : fmt::format("{} slumps", room.missedMovedDown));
    }
    return fmt::format("{:g}% further lies outside the pairs judged", further);
}

// What the recommendation does, in the terms of the rule.
std::string bestDoes(const Decision& d, const CellResult& best)
{
    if (best.slumps.outside == 0) {
        return "purges only in slumps and " +
               catchesText(best.slumps.caught, best.slumps.meanDelayMs(), d.slumps);
    }
    return fmt::format("wastes {} outside a slump, within {}, and {}",
                       purgeTimesText(best.slumps.outside), budgetText(d.budget),
                       catchesText(best.slumps.caught, best.slumps.meanDelayMs(), d.slumps));
}

} // namespace

std::string yoursDoes(const Decision& d, const TuneReport& report, const std::string& warning)
{
    if (d.decidedRow == nullptr || d.decidedRow->why == nullptr) {
        return {};
    }
    const CellResult& yours = d.yours;
    const CellResult& best = *d.best;
    return fmt::format(
        fmt::runtime(d.decidedRow->why), fmt::arg("best", pairName(best)),
        fmt::arg("yoursModerate", yours.moderate), fmt::arg("moderateRoom", moderateRoom * 100),
        fmt::arg("yoursNormal", d.yoursNormalShare * 100),
        fmt::arg("yoursWastedAside", yours.slumps.outside > 0
                                         ? fmt::format(" (here it wastes {} outside any slump)",
                                                       purgeTimesText(yours.slumps.outside))
                                         : std::string()),
        fmt::arg("yoursWasted", purgeTimesText(yours.slumps.outside)),
        fmt::arg("budgetText", budgetText(d.budget)),
        fmt::arg("yoursMisses",
                 d.slumps == 1 ? std::string("it") : fmt::format("{} of them", d.yoursMissed)),
        fmt::arg("captures", d.captures == 1 ? "this capture" : "these captures"),
        fmt::arg("yoursEdge", edgeText(d, d.yoursRoom)), fmt::arg("bestRoom", d.bestRoom.percent()),
        fmt::arg("yoursWait", yours.slumps.meanDelayMs() / 1000.0),
        fmt::arg("bestWait", best.slumps.meanDelayMs() / 1000.0),
        fmt::arg("yoursFigure", d.yoursOnKey), fmt::arg("bestFigure", d.bestOnKey),
        fmt::arg("yoursWarning", warning),
        fmt::arg("grid",
                 fmt::format("FPS_Moderate {} to {}, FPS_Critical {} to {}", report.moderate.low,
                             report.moderate.high, report.critical.low, report.critical.high)));
}

namespace {

// Slumps, and no pair within the budget catches one: why, as the grid has it.
std::string cannotTellWhy(const Decision& d, const std::vector<double>& uncaughtFps)
{
    if (d.noPairCatches) {
        return fmt::format("no pair of the grid catches {} (at {})",
                           d.slumps == 1 ? std::string("the slump")
                                         : fmt::format("any of the {} slumps", d.slumps),
                           fpsList(uncaughtFps));
    }
    std::string which;
    if (d.catchingOverBudget > 0 && d.catchingModerateInPlay > 0) {
        which = fmt::format("wastes more purges outside them than {}, or leaves ordinary play "
                            "too little room ({} of them), as FPS_Moderate must",
                            budgetText(d.budget), d.catchingModerateInPlay);
    } else if (d.catchingOverBudget > 0) {
        which = fmt::format("wastes more purges outside them than {}", budgetText(d.budget));
    } else {
        which = "leaves ordinary play too little room: the game would be Moderate where it "
                "usually runs";
    }
    return fmt::format("every pair that would catch {} {}: the governor judges each frame alone, "
                       "and here the hitches of ordinary play look like the slumps' frames",
                       d.slumps == 1 ? std::string("the slump") : std::string("one of them"),
                       which);
}

std::string whyOf(const Decision& d, const Verdict& v, const TuneReport& report)
{
    if (!d.best) {
        return d.answer == Answer::TooShort
                   ? fmt::format("{} {:.1f} s, less than the {} s between two purges: too "
                                 "short to judge",
                                 d.captures == 1 ? "the capture lasts" : "the captures last",
                                 d.durationMs / 1000.0, purgeIntervalMs / 1000)
                   : "no pair of the grid is free of the settings check's warnings";
    }
    const CellResult& best = *d.best;
    const bool keep = d.decidedBy == RuleKey::None;
    const std::string yours = keep ? std::string() : yoursDoes(d, report, v.yoursWarning);
    if (d.answer == Answer::CannotTell) {
        return cannotTellWhy(d, v.uncaughtSlumpFps) +
               (keep ? std::string()
                     : fmt::format("; {}; {} {}", yours, pairName(best),
                                   best.purges == 0
                                       ? "never purges"
                                       : "wastes " + purgeTimesText(best.slumps.outside)));
    }
    if (d.slumps == 0) {
        const std::string needs =
            best.slumps.outside > 0
                ? fmt::format("nothing here needs a purge; {} wastes {}, within {}",
                              keep ? "yours" : pairName(best), purgeTimesText(best.slumps.outside),
                              budgetText(d.budget))
                : std::string("nothing here needs a purge");
        if (keep) {
            return needs + (best.purges > 0 ? ": keep it" : " and yours never purges: keep it");
        }
        return fmt::format("{}; {}", needs, yours);
    }
    if (keep) {
        return fmt::format("yours {}: keep it", bestDoes(d, best));
    }
    return fmt::format("{} {}; {}", pairName(best), bestDoes(d, best), yours);
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
    for (LineChange& change : changes) {
        change.noFile = v.settingsFile.empty();
    }
    return changes;
}

const char* const recordOffText =
    "record an evening of the same game with Record=2 under [Main] in Tarnwick.ini (Tarnwick "
    "then decides as ever but takes nothing) and give that record beside this one to report, "
    "which sets the two side by side";

// Purges here lift nothing: fewer of them, and the way to see if Tarnwick helps at all.
std::string purgeLessWhy(const Verdict& v)
{
    if (v.answer != Answer::Change) {
        return fmt::format("no pair free of the settings check's warnings purges less than "
                           "yours; to see whether Tarnwick helps this game at all, {}",
                           recordOffText);
    }
    return fmt::format("{} purges {} where yours purges {}: the frame record's purges only take "
                       "vehicles here; to see whether Tarnwick helps this game at all, {}",
                       pairName(*v.best), purgeTimesText(v.best->purges),
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

std::optional<PurgeWorthSaid> worthSaid(const std::optional<PurgeWorth>& worth)
{
    if (!worth) {
        return std::nullopt;
    }
    PurgeWorthSaid w{*worth, {}};
    if (w.worth == Worth::TooFew) {
        w.sentence = fmt::format(
            "record about {} more minute{} of play in which the game slows down, with Record=1: "
            "{} too few to tell whether a purge lifts the frame rate here",
            *w.minutesMore, *w.minutesMore == 1 ? "" : "s",
            w.purges == 0 ? std::string("no purge could be measured, and none is")
                          : fmt::format("{} measured purge{} {}", w.purges,
                                        w.purges == 1 ? "" : "s", w.purges == 1 ? "is" : "are"));
        return w;
    }
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

// One answer in words: the whole of it where the captures are judged as one, or one game's.
Verdict said(const Decision& d, const TuneResult& r, const TuneReport& report,
             const std::optional<SettingsCheck>& settings)
{
    Verdict v;
    v.answer = d.answer;
    v.decidedBy = d.decidedBy;
    v.settingsSource = report.settingsSource;
    v.unreadSettings = report.unreadSettings;
    v.switchedOff = d.switchedOff;
    v.settingsFile = settings && settings->exists ? utf8Of(settings->file) : std::string();
    v.yoursWarning = thresholdsWarning(r.current.moderate, r.current.critical);
    v.yours = d.yours;
    v.best = d.best;
    v.captures = d.captures;
    v.slumps = d.slumps;
    v.durationMs = d.durationMs;
    v.budget = d.budget;
    v.uncaught = d.uncaught;
    for (const Verdict::UncaughtSlump& u : v.uncaught) {
        v.uncaughtSlumpFps.push_back(u.slump.fps);
    }
    v.noPairCatches = d.noPairCatches;
    v.usualFps = d.usualFps;
    v.why = whyOf(d, v, report);
    if (v.switchedOff && v.answer == Answer::Keep) {
        v.why += "; switched off as it is, Tarnwick does nothing, which does as well here";
    }
    if (v.answer == Answer::Change ||
        (v.answer == Answer::CannotTell && v.decidedBy != RuleKey::None)) {
        v.changes = changesFor(v, settings);
    }
    return v;
}

} // namespace

Verdict judge(const TuneReport& report, const std::optional<SettingsCheck>& settings)
{
    std::vector<const RecordFacts*> records;
    for (const CaptureFacts& facts : report.captures) {
        records.push_back(facts.record ? &*facts.record : nullptr);
    }
    const bool switchedOff = settings && settings->exists && !settings->settings.enabled;
    const Decision d = decide(report.result, report.perGame, records, switchedOff);
    Verdict v = said(d, report.result, report, settings);
    if (settings && settings->exists && settings->settings.enabled &&
        settings->settings.record == RecordMode::WithoutPurging) {
        v.withholdingNote = fmt::format(
            "Record=2 is still set in {}: the next evening Tarnwick records but withholds every "
            "purge and removes nothing, so your pair does nothing then; the figures here are your "
            "pair with its purges, as the governor applies it with Record=1 or 0 (set one of them "
            "after the evening to compare with)",
            v.settingsFile);
    }
    v.applicationNotes = applicationNotes(report);
    v.purgeWorth = worthSaid(d.purgeWorth);
    if (d.purgeLess) {
        v.changes =
            v.answer == Answer::Change ? changesFor(v, settings) : std::vector<LineChange>{};
        v.why = purgeLessWhy(v);
        return v;
    }
    for (const Decision::Recorded& r : d.recordedOn) {
        v.recordedOn.push_back({r.capture < report.captures.size()
                                    ? captureLabel(report.captures[r.capture], false)
                                    : std::string("the capture"),
                                r.recoveries, r.purges});
    }
    if (d.answer == Answer::RecordedOn) {
        v.changes.clear();
        v.why = recordedOnText(v, report);
        return v;
    }
    if (d.answer != Answer::EachGame) {
        return v;
    }
    v.changes.clear();
    v.why = mixedRatesWarning(report);
    for (std::size_t i = 0; i < d.eachGame.size() && i < report.perGame.size(); ++i) {
        v.eachGame.push_back(said(d.eachGame[i], report.perGame[i].result, report, settings));
        v.gameNames.push_back(gameLabel(report, report.perGame[i]));
    }
    return v;
}

} // namespace sim
