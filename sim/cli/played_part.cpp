#include "sim/cli/played_part.h"

#include "sim/capture/capture.h"
#include "sim/files.h"
#include "sim/report/slumps_report.h"
#include "sim/session/slumps.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

namespace sim {

PlayedPart::PlayedPart(const CaptureChoice& choice)
{
    if (choice.fromSeconds) {
        fromMs = *choice.fromSeconds * 1000;
    }
    if (choice.toSeconds) {
        toMs = *choice.toSeconds * 1000;
    }
}

bool PlayedPart::keeps(double frameMs)
{
    // A frame time of no length, or less, takes no time, as on the session's clock.
    elapsedMs += std::max(0.0, frameMs);
    if (fromMs && elapsedMs <= *fromMs) {
        ++before;
        return false;
    }
    if (toMs && elapsedMs > *toMs) {
        ++after;
        return false;
    }
    return true;
}

void PlayedPart::restart()
{
    elapsedMs = 0;
    before = 0;
    after = 0;
}

std::function<bool(double)> keepsPlayed(const CaptureChoice& choice)
{
    return [part = PlayedPart(choice)](double frameMs) mutable { return part.keeps(frameMs); };
}

std::string playedPartText(const PlayedPart& part)
{
    std::string text = "only the part played:";
    if (part.fromMs) {
        text += fmt::format(" {} frames before --from {:g} s left out, times below count from "
                            "there{}",
                            countText(part.before), *part.fromMs / 1000, part.toMs ? ";" : "");
    }
    if (part.toMs) {
        text += fmt::format(" {} frames after --to {:g} s left out", countText(part.after),
                            *part.toMs / 1000);
    }
    return text;
}

Failure noFramePlayed(const std::filesystem::path& capture, const PlayedPart& part)
{
    return {FailureKind::Malformed, capture, 0,
            fmt::format("no frame between --from and --to: the capture lasts {:.1f} s",
                        part.elapsedMs / 1000)};
}

Result<Done> emptyPlayedPart(const CaptureChoice& choice)
{
    if (!choice.fromSeconds || !choice.toSeconds || *choice.toSeconds > *choice.fromSeconds) {
        return Done{};
    }
    return Failure{FailureKind::BadOption,
                   {},
                   0,
                   fmt::format("--to {:g} does not lie after --from {:g}: they are the seconds "
                               "of the capture where the part played starts and ends",
                               *choice.toSeconds, *choice.fromSeconds)};
}

Result<Done> targetAtUsual(const CaptureChoice& choice, const std::filesystem::path& capture,
                           double usualFps)
{
    if (!choice.target || usualFps <= 0 || *choice.target < usualFps) {
        return Done{};
    }
    return Failure{
        FailureKind::BadOption, capture, 0,
        fmt::format("--target {:g} is not below the capture's usual frame rate ({:g} fps): a "
                    "slump is a stretch below the usual rate, so the whole capture would be one; "
                    "give a lower --target, or leave it out for {} of the usual rate ({:g} "
                    "fps)",
                    *choice.target, usualFps, percentText(slumpShareOfUsual),
                    std::round(usualFps * slumpShareOfUsual))};
}

} // namespace sim
