// --from and --to: the part of a capture that was played, for every command that reads one.
#pragma once

#include "sim/cli/commands.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
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

// "only the part played: 1,200 frames before --from 20 s left out, ...; 300 frames after --to
// 140 s left out"
std::string playedPartText(const PlayedPart& part);

// 1 after saying on err that no frame of the capture lies between --from and --to.
int noFramePlayed(const std::filesystem::path& capture, const PlayedPart& part, std::ostream& err);

// 2 after saying why on err when --to does not lie after --from; else 0.
int refuseEmptyPlayedPart(const CaptureChoice& choice, std::ostream& err);

// 2 after saying why on err when --target is not below the capture's usual rate; else 0.
int refuseTargetAtUsual(const CaptureChoice& choice, const std::string& capture, double usualFps,
                        std::ostream& err);

} // namespace sim
