// Captures of a known shape, made a stretch at a time, and the tuner's frames of them.
#pragma once

#include "settings/settings.h"
#include "sim/tune/frames.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace testing_support {

// Frame times, built a stretch at a time.
struct Shape {
    std::vector<double> ms;
    std::mt19937 random{7};
    // Stretches made as slumps, and as what is not play (menus, alt-tabs), in ms from the start.
    std::vector<std::pair<double, double>> made;
    std::vector<std::pair<double, double>> notPlay;
    double endMs() const { return seconds() * 1000.0; }
    // A stretch from `next`, recorded in `into`.
    Shape& marked(std::vector<std::pair<double, double>>& into, double seconds,
                  const std::function<double(std::mt19937&)>& next)
    {
        const double from = endMs();
        add(seconds, next);
        into.emplace_back(from, endMs());
        return *this;
    }
    double seconds() const
    {
        double total = 0;
        for (const double m : ms) {
            total += m;
        }
        return total / 1000.0;
    }
    // Frames from `next` until the stretch is `seconds` long.
    Shape& add(double seconds, const std::function<double(std::mt19937&)>& next)
    {
        for (double t = 0; t < seconds * 1000.0;) {
            ms.push_back(next(random));
            t += ms.back();
        }
        return *this;
    }
    Shape& steady(double seconds, double frameMs)
    {
        return add(seconds, [frameMs](std::mt19937&) { return frameMs; });
    }
    Shape& hitch(double frameMs)
    {
        ms.push_back(frameMs);
        return *this;
    }
};

// TARNWICK_SHAPES_DIR=D writes a shape there as a PresentMon capture, to try it with the tool.
inline void keepShape(const std::string& name, const Shape& shape)
{
    const char* dir = std::getenv("TARNWICK_SHAPES_DIR");
    if (dir == nullptr) {
        return;
    }
    std::ofstream out(std::string(dir) + "/" + name + ".csv");
    out << "Application,MsBetweenPresents\n";
    for (const double ms : shape.ms) {
        out << "Game.exe," << ms << "\n";
    }
}

inline double jittered(std::mt19937& random, double meanMs, double spread)
{
    return meanMs * std::exp(std::normal_distribution<double>(0.0, spread)(random));
}

inline sim::TuneFrames framesOf(const Shape& shape, std::optional<double> target = std::nullopt)
{
    sim::TuneFrames frames;
    for (const double ms : shape.ms) {
        sim::addFrame(frames, ms);
    }
    sim::finishFrames(frames, target);
    return frames;
}

inline GovernorSettings pair(std::int32_t moderate, std::int32_t critical)
{
    GovernorSettings settings;
    settings.fpsModerate = moderate;
    settings.fpsCritical = critical;
    return settings;
}

// About 60 fps, then six stretches of about a minute at 16 to 30 ms: 20,000 frames.
inline Shape noisySlumps()
{
    Shape shape;
    const auto usual = [](std::mt19937& r) { return jittered(r, 16.7, 0.05); };
    const auto slump = [](std::mt19937& r) {
        return std::uniform_real_distribution<double>(16.0, 30.0)(r);
    };
    for (int i = 0; i < 6; ++i) {
        shape.add(10, usual).add(55, slump);
    }
    while (shape.ms.size() < 20000) {
        shape.ms.push_back(usual(shape.random));
    }
    return shape;
}

// Five minutes at about 50 fps with ordinary frame-pacing noise.
inline Shape steadyButUneven()
{
    return Shape{}.add(300, [](std::mt19937& r) { return jittered(r, 20.0, 0.25); });
}

} // namespace testing_support
