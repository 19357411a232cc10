// Slumps and the purges judged by them, said the same way by replay and tune.
#include "sim/report/slumps_report.h"

#include <fmt/format.h>

namespace sim {

namespace {

// "two", "nine": the small numbers the texts spell out.
std::string spelt(std::size_t number)
{
    constexpr const char* words[] = {"no",  "one",   "two",   "three", "four", "five",
                                     "six", "seven", "eight", "nine",  "ten"};
    return number < std::size(words) ? words[number] : std::to_string(number);
}

} // namespace

std::string percentText(double share)
{
    return fmt::format("{:g}%", share * 100);
}

std::string secondsSpelt(std::size_t seconds)
{
    return spelt(seconds) + (seconds == 1 ? " second" : " seconds");
}

std::string percentileAsShare(std::size_t percentile)
{
    return percentile % 10 == 0 ? spelt(percentile / 10) + " in ten"
                                : std::to_string(percentile) + " in a hundred";
}

std::string slumpsCaughtText(std::uint64_t caught, std::size_t slumps)
{
    if (slumps == 1) {
        return caught > 0 ? "catches the one slump" : "misses the one slump";
    }
    if (caught == slumps) {
        return slumps == 2 ? "catches both slumps" : fmt::format("catches all {} slumps", slumps);
    }
    return caught == 0 ? fmt::format("catches none of the {} slumps", slumps)
                       : fmt::format("catches {} of the {} slumps", caught, slumps);
}

std::string catchesText(std::uint64_t caught, double meanDelayMs, std::size_t slumps)
{
    const std::string text = slumpsCaughtText(caught, slumps);
    if (caught == 0) {
        return text;
    }
    const bool one = caught == 1;
    if (meanDelayMs < 50) {
        return text + (one ? ", as it starts" : ", as each starts");
    }
    return fmt::format("{}, {:.1f} s after {}", text, meanDelayMs / 1000.0,
                       one ? "it starts" : "each starts on average");
}

std::string purgeTimesText(std::uint64_t purges)
{
    return purges == 0 ? "never" : purges == 1 ? "once" : fmt::format("{} times", purges);
}

std::string slumpTargetText(const SlumpVerdict& verdict)
{
    if (verdict.targetGiven) {
        return fmt::format("below {:g} fps (--target)", verdict.targetFps);
    }
    return fmt::format("below {} of the play around them, a minute either side (at the usual "
                       "{:g} fps, below {:g} fps)",
                       percentText(slumpShareOfUsual), verdict.usualFps, verdict.targetFps);
}

std::string noSlumpReason(const SlumpVerdict& verdict, double durationMs)
{
    // A second to measure over, then the time the rate must stay low.
    constexpr double shortestMs = (1 + slumpLowSeconds) * tenthsPerSecond * traceTenthMs;
    if (durationMs < shortestMs) {
        return fmt::format("the capture is shorter than the {:g} s it takes to tell a slump, so "
                           "it cannot tell whether anything needs a purge",
                           shortestMs / 1000);
    }
    if (verdict.targetFps < 1) {
        return fmt::format("the capture's usual frame rate is {:g} fps (frames of a second or "
                           "more), too low to tell a slump from it; --target sets one",
                           verdict.usualFps);
    }
    return fmt::format("the frame rate never stayed {} for {} seconds: nothing here needs a purge",
                       verdict.targetGiven
                           ? slumpTargetText(verdict)
                           : "below " + percentText(slumpShareOfUsual) + " of the play around",
                       slumpLowSeconds);
}

std::string purgeJudgement(const FrameRateTrace& trace, const SlumpVerdict& verdict, double atMs)
{
    const PurgePlace place = placeOf(verdict, atMs);
    if (place.inAside) {
        return "in a pause, a loading screen or a menu: not judged";
    }
    if (place.slump) {
        const Slump& in = verdict.slumps[*place.slump];
        return fmt::format("in a slump ({:.1f} s to {:.1f} s at {:.0f} fps)", in.startMs / 1000.0,
                           in.endMs / 1000.0, in.fps);
    }
    return fmt::format("outside any slump ({:.0f} fps over the last second)",
                       fpsOverLastSecond(trace, atMs));
}

std::string setAsideText(const SlumpVerdict& verdict)
{
    std::string text;
    if (verdict.loadingMs > 0) {
        text = fmt::format("{:g} s of loading screens or menus", verdict.loadingMs / 1000.0);
    }
    if (verdict.pauses > 0) {
        text += fmt::format("{}{} {}", text.empty() ? "" : " and ", verdict.pauses,
                            verdict.pauses == 1 ? "pause" : "pauses");
    }
    return text.empty() ? text
                        : "left out: " + text +
                              ", not play: never a slump, no purge in them judged, not in the "
                              "usual rate";
}

std::string levelsText(const SlumpVerdict& verdict)
{
    std::string text;
    for (const PlayLevel& level : verdict.levels) {
        text += fmt::format("{}{:.0f} fps {:.0f} s to {:.0f} s", text.empty() ? "" : ", ",
                            level.fps, level.startMs / 1000.0, level.endMs / 1000.0);
    }
    return text.empty() ? text
                        : "levels: " + text +
                              " (each its own pace, not a slump: a slump is judged by the play "
                              "around it)";
}

nlohmann::json slumpVerdictJson(const SlumpVerdict& verdict)
{
    nlohmann::json json = {{"targetFps", verdict.targetFps},
                           {"targetFrom", verdict.targetGiven ? "--target" : "usualFps"},
                           {"usualFps", verdict.usualFps},
                           {"count", verdict.slumps.size()}};
    // Only where something was: the reports of other captures stay as they were.
    if (!verdict.asideSpans.empty()) {
        nlohmann::json spans = nlohmann::json::array();
        for (const Span& span : verdict.asideSpans) {
            spans.push_back({{"startMs", span.startMs}, {"endMs", span.endMs}});
        }
        json["setAside"] = {
            {"loadingMs", verdict.loadingMs}, {"pauses", verdict.pauses}, {"spans", spans}};
    }
    if (!verdict.levels.empty()) {
        nlohmann::json levels = nlohmann::json::array();
        for (const PlayLevel& level : verdict.levels) {
            levels.push_back(
                {{"startMs", level.startMs}, {"endMs", level.endMs}, {"fps", level.fps}});
        }
        json["levels"] = std::move(levels);
    }
    return json;
}

nlohmann::json slumpsJson(const SlumpVerdict& verdict, const std::vector<double>& purgeTimesMs)
{
    const std::vector<Slump>& slumps = verdict.slumps;
    nlohmann::json list = nlohmann::json::array();
    std::vector<std::optional<double>> firstPurge(slumps.size());
    for (const double t : purgeTimesMs) {
        if (const auto slump = placeOf(verdict, t).slump; slump && !firstPurge[*slump]) {
            firstPurge[*slump] = t;
        }
    }
    for (std::size_t i = 0; i < slumps.size(); ++i) {
        list.push_back({{"startMs", slumps[i].startMs},
                        {"endMs", slumps[i].endMs},
                        {"fps", slumps[i].fps},
                        {"firstPurgeMs", firstPurge[i] ? nlohmann::json(*firstPurge[i])
                                                       : nlohmann::json(nullptr)}});
    }
    return list;
}

nlohmann::json purgesJson(const std::vector<double>& purgeTimesMs, const SlumpVerdict& verdict)
{
    nlohmann::json list = nlohmann::json::array();
    for (const double t : purgeTimesMs) {
        const PurgePlace place = placeOf(verdict, t);
        list.push_back({{"timeMs", t}, {"inSlump", place.slump.has_value()}});
        if (place.inAside) {
            list.back()["setAside"] = true;
        }
    }
    return list;
}

} // namespace sim
