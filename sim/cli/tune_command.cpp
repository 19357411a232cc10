// `tarnwick-sim tune`: which thresholds to set for this game on this machine.
#include "sim/cli/commands.h"
#include "sim/text.h"

#include "sim/capture/capture.h"
#include "sim/check/settings_check.h"
#include "sim/cli/capture_reading.h"
#include "sim/cli/output.h"
#include "sim/cli/settings_source.h"
#include "sim/cli/tuning.h"
#include "sim/files.h"
#include "sim/report/gains_report.h"
#include "sim/report/on_off.h"
#include "sim/report/tune_report.h"
#include "sim/report/verdict.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace sim {

GovernorSettings baseSettings(const std::optional<SettingsCheck>& settings)
{
    if (!settings) {
        return GovernorSettings{};
    }
    const SettingsCheck& check = *settings;
    if (check.settings.enabled) {
        // Record says how the plug-in records, not what a pair does: Record=2 left in the file
        // would judge every pair with its purges withheld.
        GovernorSettings base = check.settings;
        base.record = RecordMode::Off;
        return base;
    }
    // Enabled=0 and the plug-in reads no other key; the question is what each pair would do, so
    // the file's other values count as read.
    GovernorSettings base;
    base.logging = shownValue(check, loggingKey) != 0;
    base.fpsModerate = static_cast<std::int32_t>(shownValue(check, fpsModerateKey));
    base.fpsCritical = static_cast<std::int32_t>(shownValue(check, fpsCriticalKey));
    base.detectionRange = static_cast<float>(shownValue(check, detectionRangeKey));
    return base;
}

void tuneAll(TuneReport& report, const std::vector<const TuneFrames*>& parts,
             const GovernorSettings& base, bool gridFollowsCaptures)
{
    if (gridFollowsCaptures) {
        raiseGridToCaptures(report.moderate, report.critical, parts);
    }
    report.result = tune(parts, base, report.moderate, report.critical);
    report.perGame = tuneEachGame(report.result, applicationsOf(report), parts, base,
                                  report.moderate, report.critical);
}

int tuneCommand(const TuneOptions& options, std::ostream& out, std::ostream& err)
{
    TuneReport report;
    report.moderate = options.moderate;
    report.critical = options.critical;
    report.settingsSource = options.common.settingsSource;
    report.unreadSettings = options.common.unreadSettings;
    std::optional<SettingsCheck> settings;
    if (options.common.ini) {
        Result<SettingsCheck> check = checkSettings(*options.common.ini);
        if (!check) {
            return tellFailure(check.failure(), err);
        }
        settings = std::move(*check);
    }
    const GovernorSettings base = baseSettings(settings);
    if (gridColumns(options.moderate, options.critical).empty()) {
        err << "tarnwick-sim: the grid holds no pair: every FPS_Critical of --critical must "
               "lie "
               "below some FPS_Moderate of --moderate\n";
        return 2;
    }
    stopLiveInputsOnInterrupt(options.captures);
    // Every capture's frames are kept until the recommendation is known: its purges on each are
    // run again for their times.
    std::vector<std::unique_ptr<TuneFrames>> frames;
    std::vector<const TuneFrames*> parts;
    ReadingAsks asks;
    asks.keepFrames = true;
    asks.session.uptimeMs = options.common.uptimeMs;
    for (const std::filesystem::path& capture : options.captures) {
        for (const CaptureChoice& choice : choicesOf(capture, options.choice)) {
            Result<CaptureReading> read = readCapture(capture, choice, asks);
            if (!read) {
                return tellFailure(read.failure(), err);
            }
            report.captures.push_back(std::move(read->facts));
            parts.push_back(read->frames.get());
            frames.push_back(std::move(read->frames));
        }
    }
    tuneAll(report, parts, base, options.gridFollowsCaptures);
    const Verdict verdict = judge(report, settings);
    const std::optional<OnOff> onOff = compareOnOff(report.captures, parts);
    if (options.common.json) {
        nlohmann::json json = tuneJson(report, verdict);
        if (onOff) {
            json["onAgainstOff"] = onOffJson(*onOff);
        }
        out << jsonText(json) << '\n';
    } else {
        printTune(out, report, verdict);
        if (onOff) {
            printOnOff(out, *onOff);
        }
    }
    if (!options.common.svg) {
        return 0;
    }
    const Result<Done> written = writeOutput(
        *options.common.svg, "chart", [&](std::ostream& file) { writeTuneSvg(file, report); },
        options.common.json, out);
    return tellFailures({&written}, err);
}

int tuneFromCommandLine(TuneOptions& options, std::ostream& out, std::ostream& err)
{
    const int status = prepareCaptures(options.common, options.choice, options.captures, err);
    return status != 0 ? status : tuneCommand(options, out, err);
}

} // namespace sim
