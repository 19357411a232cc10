// The purge gains of a frame record as text, JSON and a page section.
#include "sim/report/gains_report.h"

#include "sim/files.h"
#include "sim/report/page_parts.h"

#include <fmt/format.h>

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

PurgeGains gainsOfRecord(const FrameRecordFile& record)
{
    std::vector<GainPurge> purges;
    purges.reserve(record.purges.size());
    for (const RecordedPurge& p : record.purges) {
        purges.push_back({p.timeMs, p.taken, p.withheld});
    }
    return measurePurgeGains(record.frameTimesMs, purges);
}

std::optional<PurgeGains> recordGains(const std::filesystem::path& capture,
                                      const CaptureSummary& summary)
{
    if (summary.format != CaptureFormat::TarnwickRecord || isLiveInput(capture)) {
        return std::nullopt;
    }
    const Result<FrameRecordFile> record = loadFrameRecord(capture);
    if (!record) {
        return std::nullopt; // the replay read it: only a file changed since fails here
    }
    return gainsOfRecord(*record);
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
    page.put("<table><tr><th>at</th><th>vehicles</th><th>fps {:g} s before</th><th>after</th>"
             "<th>gain</th></tr>\n",
             gainWindowMs / 1000.0);
    for (std::size_t i = 0; i < gains.purges.size() && i < listedGains; ++i) {
        const PurgeGain& g = gains.purges[i];
        page.put("<tr><td>{:.1f} s</td><td>{}</td><td>{:.1f}</td><td>{:.1f}</td><td>{:+.1f}</td>"
                 "</tr>\n",
                 g.timeMs / 1000.0, takenText(g), g.fpsBefore, g.fpsAfter, g.gainFps());
    }
    page.put("</table>\n");
    if (gains.purges.size() > listedGains) {
        page.put("<p>And {} more purges.</p>\n", gains.purges.size() - listedGains);
    }
}

} // namespace sim
