// What tune found, for a player: the whole answer, the verdict in a few lines and why.
#include "sim/report/slumps_report.h"
#include "sim/report/tune_report.h"
#include "sim/text.h"

#include "sim/files.h"

#include <fmt/format.h>
#include <fmt/ostream.h>

#include <cstdlib>

namespace sim {

std::string pairName(const CellResult& c)
{
    return fmt::format("FPS_Moderate {}, FPS_Critical {}", c.moderate, c.critical);
}

bool samePair(const CellResult& a, const CellResult& b)
{
    return a.moderate == b.moderate && a.critical == b.critical;
}

namespace {

// "catches 5 of the 6 slumps, 0.4 s after each starts on average"
std::string catches(const CellResult& c, std::size_t slumps)
{
    const std::string caught = slumpsCaughtText(c.slumps.caught, slumps);
    if (c.slumps.caught == 0) {
        return caught;
    }
    const bool one = c.slumps.caught == 1;
    if (c.slumps.meanDelayMs() < 50) {
        return caught + (one ? ", as it starts" : ", as each starts");
    }
    return fmt::format("{}, {:.1f} s after {}", caught, c.slumps.meanDelayMs() / 1000.0,
                       one ? "it starts" : "each starts on average");
}

void printCell(std::ostream& out, const CellResult& c, double durationMs, std::size_t slumps)
{
    fmt::print(out, "  purges {} ({:.1f} a minute): {} in slumps, {} outside any", c.purges,
               perMinute(static_cast<double>(c.purges), durationMs), c.slumps.inSlumps,
               c.slumps.outside);
    if (slumps > 0) {
        fmt::print(out, "; {}", catches(c, slumps));
    }
    fmt::print(out, "\n  Critical {:.1f} s, Moderate {:.1f} s; {:.1f} state changes a minute\n",
               c.timeInStateMs[2] / 1000.0, c.timeInStateMs[1] / 1000.0,
               perMinute(static_cast<double>(c.changes), durationMs));
}

void printSlumps(std::ostream& out, const SlumpVerdict& verdict, double durationMs)
{
    const std::vector<Slump>& slumps = verdict.slumps;
    if (slumps.empty()) {
        fmt::print(out, "slumps: none: {}\n", noSlumpReason(verdict, durationMs));
        return;
    }
    fmt::print(out, "slumps: {}, {}\n", slumps.size(), slumpTargetText(verdict));
    constexpr std::size_t listed = 10;
    for (std::size_t i = 0; i < slumps.size() && i < listed; ++i) {
        fmt::print(out, "  {:8.1f} s to {:8.1f} s  {:.1f} fps\n", slumps[i].startMs / 1000.0,
                   slumps[i].endMs / 1000.0, slumps[i].fps);
    }
    if (slumps.size() > listed) {
        fmt::print(out, "  ... and {} more: --json lists them all\n", slumps.size() - listed);
    }
}

void printNeighbours(std::ostream& out, const TuneReport& report, const CellResult& centre)
{
    fmt::print(out, "pairs around it:\n  {:>12} {:>12} {:>7} {:>8} {:>7} {:>7} {:>7}\n",
               "FPS_Moderate", "FPS_Critical", "purges", "outside", "caught", "missed", "wait s");
    const std::size_t slumps = report.result.slumps;
    for (const CellResult& c : report.result.cells) {
        if (std::abs(c.moderate - centre.moderate) + std::abs(c.critical - centre.critical) > 2) {
            continue;
        }
        const std::string wait =
            c.slumps.caught > 0 ? fmt::format("{:.1f}", c.slumps.meanDelayMs() / 1000.0) : "-";
        fmt::print(out, "  {:>12} {:>12} {:>7} {:>8} {:>7} {:>7} {:>7}\n", c.moderate, c.critical,
                   c.purges, c.slumps.outside, c.slumps.caught, slumps - c.slumps.caught, wait);
    }
}

} // namespace

std::string mixedRatesWarning(const TuneResult& r)
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
    // A fifth apart, a threshold that suits one game's slumps is the other's usual rate.
    if (slowest == 0 || fastest <= slowest * 1.25) {
        return {};
    }
    return fmt::format("these captures run at different usual frame rates ({:g} to {:g} fps): "
                       "one pair fits them badly; judge each game on its own",
                       slowest, fastest);
}

