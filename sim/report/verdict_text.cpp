// The verdict in words and as JSON: what tune, report and the page render, never decide.
#include "sim/report/verdict.h"

#include "sim/report/slumps_report.h"
#include "sim/text.h"

#include <fmt/format.h>
#include <fmt/ostream.h>

namespace sim {
namespace {

std::string plural(std::uint64_t count, std::string_view one, std::string_view many)
{
    return fmt::format("{} {}", count, count == 1 ? one : many);
}

} // namespace

std::string changesHeading(const Verdict& v)
{
    return v.settingsFile.empty()
               ? std::string("there is no Tarnwick.ini: make one beside the game's .exe holding a "
                             "line [Settings] and under it")
               : "in " + v.settingsFile;
}

std::string changeText(const LineChange& change)
{
    if (change.noFile) {
        return fmt::format("{}={}", change.key, change.to);
    }
    if (change.line) {
        return fmt::format("change {1}={2} to {1}={3} (line {4})", change.section, change.key,
                           change.from, change.to, *change.line);
    }
    return fmt::format("add {1}={3} on a line of its own under the first [{0}] line (if the file "
                       "has none, add [{0}] on a line of its own first): Tarnwick reads no {1} "
                       "from the file now, so it is {2}",
                       change.section, change.key, change.from, change.to);
}

std::string yoursText(const Verdict& v)
{
    const CellResult& yours = v.yours;
    std::string text = fmt::format("{}your pair: {} ({}): {}, {} in slumps, {} outside any",
                                   v.switchedOff ? "switched on, " : "", pairName(yours),
                                   v.settingsSource, plural(yours.purges, "purge", "purges"),
                                   yours.slumps.inSlumps, yours.slumps.outside);
    if (v.slumps > 0) {
        text += "; " + slumpsCaughtText(yours.slumps.caught, v.slumps);
    }
    return text;
}

std::string answerText(const Verdict& v)
{
    switch (v.answer) {
    case Answer::TooShort:
    case Answer::NothingAllowed:
        return "no recommendation: " + v.why;
    case Answer::Keep:
        return fmt::format("your settings are right for {}: {}",
                           v.captures == 1 ? "this capture" : "these captures", v.why);
    case Answer::Change:
        if (v.decidedBy == RuleKey::None) {
            return fmt::format("switch Tarnwick on: your pair is right for {}",
                               v.captures == 1 ? "this capture" : "these captures");
        }
        return fmt::format("set instead: FPS_Moderate {}, FPS_Critical {}{}", v.best->moderate,
                           v.best->critical, v.switchedOff ? ", switched on" : "");
    case Answer::EachGame:
        return "no pair for all of them: " + v.why;
    case Answer::RecordedOn:
        return "no recommendation: " + v.why;
    case Answer::CannotTell:
        return fmt::format("Tarnwick cannot tell these slumps from the hitches in {}{}",
                           v.captures == 1 ? "this capture" : "these captures",
                           v.changes.empty() ? ": keep yours, it does no harm here"
                                             : fmt::format(": set FPS_Moderate {}, FPS_Critical "
                                                           "{}, which does no harm",
                                                           v.best->moderate, v.best->critical));
    }
    return {};
}

std::string uncaughtText(const Verdict& v)
{
    if (v.uncaught.empty() || !v.best) {
        return {};
    }
    constexpr std::size_t named = 5;
    std::string fps;
    for (std::size_t i = 0; i < v.uncaughtSlumpFps.size() && i < named; ++i) {
        fps += fmt::format("{}{:.0f}", i == 0 ? "" : ", ", v.uncaughtSlumpFps[i]);
    }
    if (v.uncaughtSlumpFps.size() > named) {
        fps += fmt::format(" and {} more", v.uncaughtSlumpFps.size() - named);
    }
    const std::string which =
        v.uncaught.size() == v.slumps
            ? (v.slumps == 1 ? std::string("the slump") : fmt::format("all {} slumps", v.slumps))
            : fmt::format("{} of the {} slumps", v.uncaught.size(), v.slumps);
    return fmt::format("{} ({}) misses {} (at {} fps)",
                       v.answer == Answer::Keep ? "yours" : "the recommendation", pairName(*v.best),
                       which, fps);
}

namespace {

void printAnswer(std::ostream& out, const Verdict& v, std::string_view indent)
{
    fmt::print(out, "{}{}\n", indent, answerText(v));
    if (const std::string missed = uncaughtText(v); !missed.empty()) {
        fmt::print(out, "{}  {}\n", indent, missed);
    }
    if (v.answer == Answer::CannotTell) {
        fmt::print(out, "{}  why: {}\n", indent, v.why);
    }
    if (v.changes.empty()) {
        return;
    }
    fmt::print(out, "{}  {}:\n", indent, changesHeading(v));
    for (const LineChange& change : v.changes) {
        fmt::print(out, "{}    {}\n", indent, changeText(change));
    }
    if (v.answer == Answer::Change) {
        fmt::print(out, "{}  why: {}\n", indent, v.why);
    }
}

} // namespace

void printApplicationNotes(std::ostream& out, const Verdict& v)
{
    for (const std::string& note : v.applicationNotes) {
        fmt::print(out, "{}\n", note);
    }
}

void printVerdict(std::ostream& out, const Verdict& v, bool withNotes)
{
    if (withNotes) {
        printApplicationNotes(out, v);
    }
    if (v.switchedOff) {
        fmt::print(out, "Tarnwick is switched off in {} (Enabled=0): it does nothing\n",
                   v.settingsFile);
    }
    fmt::print(out, "{}\n", yoursText(v));
    for (const std::string& note : v.unreadSettings) {
        fmt::print(out, "note: {}\n", note);
    }
    if (!v.withholdingNote.empty()) {
        fmt::print(out, "note: {}\n", v.withholdingNote);
    }
    printAnswer(out, v, "");
    if (v.purgeWorth) {
        fmt::print(out, "what purges gain here: {}\n", v.purgeWorth->sentence);
    }
    for (std::size_t i = 0; i < v.eachGame.size(); ++i) {
        fmt::print(out, "{} (usual {:.0f} fps):\n", shown(v.gameNames[i]),
                   v.eachGame[i].usualFps.empty() ? 0.0 : v.eachGame[i].usualFps.front());
        printAnswer(out, v.eachGame[i], "  ");
    }
}

nlohmann::json verdictJson(const Verdict& v)
{
    static const char* const answers[] = {"tooShort",  "nothingAllowed", "keep",
                                          "change",    "eachGame",       "recordedWithTarnwickOn",
                                          "cannotTell"};
    nlohmann::json changes = nlohmann::json::array();
    for (const LineChange& change : v.changes) {
        changes.push_back({{"section", change.section},
                           {"key", change.key},
                           {"from", change.from},
                           {"to", change.to},
                           {"line", change.line ? nlohmann::json(*change.line) : nullptr},
                           {"text", changeText(change)}});
    }
    nlohmann::json json = {{"answer", answers[static_cast<std::size_t>(v.answer)]},
                           {"decidedBy", ruleKeyName(v.decidedBy)},
                           {"settings", v.settingsSource},
                           {"unreadSettings", v.unreadSettings},
                           {"switchedOff", v.switchedOff},
                           {"withholdingNote", v.withholdingNote},
                           {"yoursWarning", v.yoursWarning},
                           {"why", v.why},
                           {"changes", changes},
                           {"uncaughtSlumpFps", v.uncaughtSlumpFps},
                           {"applicationNotes", v.applicationNotes}};
    nlohmann::json uncaught = nlohmann::json::array();
    for (const Verdict::UncaughtSlump& u : v.uncaught) {
        uncaught.push_back({{"capture", u.capture},
                            {"startMs", u.slump.startMs},
                            {"seconds", (u.slump.endMs - u.slump.startMs) / 1000.0},
                            {"fps", u.slump.fps}});
    }
    json["uncaughtSlumps"] = std::move(uncaught);
    const double minutes = v.budget.ordinaryMs / 60000.0;
    json["budget"] = {{"wastedAllowed", v.budget.allowed},
                      {"ordinaryPlayMinutes", minutes},
                      {"wastedPerMinute", v.budget.perMinute},
                      {"yoursWasted", v.yours.slumps.outside},
                      {"yoursWithin", v.yours.slumps.outside <= v.budget.allowed}};
    if (v.best) {
        json["budget"]["recommendedWasted"] = v.best->slumps.outside;
        json["budget"]["recommendedWithin"] = v.best->slumps.outside <= v.budget.allowed;
    }
    if (!v.recordedOn.empty()) {
        json["recordedWithTarnwickOn"] = nlohmann::json::array();
        for (const Verdict::Recorded& r : v.recordedOn) {
            json["recordedWithTarnwickOn"].push_back({{"capture", r.capture},
                                                      {"purgesFollowedByRecovery", r.recoveries},
                                                      {"purges", r.purges}});
        }
    }
    if (v.purgeWorth) {
        static const char* const worths[] = {"lifts", "noLift", "tooFew"};
        const PurgeWorthSaid& w = *v.purgeWorth;
        json["purgeWorth"] = {
            {"worth", worths[static_cast<std::size_t>(w.worth)]},
            {"purges", w.purges},
            {"meanTaken", w.meanTaken},
            {"liftFps", w.liftFps},
            {"beyondYardstick", w.beyondYardstick},
            {"minutesMoreToRecord", w.minutesMore ? nlohmann::json(*w.minutesMore) : nullptr},
            {"sentence", w.sentence}};
    }
    if (v.best) {
        json["recommended"] = {{"fpsModerate", v.best->moderate},
                               {"fpsCritical", v.best->critical}};
    }
    if (!v.eachGame.empty()) {
        nlohmann::json games = nlohmann::json::array();
        for (std::size_t i = 0; i < v.eachGame.size(); ++i) {
            nlohmann::json game = verdictJson(v.eachGame[i]);
            game["capture"] = v.gameNames[i];
            games.push_back(std::move(game));
        }
        json["eachGame"] = std::move(games);
    }
    return json;
}

} // namespace sim
