#include "sim/tune/decision.h"

#include "sim/ascii.h"
#include "sim/check/settings_check.h"
#include "sim/tune/recoveries.h"

#include <algorithm>

namespace sim {

std::optional<PurgeWorth> purgeWorthOf(const std::vector<const RecordFacts*>& records)
{
    PurgeWorth w;
    std::size_t governed = 0;
    std::size_t ran = 0;
    double recordMs = 0;
    double taken = 0;
    double lift = 0;
    w.beyondYardstick = true;
    for (const RecordFacts* record : records) {
        if (record == nullptr || record->mode != 1) {
            continue;
        }
        const PurgeGains& g = record->gains;
        ++governed;
        ran += record->purges;
        recordMs += g.recordMs;
        w.purges += g.ran;
        taken += g.meanTaken * static_cast<double>(g.ran);
        lift += (g.netGainFps ? *g.netGainFps : g.meanGainFps) * static_cast<double>(g.ran);
        w.beyondYardstick = w.beyondYardstick && (g.ran == 0 || g.netGainFps);
    }
    if (governed == 0) {
        return std::nullopt;
    }
    if (w.purges < purgesToTell) {
        w.minutesMore = minutesMoreToRecord(w.purges, ran, recordMs);
        return w;
    }
    const auto count = static_cast<double>(w.purges);
    w.meanTaken = taken / count;
    w.liftFps = lift / count;
    w.worth = w.liftFps >= measurableLiftFps ? Worth::Lifts : Worth::NoLift;
    return w;
}

std::pair<double, double> usualRange(const TuneResult& r)
{
    double slowest = 0;
    double fastest = 0;
    for (const TunedCapture& part : r.captures) {
        const double usual = part.slumps.usualFps;
        if (usual > 0) {
            slowest = slowest == 0 ? usual : std::min(slowest, usual);
            fastest = std::max(fastest, usual);
        }
    }
    return {slowest, fastest};
}

bool mixedRates(const TuneResult& r)
{
    const auto [slowest, fastest] = usualRange(r);
    // A fifth apart, a threshold that suits one game's slumps is the other's usual rate.
    return slowest > 0 && slowest < fastest * (1 - mixedRatesApart);
}

std::vector<std::vector<std::size_t>> gamesByUsualRate(const std::vector<double>& usualFps)
{
    std::vector<std::size_t> order(usualFps.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return usualFps[a] < usualFps[b]; });
    std::vector<std::vector<std::size_t>> games;
    double slowest = -1;
    for (const std::size_t i : order) {
        const double usual = usualFps[i];
        // As mixedRates tells games apart: the slowest of a game within a fifth of its fastest.
        const bool apart =
            usual <= 0 ? slowest != 0 : slowest <= 0 || slowest < usual * (1 - mixedRatesApart);
        if (games.empty() || apart) {
            games.emplace_back();
            slowest = usual;
        }
        games.back().push_back(i);
    }
    for (std::vector<std::size_t>& game : games) {
        std::sort(game.begin(), game.end());
    }
    std::sort(games.begin(), games.end(),
              [](const auto& a, const auto& b) { return a.front() < b.front(); });
    return games;
}

std::vector<TunedGame> gamesOf(const std::vector<std::string>& applications,
                               const TuneResult& together)
{
    std::vector<TunedGame> games;
    std::vector<std::size_t> unnamed;
    std::vector<double> unnamedUsual;
    for (std::size_t i = 0; i < applications.size(); ++i) {
        const std::string& application = applications[i];
        if (application.empty()) {
            unnamed.push_back(i);
            unnamedUsual.push_back(
                i < together.captures.size() ? together.captures[i].slumps.usualFps : 0);
            continue;
        }
        const auto same = std::find_if(games.begin(), games.end(), [&](const TunedGame& game) {
            return equalsIgnoringCase(game.application, application);
        });
        if (same == games.end()) {
            games.push_back({{i}, {}, application});
        } else {
            same->captures.push_back(i);
        }
    }
    for (const std::vector<std::size_t>& byRate : gamesByUsualRate(unnamedUsual)) {
        TunedGame& game = games.emplace_back();
        for (const std::size_t j : byRate) {
            game.captures.push_back(unnamed[j]);
        }
    }
    std::sort(games.begin(), games.end(),
              [](const auto& a, const auto& b) { return a.captures.front() < b.captures.front(); });
    return games;
}

std::vector<TunedGame> tuneEachGame(const TuneResult& together,
                                    const std::vector<std::string>& applications,
                                    const std::vector<const TuneFrames*>& captures,
                                    const GovernorSettings& base, Range moderate, Range critical)
{
    if (captures.size() < 2 || !mixedRates(together)) {
        return {};
    }
    // Captures of one game at other settings are levels of it: one pair for them all.
    std::vector<TunedGame> games = gamesOf(applications, together);
    if (games.size() < 2) {
        return {};
    }
    for (TunedGame& game : games) {
        std::vector<const TuneFrames*> own;
        for (const std::size_t i : game.captures) {
            own.push_back(captures[i]);
        }
        game.result = tune(own, base, moderate, critical);
    }
    return games;
}

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

