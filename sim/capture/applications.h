// Which applications a capture holds, counted as Windows names them, and which one a replay
// takes when none is asked for.
#pragma once

#include "sim/ascii.h"
#include "sim/capture/capture.h"

#include <algorithm>
#include <cstddef>
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
// The one with the most frames, never the desktop compositor unless it is alone.
std::string chooseApplication(const std::vector<AppFrames>& apps);

} // namespace sim
