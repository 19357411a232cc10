// The purge gains of a frame record as text, JSON and a page section.
#include "sim/report/gains_report.h"

#include "sim/files.h"
#include "sim/report/page_parts.h"
#include "sim/text.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <string_view>

namespace sim {

namespace {

const char* yardstickName(Yardstick yardstick)
{
    switch (yardstick) {
    case Yardstick::WithheldPurges:
        return "withheldPurges";
    case Yardstick::LowMoments:
        return "lowMoments";
    case Yardstick::None:
        break;
    }
    return "none";
}

std::string takenText(const PurgeGain& gain)
{
    return gain.withheld ? std::string("withheld") : fmt::format("took {}", gain.taken);
}

} // namespace

namespace {

// The frames keeps keeps (one run of them: the part played) and the purges among them, on a clock
// that starts with the first of them.
struct RecordPart {
    std::vector<double> frameTimesMs;
    std::vector<GainPurge> purges;
    std::vector<double> keptVehicles; // each count's ambient vehicles within the range
};

RecordPart partOf(const FrameRecordFile& record, const KeepsFrame& keeps)
{
    std::size_t first = 0;
    std::size_t end = record.frameTimesMs.size();
    double skippedMs = 0;
    if (keeps) {
        bool started = false;
        for (std::size_t i = 0; i < record.frameTimesMs.size(); ++i) {
            const double ms = record.frameTimesMs[i];
            if (keeps(ms)) {
                first = started ? first : i;
                end = i + 1;
                started = true;
            } else if (!started) {
                skippedMs += std::max(0.0, ms);
            }
        }
        if (!started) {
            first = end = 0;
        }
    }
    RecordPart part;
    const auto at = [&](std::size_t i) {
        return record.frameTimesMs.begin() + static_cast<std::ptrdiff_t>(i);
    };
    part.frameTimesMs.assign(at(first), at(end));
    for (const RecordedPurge& p : record.purges) {
        // p.frame counts the frames up to and including the purge's.
        if (p.frame > first && p.frame <= end) {
            part.purges.push_back({p.timeMs - skippedMs, p.taken, p.withheld});
        }
    }
    for (const RecordedCount& c : record.counts) {
        if (c.frame > first && c.frame <= end) {
            part.keptVehicles.push_back(c.nearby);
        }
    }
    return part;
}

// The header's cell that starts with key, without the key; empty when none does.
std::string_view headerCell(std::string_view header, std::string_view key)
{
    while (!header.empty()) {
        const std::size_t comma = std::min(header.find(','), header.size());
        std::string_view cell = header.substr(0, comma);
        if (cell.ends_with('\r')) {
            cell.remove_suffix(1);
        }
        if (cell.starts_with(key)) {
            return cell.substr(key.size());
        }
        header.remove_prefix(std::min(comma + 1, header.size()));
    }
    return {};
}

// The rows say what happened: purges run mean the governor purged, purges withheld that it was
// told not to, whatever the header's Record= says. Where they disagree, the sentence says so.
int modeOfRows(const FrameRecordFile& record, std::string& disagreement)
{
    const auto withheld =
        static_cast<std::size_t>(std::count_if(record.purges.begin(), record.purges.end(),
                                               [](const RecordedPurge& p) { return p.withheld; }));
    const std::size_t ran = record.purges.size() - withheld;
    if (ran == 0 && withheld == 0) {
        return record.recordMode;
    }
    if (ran > 0 && withheld > 0) {
        disagreement = fmt::format(
            "its rows hold {} purge{} run and {} withheld, which no one evening of the plug-in "
            "writes: judged by its header's Record={}",
            countText(ran), ran == 1 ? "" : "s", countText(withheld), record.recordMode);
        return record.recordMode;
    }
    const int rows = ran > 0 ? 1 : 2;
    if (rows != record.recordMode) {
        disagreement = fmt::format(
            "its header says Record={} but its rows hold {} purge{} {}: judged by its rows, as "
            "made with Record={}",
            record.recordMode, countText(ran > 0 ? ran : withheld),
            (ran > 0 ? ran : withheld) == 1 ? "" : "s", ran > 0 ? "run" : "withheld", rows);
    }
    return rows;
}

} // namespace

PurgeGains gainsOfRecord(const FrameRecordFile& record, const KeepsFrame& keeps)
{
    const RecordPart part = partOf(record, keeps);
    return measurePurgeGains(part.frameTimesMs, part.purges);
}

RecordFacts recordFacts(const FrameRecordFile& read, const KeepsFrame& keeps)
{
    const FrameRecordFile* const record = &read;
    RecordPart part = partOf(*record, keeps);
    std::string disagreement;
    const int mode = modeOfRows(*record, disagreement);
    RecordFacts facts{mode, record->fpsModerate, record->fpsCritical,
                      measurePurgeGains(part.frameTimesMs, part.purges), part.purges.size()};
    facts.withheld = static_cast<std::size_t>(std::count_if(
        part.purges.begin(), part.purges.end(), [](const GainPurge& p) { return p.withheld; }));
    facts.headerAgainstRows = std::move(disagreement);
    const std::string_view header = record->header;
    const std::string_view range = headerCell(header, "DetectionRange=");
    double value = 0;
    if (const auto [end, error] = std::from_chars(range.data(), range.data() + range.size(), value);
        error == std::errc() && end == range.data() + range.size() && !range.empty()) {
        facts.detectionRange = value;
    }
    facts.made = fmt::format("{}, build {}", playerText(headerCell(header, "version ")),
                             playerText(headerCell(header, "build ")));
    if (std::vector<double>& kept = part.keptVehicles; !kept.empty()) {
        const auto middle = kept.begin() + static_cast<std::ptrdiff_t>(kept.size() / 2);
        std::nth_element(kept.begin(), middle, kept.end());
        facts.keptVehicles = *middle;
    }
    return facts;
}

std::string recordedAtSentence(const RecordFacts& record, const GovernorSettings& settings,
                               std::string_view verb)
{
    if (record.fpsModerate == settings.fpsModerate && record.fpsCritical == settings.fpsCritical) {
        return {};
    }
    return fmt::format("recorded at FPS_Moderate {:g}, FPS_Critical {:g}, {} at {}, {}: the "
                       "record's own purges, and what they gained, are those of {:g}, {:g}",
                       record.fpsModerate, record.fpsCritical, verb, settings.fpsModerate,
                       settings.fpsCritical, record.fpsModerate, record.fpsCritical);
}

void printPurgeGains(std::ostream& out, const PurgeGains& gains)
{
    fmt::print(out, "what each purge gained (the frame record, {:g} s before and after):\n",
               gainWindowMs / 1000.0);
    for (std::size_t i = 0; i < gains.purges.size() && i < listedGains; ++i) {
        const PurgeGain& g = gains.purges[i];
        fmt::print(out, "  {:10.3f} s  {:<9} {:6.1f} -> {:6.1f} fps ({:+.1f})\n", g.timeMs / 1000.0,
                   takenText(g), g.fpsBefore, g.fpsAfter, g.gainFps());
    }
    if (gains.purges.size() > listedGains) {
        fmt::print(out, "  ... and {} more: --json lists them all\n",
                   gains.purges.size() - listedGains);
    }
    fmt::print(out, "  {}\n", gainsSentence(gains));
    if (const std::string longer = recordLongerSentence(gains); !longer.empty()) {
        fmt::print(out, "  {}\n", longer);
    }
}

nlohmann::json purgeGainsJson(const PurgeGains& gains)
{
    nlohmann::json list = nlohmann::json::array();
    for (const PurgeGain& g : gains.purges) {
        list.push_back({{"timeMs", g.timeMs},
                        {"taken", g.taken},
                        {"withheld", g.withheld},
                        {"fpsBefore", g.fpsBefore},
                        {"fpsAfter", g.fpsAfter},
                        {"gainFps", g.gainFps()}});
    }
    const auto orNull = [](const std::optional<double>& v) {
        return v ? nlohmann::json(*v) : nlohmann::json(nullptr);
    };
    return {{"windowMs", gainWindowMs},
            {"purges", list},
            {"ran", gains.ran},
            {"meanTaken", gains.meanTaken},
            {"meanGainFps", gains.meanGainFps},
            {"msPerVehicle", orNull(gains.msPerVehicle)},
            {"yardstick", yardstickName(gains.yardstick)},
            {"yardstickMoments", gains.yardstickMoments},
            {"naturalGainFps", gains.naturalGainFps},
            {"netGainFps", orNull(gains.netGainFps)},
            {"recordMs", gains.recordMs},
            {"minutesMoreToRecord", gains.minutesMoreToRecord
                                        ? nlohmann::json(*gains.minutesMoreToRecord)
                                        : nlohmann::json(nullptr)},
            {"sentence", gainsSentence(gains)},
            {"recordLonger", recordLongerSentence(gains)}};
}

void purgeGainsSection(html::Writer& page, const PurgeGains& gains)
{
    page.put("<h3>What each purge gained</h3>\n<p>{}.", page::upperFirst(gainsSentence(gains)));
    if (const std::string longer = recordLongerSentence(gains); !longer.empty()) {
        page.put(" {}.", page::upperFirst(longer));
    }
    page.put("</p>\n");
    if (gains.purges.empty()) {
        return;
    }
    page.put("<div class='wide'><table class='figures numbers'><tr><th scope='col'>at</th>"
             "<th scope='col'>vehicles</th><th scope='col'>fps {:g} s before</th>"
             "<th scope='col'>after</th><th scope='col'>gain</th></tr>\n",
             gainWindowMs / 1000.0);
    for (std::size_t i = 0; i < gains.purges.size() && i < listedGains; ++i) {
        const PurgeGain& g = gains.purges[i];
        page.put("<tr><td>{:.1f} s</td><td>{}</td><td>{:.1f}</td><td>{:.1f}</td><td>{:+.1f}</td>"
                 "</tr>\n",
                 g.timeMs / 1000.0, takenText(g), g.fpsBefore, g.fpsAfter, g.gainFps());
    }
    page.put("</table></div>\n");
    if (gains.purges.size() > listedGains) {
        page.put("<p>And {} more purges.</p>\n", gains.purges.size() - listedGains);
    }
}

} // namespace sim
