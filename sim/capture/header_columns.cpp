// The columns a table's header names, found by name without regard to case.
#include "sim/capture/csv.h"

#include "sim/ascii.h"

namespace sim {

namespace {

// PresentMon names its frame time MsBetweenPresents (1.x, 2.3.1+, --v1_metrics) or, in 2.0 to
// 2.3.0, FrameTime; the first wins over the second wherever it stands.
bool takesPresentMonField(std::string_view name, const FieldPlaces& places)
{
    if (equalsIgnoringCase(name, "MsBetweenPresents")) {
        return true;
    }
    return equalsIgnoringCase(name, "FrameTime") && places.frameTime == noField;
}

} // namespace

FieldPlaces findFields(std::string_view header, std::vector<std::string_view>& fields,
                       std::string_view frameTimeField)
{
    FieldPlaces places;
    splitCsv(withoutBom(header), fields, SIZE_MAX);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string_view name = trim(fields[i]);
        if (equalsIgnoringCase(name, "Application") && places.application == noField) {
            places.application = i;
        }
        const bool frameTime = frameTimeField.empty() ? takesPresentMonField(name, places)
                                                      : equalsIgnoringCase(name, frameTimeField) &&
                                                            places.frameTime == noField;
        if (frameTime) {
            places.frameTime = i;
            places.frameTimeName = std::string(name);
        }
        const bool seconds = equalsIgnoringCase(name, "TimeInSeconds");
        if ((seconds || equalsIgnoringCase(name, "elapsed")) && places.clock == noField) {
            places.clock = i;
            places.clockName = std::string(name);
            places.clockMsPerUnit = seconds ? 1000.0 : 1e-6;
        }
        const auto first = [&](std::size_t& place, std::string_view wanted) {
            if (place == noField && equalsIgnoringCase(name, wanted)) {
                place = i;
            }
        };
        first(places.frameType, "FrameType");
        first(places.swapChain, "SwapChainAddress");
        if (!frameTimeField.empty()) {
            first(places.fps, "fps");
        }
        if (places.appStart == noField && (equalsIgnoringCase(name, "MsBetweenAppStart") ||
                                           equalsIgnoringCase(name, "FrameTime"))) {
            places.appStart = i;
            places.appStartName = std::string(name);
        }
    }
    if (frameTimeField.empty() && places.frameTime == noField) {
        std::size_t busy = noField;
        std::size_t wait = noField;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const std::string_view name = trim(fields[i]);
            busy = busy == noField && equalsIgnoringCase(name, "CPUBusy") ? i : busy;
            wait = wait == noField && equalsIgnoringCase(name, "CPUWait") ? i : wait;
        }
        if (busy != noField && wait != noField) {
            places.frameTime = busy;
            places.frameTimeAddend = wait;
            places.frameTimeName = "CPUBusy + CPUWait";
        }
    }
    return places;
}

} // namespace sim