namespace {

// The slumps of each capture with no purge of the recommendation in them (all of them without
// one): the recommendation runs alone over each capture, its purges kept.
std::vector<Decision::UncaughtSlump> uncaughtOf(const TuneResult& r)
{
    std::vector<Decision::UncaughtSlump> uncaught;
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

// Slumps no pair within the budget catches: of the pairs that would, why each falls out.
void countWhyNoneCatches(Decision& d, const TuneResult& r)
{
    for (const CellResult& c : r.cells) {
        if (c.slumps.caught == 0 || thresholdsDrawAWarning(c.moderate, c.critical)) {
            continue;
        }
        d.catchingOverBudget += overBudgetOf(c, r.ordinaryMs) > 0 ? 1U : 0U;
        d.catchingModerateInPlay += !moderateFitsPlay(r, c) ? 1U : 0U;
    }
}

void takeTheRanking(Decision& d, const TuneResult& r)
{
    d.best = r.cells[*r.recommended];
    d.decidedBy = r.decidedBy;
    d.decidedRow = r.decidedRow;
    d.yoursRoom = r.yoursStanding.room;
    d.bestRoom = r.bestStanding.room;
    if (r.decidedRow != nullptr && r.rankedWith != nullptr) {
        const auto at = static_cast<std::size_t>(r.decidedRow - r.rankedWith->data());
        d.yoursOnKey = r.yoursStanding.figures[at];
        d.bestOnKey = r.bestStanding.figures[at];
    }
}

Decision decideOne(const TuneResult& r, bool switchedOff)
{
    Decision d;
    d.switchedOff = switchedOff;
    d.yours = r.current;
    d.captures = r.captures.size();
    d.slumps = r.slumps;
    d.durationMs = r.durationMs;
    d.budget = {wastedAllowed(r.ordinaryMs), r.ordinaryMs, wastedPerMinute};
    d.yoursNormalShare = normalShareOf(r, moderateWithRoom(r.current.moderate));
    d.yoursMissed = missedOf(r.current, r.slumps);
    const bool anyCatches = std::any_of(r.cells.begin(), r.cells.end(),
                                        [](const CellResult& c) { return c.slumps.caught > 0; });
    d.noPairCatches = r.slumps > 0 && !anyCatches;
    if (r.recommended || d.noPairCatches) {
        d.uncaught = uncaughtOf(r);
    }
    for (const TunedCapture& part : r.captures) {
        d.usualFps.push_back(part.slumps.usualFps);
    }
    if (!r.recommended) {
        d.answer = r.tooShort ? Answer::TooShort : Answer::NothingAllowed;
        return d;
    }
    takeTheRanking(d, r);
    // Off, Tarnwick does nothing; where nothing needs a purge and yours would never purge, that is
    // as right as switching it on.
    const bool offIsRight = switchedOff && r.slumps == 0 && r.current.purges == 0;
    if (r.slumps > 0 && d.best->slumps.caught == 0) {
        d.answer = Answer::CannotTell;
        countWhyNoneCatches(d, r);
    } else {
        d.answer = d.decidedBy == RuleKey::None && (!switchedOff || offIsRight) ? Answer::Keep
                                                                                : Answer::Change;
    }
    return d;
}

void noPairJointly(Decision& d, Answer answer)
{
    d.answer = answer;
    d.best.reset();
    d.decidedBy = RuleKey::None;
    d.decidedRow = nullptr;
}

} // namespace

Decision decide(const TuneResult& r, const std::vector<TunedGame>& perGame,
                const std::vector<const RecordFacts*>& records, bool switchedOff)
{
    Decision d = decideOne(r, switchedOff);
    d.purgeWorth = purgeWorthOf(records);
    if (d.purgeWorth && d.purgeWorth->worth == Worth::NoLift && perGame.empty()) {
        // Purges that lift nothing leave the frames as they would be without them, so the grid's
        // counts hold even on a record made with Tarnwick on: fewer purges.
        d.purgeLess = true;
        d.decidedRow = nullptr;
        if (const std::optional<CellResult> fewer = fewerPurges(r)) {
            d.answer = Answer::Change;
            d.best = *fewer;
            d.decidedBy = RuleKey::GainsNothing;
        } else {
            d.answer = Answer::Keep;
            d.best = r.current;
            d.decidedBy = RuleKey::None;
        }
        return d;
    }
    for (std::size_t i = 0; i < r.captures.size(); ++i) {
        const TunedCapture& part = r.captures[i];
        if (looksRecordedWithTarnwickOn(part.recoveriesAfterYours, part.current.purges)) {
            d.recordedOn.push_back({i, part.recoveriesAfterYours, part.current.purges});
        }
    }
    if (!d.recordedOn.empty()) {
        // Its recoveries are Tarnwick's own: any pair judged on them is judged on a game that is
        // not there without it.
        noPairJointly(d, Answer::RecordedOn);
        return d;
    }
    if (perGame.empty()) {
        return d;
    }
    noPairJointly(d, Answer::EachGame);
    for (const TunedGame& game : perGame) {
        d.eachGame.push_back(decideOne(game.result, switchedOff));
    }
    return d;
}

} // namespace sim
