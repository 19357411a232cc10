// A fixed, short scenario whose transcript (states, purges, removed vehicles) is the same
// wherever the plug-in runs: natively against the simulated host, or as the real Windows library
// under Wine against the stand-in hook.
#pragma once

#include <functional>
#include <ostream>

namespace sim {

// Loads the plug-in, plays the scenario's frames and writes the transcript. Returns 0 when the
// plug-in loaded and did what the simulator expected of it. With Record set, fast frames follow
// until the plug-in's tick counter has moved on far enough for the record to be written; between
// them pause is called, so that a real tick counter (under Wine) moves too.
int runScenario(std::ostream& out, const std::function<void()>& pause = {});

} // namespace sim
