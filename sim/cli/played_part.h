// --from and --to: the part of a capture that was played, for every command that reads one.
#pragma once

#include "sim/cli/commands.h"
#include "sim/failure.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace sim {

// Walks a capture's frames in order: a frame is kept when it ends after --from and by --to.
struct PlayedPart {
    std::optional<double> fromMs;
    std::optional<double> toMs;
    double elapsedMs = 0;
    std::uint64_t before = 0;
    std::uint64_t after = 0;

    explicit PlayedPart(const CaptureChoice& choice);
    bool cuts() const { return fromMs || toMs; }
    bool keeps(double frameMs);
    void restart();
};

// A new walk of the part played, for a second reading of the same frames.
std::function<bool(double)> keepsPlayed(const CaptureChoice& choice);

// "only the part played: 1,200 frames before --from 20 s left out, ...; 300 frames after --to
// 140 s left out"
std::string playedPartText(const PlayedPart& part);

// No frame of the capture lies between --from and --to.
Failure noFramePlayed(const std::filesystem::path& capture, const PlayedPart& part);

// --to does not lie after --from: a bad argument.
Result<Done> emptyPlayedPart(const CaptureChoice& choice);

// --target is not below the capture's usual rate: a bad argument.
Result<Done> targetAtUsual(const CaptureChoice& choice, const std::filesystem::path& capture,
                           double usualFps);

} // namespace sim