std::string recommendationWhy(const TuneResult& r)
{
    if (!r.recommended) {
        return r.durationMs < static_cast<double>(purgeIntervalMs)
                   ? fmt::format("{} {:.1f} s, less than the {} s between two purges: too "
                                 "short to judge",
                                 r.captures.size() == 1 ? "the capture lasts" : "the captures last",
                                 r.durationMs / 1000.0, purgeIntervalMs / 1000)
                   : "no pair of the grid is free of the settings check's warnings";
    }
    const CellResult& best = r.cells[*r.recommended];
    const CellResult& yours = r.current;
    const std::size_t slumps = r.slumps;
    const bool keep = samePair(best, yours);
    if (slumps == 0) {
        if (best.purges > 0) {
            return fmt::format("nothing here needs a purge, yet every pair purges at least {} "
                               "(long single frames set them off); {}",
                               purgeTimesText(best.purges),
                               keep ? "yours purges no more than any: keep it"
                                    : pairName(best) + " is the nearest pair that purges no more");
        }
        return keep ? "nothing here needs a purge and yours never purges: keep it"
                    : fmt::format("nothing here needs a purge, and yours purges {}; {} is the "
                                  "nearest pair that never does",
                                  purgeTimesText(yours.purges), pairName(best));
    }
    const std::string bestDoes =
        best.purges == 0
            ? fmt::format("never purges: every pair that would catch one of the {} slumps also "
                          "purges outside them",
                          slumps)
        : best.slumps.outside == 0
            ? fmt::format("purges only in slumps and {}", catches(best, slumps))
            : fmt::format("purges {} outside a slump, the fewest of any pair, and {}",
                          purgeTimesText(best.slumps.outside), catches(best, slumps));
    if (keep) {
        return fmt::format("yours {}: keep it", bestDoes);
    }
    const auto yoursMisses = [slumps](const CellResult& c) {
        const std::uint64_t missed = slumps - c.slumps.caught;
        return slumps == 1 ? std::string("yours misses it")
                           : fmt::format("yours misses {} of them", missed);
    };
    // The first of the rule's keys on which yours falls behind.
    const Standing y = standingOf(r.cells, yours, yours, slumps);
    const Standing b = standingOf(r.cells, best, yours, slumps);
    std::string yoursDoes;
    if (y.outsideEager > b.outsideEager) {
        yoursDoes =
            yours.slumps.outside > 0
                ? fmt::format("yours purges {} outside any slump",
                              purgeTimesText(yours.slumps.outside))
                : fmt::format("yours sits at the edge of this capture's noise: with "
                              "FPS_Critical a tenth higher it would purge {} outside a slump",
                              purgeTimesText(y.outsideEager));
    } else if (y.outside > b.outside) {
        yoursDoes =
            fmt::format("yours purges {} outside any slump", purgeTimesText(yours.slumps.outside));
    } else if (y.missedWary > b.missedWary) {
        yoursDoes = y.missed > b.missed ? yoursMisses(yours)
                    : slumps == 1
                        ? std::string("yours catches it only narrowly: with FPS_Critical a "
                                      "tenth lower it would miss it")
                        : fmt::format("yours catches them only narrowly: with FPS_Critical a "
                                      "tenth lower it would miss {} of them",
                                      y.missedWary);
    } else if (y.missed > b.missed) {
        yoursDoes = yoursMisses(yours);
    } else {
        yoursDoes =
            fmt::format("yours waits {:.1f} s on average", yours.slumps.meanDelayMs() / 1000.0);
    }
    return fmt::format("{} {}; {}", pairName(best), bestDoes, yoursDoes);
}

void printTune(std::ostream& out, const TuneReport& report)
{
    const TuneResult& r = report.result;
    for (std::size_t i = 0; i < report.captures.size(); ++i) {
        const CaptureFacts& facts = report.captures[i];
        const TunedCapture& part = r.captures[i];
        fmt::print(out, "capture: {}\napplication: {}, {} frames, {:.1f} s\n",
                   shown(utf8Of(facts.capture)), shown(facts.summary.application), facts.frames,
                   part.durationMs / 1000.0);
        fmt::print(out, "  1% low fps {:.1f}, 0.1% low fps {:.1f}\n",
                   lowFps(facts.frameTimes, 0.01), lowFps(facts.frameTimes, 0.001));
        if (facts.summary.stoppedAtMs) {
            fmt::print(out, "  stopped: {}\n", describeStop(facts.summary));
        }
        printSlumps(out, part.slumps, part.durationMs);
    }
    if (report.captures.size() > 1) {
        fmt::print(out, "judged together: {} captures, {:.1f} s, {} slumps\n",
                   report.captures.size(), r.durationMs / 1000.0, r.slumps);
        if (const std::string warning = mixedRatesWarning(r); !warning.empty()) {
            fmt::print(out, "  warning: {}\n", warning);
        }
    }
    fmt::print(out,
               "grid: FPS_Moderate {} to {}, FPS_Critical {} to {}, below FPS_Moderate: {} "
               "pairs\n",
               report.moderate.low, report.moderate.high, report.critical.low, report.critical.high,
               r.cells.size());
    fmt::print(out, "your pair: {} ({})\n", pairName(r.current), report.settingsSource);
    printCell(out, r.current, r.durationMs, r.slumps);
    if (!r.recommended) {
        fmt::print(out, "no recommendation: {}\n", recommendationWhy(r));
        return;
    }
    const CellResult& best = r.cells[*r.recommended];
    fmt::print(out, "recommended: {}{}\n", pairName(best),
               samePair(best, r.current) ? " (yours)" : "");
    printCell(out, best, r.durationMs, r.slumps);
    fmt::print(out, "  why: {}\n  rule: {}\n", recommendationWhy(r), recommendationRule);
    printNeighbours(out, report, best);
}

void printVerdict(std::ostream& out, const TuneReport& report)
{
    const TuneResult& r = report.result;
    if (const std::string warning = mixedRatesWarning(r); !warning.empty()) {
        fmt::print(out, "warning: {}\n", warning);
    }
    const CellResult& yours = r.current;
    fmt::print(out, "your pair: {} ({}): {} purges, {} in slumps, {} outside any", pairName(yours),
               report.settingsSource, yours.purges, yours.slumps.inSlumps, yours.slumps.outside);
    if (r.slumps > 0) {
        fmt::print(out, "; {}", slumpsCaughtText(yours.slumps.caught, r.slumps));
    }
    out << '\n';
    if (!r.recommended) {
        fmt::print(out, "no recommendation: {}\n", recommendationWhy(r));
    } else if (samePair(r.cells[*r.recommended], yours)) {
        fmt::print(out, "your settings are right for {}: {}\n",
                   r.captures.size() == 1 ? "this capture" : "these captures",
                   recommendationWhy(r));
    } else {
        const CellResult& best = r.cells[*r.recommended];
        fmt::print(out,
                   "set instead: FPS_Moderate={} and FPS_Critical={} in Tarnwick.ini\n  why: {}\n",
                   best.moderate, best.critical, recommendationWhy(r));
    }
}

} // namespace sim
