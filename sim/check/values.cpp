// The look at the values: what the reader makes of the text, and what the numbers will do.
#include "sim/check/findings.h"
#include "sim/check/value_text.h"

#include "governor/state.h"

#include <algorithm>

namespace sim {

std::int64_t usedValue(const KnownKey& key, std::uint32_t raw)
{
    return key.threshold ? static_cast<std::int32_t>(raw) : static_cast<std::int64_t>(raw);
}

namespace {

void checkValue(const KnownKey& key, const IniLine& line, std::uint32_t raw, Findings& out)
{
    if (!line.hasEquals) {
        out.warn(line.number, fmt::format("`{}` has no `=` and no value, so {}", shown(line.name),
                                          defaultApplies(key)));
        return;
    }
    if (line.value.empty()) {
        out.note(line.number,
                 fmt::format("`{}=` has no value, so {}", line.name, defaultApplies(key)));
        return;
    }
    const auto remark = remarkOnValue(line.value, std::to_string(usedValue(key, raw)));
    if (!remark) {
        return;
    }
    std::string text = fmt::format("`{}={}` {}", line.name, shown(line.value), remark->remark);
    // What 0 does to a threshold or the range is said once, with the other effects.
    if (raw == 0 && key.zeroMeans != nullptr) {
        text += fmt::format(", so {}", key.zeroMeans);
    }
    remark->warning ? out.warn(line.number, text) : out.note(line.number, text);
}

// The reader turns any number but 0 into "on"; only 0 means off.
void checkEnabled(const Sources& sources, Findings& out)
{
    const auto found = sources.line.find(enabledKey.name);
    if (found == sources.line.end()) {
        return;
    }
    const IniLine& line = *found->second;
    const auto number = plainWholeNumber(line.value);
    if (number && *number != 0 && *number != 1) {
        out.note(line.number, fmt::format("`{}={}`: any number but 0 switches Tarnwick on",
                                          line.name, line.value));
    }
}

// Only 1 and 2 record; anything else is off, so that no stray value withholds the purges.
void checkRecord(const Sources& sources, std::uint32_t raw, Findings& out)
{
    const auto found = sources.line.find(recordKey.name);
    if (found == sources.line.end() || raw <= 2) {
        return;
    }
    const IniLine& line = *found->second;
    out.warn(line.number, fmt::format("`{}={}` records nothing: 1 records, 2 records without "
                                      "purging, 0 records nothing",
                                      line.name, line.value));
}

// Values the reader took as written whose effect is still surely not what was meant.
struct Effects {
    const GovernorSettings& settings;
    const Sources& sources;
    Findings& out;

    std::uint64_t lineOf(const SettingKey& key) const
    {
        const auto found = sources.line.find(key.name);
        return found == sources.line.end() ? 0 : found->second->number;
    }
    void thresholds() const;
    void range(std::uint32_t raw) const;
};

void Effects::thresholds() const
{
    const std::int32_t moderate = settings.fpsModerate;
    const std::int32_t critical = settings.fpsCritical;
    if (moderate <= 0) {
        out.warn(lineOf(fpsModerateKey),
                 fmt::format("FPS_Moderate is {}: a frame rate never falls below it, so "
                             "the game never counts as strained and nothing is purged",
                             moderate));
    } else if (critical <= 0) {
        out.warn(lineOf(fpsCriticalKey),
                 fmt::format("FPS_Critical is {}: a frame rate never falls below it, so "
                             "the game never reaches Critical and nothing is purged",
                             critical));
    } else if (critical >= moderate) {
        out.warn(std::max(lineOf(fpsModerateKey), lineOf(fpsCriticalKey)),
                 fmt::format("FPS_Critical ({}) is not below FPS_Moderate ({}): every drop below "
                             "{} fps goes on to Critical",
                             critical, moderate, moderate));
    }
    if (critical > highestRefreshRate) {
        out.warn(lineOf(fpsCriticalKey),
                 fmt::format("FPS_Critical is {}, above any monitor's refresh rate: the game "
                             "always counts as strained and a purge runs every {} seconds",
                             critical, purgeIntervalMs / 1000));
    } else if (moderate > highestRefreshRate) {
        out.note(lineOf(fpsModerateKey),
                 fmt::format("FPS_Moderate is {}, above any monitor's refresh rate: the "
                             "game is always at least Moderate, which alone does nothing",
                             moderate));
    }
}

void Effects::range(std::uint32_t raw) const
{
    const std::uint64_t line = lineOf(detectionRangeKey);
    if (raw >= 0x80000000u) {
        out.warn(line, fmt::format("DetectionRange is read as {} (about {:.2f}e9), as a negative "
                                   "number is: no vehicle is ever that far, so nothing is ever "
                                   "purged",
                                   raw, static_cast<double>(raw) / 1e9));
    } else if (raw > 1000) {
        out.warn(line, fmt::format("DetectionRange {} is farther than vehicles stay from the "
                                   "player: purges remove almost nothing",
                                   raw));
    } else if (raw == 0) {
        out.warn(line, "DetectionRange is 0: a purge removes every ambient vehicle, however near");
    } else if (raw < 10) {
        out.warn(line, fmt::format("DetectionRange {} is so near that a purge removes nearly every "
                                   "ambient vehicle, even those beside the player",
                                   raw));
    }
}

} // namespace

void checkValues(const GovernorSettings& settings, const Sources& sources,
                 const std::array<std::uint32_t, std::size(knownKeys)>& raw, Findings& out)
{
    // With Enabled=0 the plug-in reads nothing after it.
    const std::size_t keysRead = settings.enabled ? std::size(knownKeys) : placeOf(enabledKey) + 1;
    for (std::size_t i = 0; i < keysRead; ++i) {
        if (const auto found = sources.line.find(knownKeys[i].key); found != sources.line.end()) {
            checkValue(knownKeys[i], *found->second, raw[i], out);
        }
    }
    checkEnabled(sources, out);
    if (settings.enabled) {
        const Effects effects{settings, sources, out};
        effects.thresholds();
        effects.range(raw[placeOf(detectionRangeKey)]);
        checkRecord(sources, raw[placeOf(recordKey)], out);
    }
}

std::string thresholdsWarning(std::int32_t fpsModerate, std::int32_t fpsCritical)
{
    GovernorSettings settings;
    settings.fpsModerate = fpsModerate;
    settings.fpsCritical = fpsCritical;
    std::vector<Finding> list;
    Findings findings{list};
    const Sources nowhere;
    Effects{settings, nowhere, findings}.thresholds();
    const auto warning = std::find_if(list.begin(), list.end(), [](const Finding& f) {
        return f.level == FindingLevel::Warning;
    });
    return warning == list.end() ? std::string() : warning->message;
}

bool thresholdsDrawAWarning(std::int32_t fpsModerate, std::int32_t fpsCritical)
{
    return !thresholdsWarning(fpsModerate, fpsCritical).empty();
}

} // namespace sim
