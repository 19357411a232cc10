// The answer to a player, decided once here from the ranking that chose the pair: every choice and
// every figure the text, the JSON and the page put into words.
#pragma once

#include "sim/session/purge_gains.h"
#include "sim/tune/tune.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sim {

enum class Answer {
    TooShort,       // shorter than the least time between two purges
    NothingAllowed, // every pair of the grid draws the settings check's warning
    Keep,           // yours is the recommendation
    Change,         // set the recommendation instead
    EachGame,       // games at different usual rates: one answer each, no joint pair
    RecordedOn,     // recorded with Tarnwick on: its recoveries are Tarnwick's own
    CannotTell,     // slumps, and no pair within the budget catches one: no purge helps here
};

// A capture that is Tarnwick's own frame record: how it was made, and what its purges gained over
// the part played.
struct RecordFacts {
    int mode =
        1; // as its rows say (its header's Record= where they say nothing): 1 governed, 2 withheld
    double fpsModerate = 45;
    double fpsCritical = 35;
    PurgeGains gains;
    std::size_t purges = 0;   // run or withheld, in the part played
    std::size_t withheld = 0; // of them, those the rows mark withheld
    double detectionRange = 50;
    std::string made = {}; // the plug-in's version and build in its header: "0.4.0, build ..."
    // The ambient vehicles within DetectionRange, which purges never take: their median over the
    // counts in the part played, the world's own traffic whatever the governor did (those a
    // mission owns build up over minutes). None: the record holds no count there.
    std::optional<double> keptVehicles = {};
    std::string headerAgainstRows = {}; // where the header's Record= and the rows disagree
};

// What the frame records made with Tarnwick governing (Record=1) say their purges gained: worth
// catching slumps for, worth nothing, or too few purges to tell.
enum class Worth { Lifts, NoLift, TooFew };
// A purge must lift the frame rate by this much within its window, beyond what moments as low
// gained on their own, for the gain to be measured at all.
inline constexpr double measurableLiftFps = 1.0;
struct PurgeWorth {
    Worth worth = Worth::TooFew;
    std::size_t purges = 0;         // measured purges that ran, over the records
    double meanTaken = 0;           // vehicles each took
    double liftFps = 0;             // their mean rise, beyond the yardstick's where there is one
    bool beyondYardstick = false;   // every record had a yardstick to go by
    std::optional<int> minutesMore; // TooFew: the minutes more to record
};
// Pooled over the records made with Record=1 (nullptr: a capture that is none); none without one.
std::optional<PurgeWorth> purgeWorthOf(const std::vector<const RecordFacts*>& records);

// Games whose usual rates lie more than this share apart: a threshold that suits one game's slumps
// is the other's usual rate.
inline constexpr double mixedRatesApart = 0.2;
// The slowest and the fastest usual rate of the captures; 0, 0 without one.
std::pair<double, double> usualRange(const TuneResult& r);
bool mixedRates(const TuneResult& r);

// The captures (by index) grouped by usual rate, each group the captures within mixedRatesApart
// of its slowest, in the order of their first capture; a capture without a usual rate (0) is a
// game of its own kind with the others like it.
std::vector<std::vector<std::size_t>> gamesByUsualRate(const std::vector<double>& usualFps);

// Captures of one game, tuned together: a game is an application (names compared as Windows
// compares them), its captures at other settings levels of it. A game, not a capture: a thousand
// captures of two games are two answers, and two grids held.
struct TunedGame {
    std::vector<std::size_t> captures; // indices into the captures, ascending
    TuneResult result;                 // its captures in that order
    std::string application;           // empty: not named (plain text), told by usual rate
};

// The games of the captures: one an application (applications[i], empty where a capture names
// none); captures that name none told apart by usual rate among themselves (gamesByUsualRate).
// In the order of their first capture, each game's captures ascending; results not yet tuned.
std::vector<TunedGame> gamesOf(const std::vector<std::string>& applications,
                               const TuneResult& together);

// Where the captures tuned together run at different usual rates and are of several games, each
// game tuned alone (one answer each); none otherwise.
std::vector<TunedGame> tuneEachGame(const TuneResult& together,
                                    const std::vector<std::string>& applications,
                                    const std::vector<const TuneFrames*>& captures,
                                    const GovernorSettings& base, Range moderate, Range critical);

struct Decision {
    Answer answer = Answer::TooShort;
    RuleKey decidedBy = RuleKey::None;
    const RuleKeyRow* decidedRow = nullptr; // the key that decided, in the table ranked with
    std::int64_t yoursOnKey = 0;            // yours and the best's figures on that key
    std::int64_t bestOnKey = 0;
    bool switchedOff = false; // Enabled=0: the figures are what it would do switched on
    CellResult yours;
    std::optional<CellResult> best; // the pair to set, or yours kept
    Room yoursRoom;                 // where a key on the pairs around it decided
    Room bestRoom;
    double yoursNormalShare = 1; // of ordinary play, with FPS_Moderate as a slower evening meets it
    std::int64_t yoursMissed = 0;
    std::size_t captures = 0;
    std::size_t slumps = 0;
    double durationMs = 0;
    // The wasted-purge budget: one for each minute of ordinary play begun.
    struct Budget {
        std::uint64_t allowed = 0;
        double ordinaryMs = 0;
        double perMinute = wastedPerMinute;
    };
    Budget budget;
    // The slumps the recommendation misses (every slump where there is none and no pair catches
    // one), in capture order.
    struct UncaughtSlump {
        std::size_t capture = 0;
        Slump slump;
    };
    std::vector<UncaughtSlump> uncaught;
    bool noPairCatches = false; // slumps there are, and no pair of the grid catches any
    // CannotTell: of the pairs free of warnings that catch a slump, how many waste over the budget
    // and how many leave ordinary play too little room.
    std::size_t catchingOverBudget = 0;
    std::size_t catchingModerateInPlay = 0;
    std::vector<double> usualFps; // each capture's, for games at different rates
    // RecordedOn: the captures that look recorded with Tarnwick on, with your purges after which
    // the game was back within a second, of how many.
    struct Recorded {
        std::size_t capture = 0;
        std::size_t recoveries = 0;
        std::size_t purges = 0;
    };
    std::vector<Recorded> recordedOn;
    std::optional<PurgeWorth> purgeWorth; // none without a frame record made with Record=1
    // Purges lift nothing here (a frame record says so): the answer is the pair that purges least
    // (GainsNothing), or yours where none purges less.
    bool purgeLess = false;
    std::vector<Decision> eachGame; // EachGame: one per game of perGame, in order
};

// in: r, ranked by tune; perGame, its games each tuned alone where they run at different usual
// rates (tuneEachGame); records, each capture's frame record (nullptr: none); switchedOff,
// Enabled=0 in the settings file.
Decision decide(const TuneResult& r, const std::vector<TunedGame>& perGame,
                const std::vector<const RecordFacts*>& records, bool switchedOff);

// Where purges lift nothing: the pair of the grid free of warnings, no higher than yours, that
// purges least, nearest yours; none where none purges less.
std::optional<CellResult> fewerPurges(const TuneResult& r);

} // namespace sim
