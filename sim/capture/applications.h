// Which applications a capture holds, counted as Windows names them, and which one a replay
// takes when none is asked for.
#pragma once

#include "sim/ascii.h"
#include "sim/capture/capture.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace sim {

// Applications counted by name as Windows compares them, without regard to case; each shown as
// first written.
struct AppCounter {
    std::vector<AppFrames> apps; // in order of appearance
    std::unordered_map<std::string, std::size_t> byName;
    std::size_t lastHit = 0; // rows of one application come in runs
    std::string key;

    // The index of name's count, made when it is new.
    std::size_t indexOf(std::string_view name)
    {
        if (lastHit < apps.size() &&
            (apps[lastHit].name == name || equalsIgnoringCase(apps[lastHit].name, name))) {
            return lastHit;
        }
        key.assign(name);
        std::transform(key.begin(), key.end(), key.begin(), lowerAscii);
        const auto [found, added] = byName.try_emplace(key, apps.size());
        if (added) {
            apps.push_back({std::string(name), 0});
        }
        lastHit = found->second;
        return lastHit;
    }
};

bool isCompositor(std::string_view application);
// Windows' own presenters, and PresentMon's names for a process it could not name: never the game.
bool isSystemProcess(std::string_view application);
// A program of the game's folder (programs: the .exe files there), as Windows compares names; a
// name without ".exe" (as some tools write it) is the program with it.
bool isProgramOf(std::string_view application, const std::vector<std::string>& programs);
// The game's program where the capture holds one (of several, the one with the most frames); else
// the one with the most frames, never the desktop compositor unless it is alone.
std::string chooseApplication(const std::vector<AppFrames>& apps,
                              const std::vector<std::string>& gamePrograms = {});

// Another application may be the game when it draws at least this share of the judged one's
// frames: a game at 30 fps beside a launcher drawing at 144 Hz has about a fifth of its frames,
// while an overlay or a helper that presents now and then has far fewer.
inline constexpr double mayBeTheGameShare = 0.2;

// The application, other than judged, that a player may mean instead: the one with the most frames
// that is no system process and has mayBeTheGameShare of judged's frames; where judged is a
// program of the game's folder, only another program of it. None: judged is the only candidate.
std::optional<AppFrames> otherPossibleGame(const std::vector<AppFrames>& apps,
                                           const AppFrames& judged,
                                           const std::vector<std::string>& gamePrograms);

} // namespace sim
