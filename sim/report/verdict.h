// The answer to a player in words: sim/tune decides it once (decision.h); this says it, and the
// text, the JSON and the page render what it says.
#pragma once

#include "sim/check/settings_check.h"
#include "sim/report/tune_report.h"
#include "sim/tune/decision.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// A line of Tarnwick.ini as it should read, and the one it replaces.
struct LineChange {
    const char* section;
    const char* key;
    std::int64_t from = 0; // as the plug-in reads it now (a default where no line holds it)
    std::int64_t to = 0;
    std::optional<std::uint64_t> line; // the line read now; none: the key is not in the file
    bool noFile = false;               // there is no settings file to change
};

// What the frame records made with Record=1 say their purges gained, and the sentence that says so.
struct PurgeWorthSaid : PurgeWorth {
    std::string sentence; // what the text, the JSON and the page say of it
};

// The decision (sim/tune/decision.h) in words: every figure from it, every sentence made here.
struct Verdict {
    Answer answer = Answer::TooShort;
    RuleKey decidedBy = RuleKey::None;
    std::string settingsSource;              // the settings judged, as the text names them
    std::vector<std::string> unreadSettings; // copies of Tarnwick.ini the game does not read
    // Enabled=0 in the file: it does nothing; the figures are what it would do switched on.
    bool switchedOff = false;
    // Record=2 in the file judged: the next evening withholds every purge. The figures are the
    // pair as the governor applies it, purges on: Record says how the plug-in records, not what a
    // pair does. Empty: not set.
    std::string withholdingNote;
    std::string settingsFile; // the file judged; empty: the defaults
    std::string yoursWarning; // the settings check's warning about your pair; empty: none
    CellResult yours;
    std::optional<CellResult> best;
    std::size_t captures = 0;
    std::size_t slumps = 0;
    double durationMs = 0;
    // The slumps the recommendation misses (every slump where there is none and no pair catches
    // one), in capture order, and their frame rates alone.
    using UncaughtSlump = Decision::UncaughtSlump;
    std::vector<UncaughtSlump> uncaught;
    std::vector<double> uncaughtSlumpFps;
    bool noPairCatches = false; // slumps there are, and no pair of the grid catches any
    Decision::Budget budget;    // each pair's wasted purges against it
    std::string why;            // one sentence, from the key that decided
    std::vector<LineChange> changes;
    std::vector<double> usualFps; // each capture's, for games at different rates
    // RecordedOn: the captures that look recorded with Tarnwick on, with your purges after which
    // the game was back within a second, of how many.
    struct Recorded {
        std::string capture;
        std::size_t recoveries = 0;
        std::size_t purges = 0;
    };
    std::vector<Recorded> recordedOn;
    // Captures where another application may be the game: which one was judged and how to judge
    // the other (judgedApplicationText), named by capture where there are several.
    std::vector<std::string> applicationNotes;
    std::optional<PurgeWorthSaid> purgeWorth; // none without a frame record made with Record=1
    std::vector<Verdict> eachGame;            // EachGame: one per game, in order
    std::vector<std::string> gameNames;       // EachGame: the captures each answer is for
};

// Where yours stands behind the best on the key that decided: that row's why, filled in from the
// decision's figures; empty for a key without one.
std::string yoursDoes(const Decision& d, const TuneReport& report, const std::string& warning);

// The decision on report (sim/tune's decide), put into words. in: report, tuned (with perGame
// when its captures run at different usual rates); settings, the file judged (none: the defaults).
Verdict judge(const TuneReport& report, const std::optional<SettingsCheck>& settings);

// "change FPS_Critical=35 to FPS_Critical=30 (line 14)", "add FPS_Critical=30 under [Settings]".
std::string changeText(const LineChange& change);
// What the changes are made in: "in D:\Game\Tarnwick.ini", or the file to make.
std::string changesHeading(const Verdict& verdict);
// What your pair does: "your pair: FPS_Moderate 45, FPS_Critical 35 (from X): 2 purges, ..."
std::string yoursText(const Verdict& verdict);
// The answer's first line: "set instead: ...", "your settings are right for this capture", ...
std::string answerText(const Verdict& verdict);
// The slumps the recommendation misses: "it misses 2 of the 5 slumps (at 31, 28 fps)"; empty
// when it misses none.
std::string uncaughtText(const Verdict& verdict);

// The verdict in two or three lines, as tune and report print it; the application notes first,
// unless they were printed already.
void printVerdict(std::ostream& out, const Verdict& verdict, bool withNotes = true);
void printApplicationNotes(std::ostream& out, const Verdict& verdict);
nlohmann::json verdictJson(const Verdict& verdict);

} // namespace sim
