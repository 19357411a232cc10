// Several captures or runs on one page: their figures worked out once, one scale for all their
// charts, and a table that sets them side by side (a column each, so that it reads on a phone).
#include "sim/report/chart.h"
#include "sim/report/page_parts.h"
#include "sim/report/session_report.h"

#include <algorithm>
#include <functional>

namespace sim::page {

std::string purgesOn(const CellResult& pair)
{
    return fmt::format("{}: {} purge{}, {} in slumps, {} outside any", pairName(pair), pair.purges,
                       pair.purges == 1 ? "" : "s", pair.slumps.inSlumps, pair.slumps.outside);
}

std::string minutes(double ms)
{
    return ms >= 120000 ? fmt::format("{:.0f} min", ms / 60000)
                        : fmt::format("{:.0f} s", ms / 1000);
}

namespace {

const CellResult* recommendedOn(const ReportPage& page, std::size_t tuned)
{
    const std::vector<TuneResult>& own = page.tune->perCapture;
    if (page.verdict && page.verdict->answer == Answer::EachGame && tuned < own.size()) {
        return own[tuned].recommended ? &own[tuned].captures.front().recommended : nullptr;
    }
    return page.verdict && page.verdict->best ? &page.tune->result.captures[tuned].recommended
                                              : nullptr;
}

} // namespace

std::vector<CaptureView> viewCaptures(const ReportPage& page)
{
    std::vector<CaptureView> views;
    if (!page.tune) {
        return views;
    }
    for (const PageCapture& capture : page.captures) {
        if (!capture.replay) {
            continue;
        }
        CaptureView& view = views.emplace_back();
        view.capture = &capture;
        view.part = &page.tune->result.captures[capture.tuned];
        view.recommended = recommendedOn(page, capture.tuned);
        if (capture.frames != nullptr && !capture.frames->frameSeconds.empty()) {
            view.hitches = findHitches(*capture.frames);
            view.hitchPurges =
                hitchesWithPurge(view.hitches, *capture.frames, view.part->current.purgeTimesMs);
            view.frames = viewFrameTimes(*capture.frames, capture.facts.frameTimes, view.hitches,
                                         view.part->durationMs);
        }
    }
    return views;
}

Scales commonScales(const std::vector<CaptureView>& views)
{
    Scales scales;
    for (const CaptureView& view : views) {
        scales.frameTimes.durationMs =
            std::max(scales.frameTimes.durationMs, view.capture->replay->durationMs);
        scales.frameTimes.maxMs = std::max(scales.frameTimes.maxMs, view.frames.wants.maxMs);
        scales.maxFps = std::max(scales.maxFps,
                                 chartMaxFps(*view.capture->replay, &view.part->slumps.setAside));
    }
    return scales;
}

void comparison(html::Writer& page, const std::vector<CaptureView>& views, bool recommended)
{
    if (views.size() < 2) {
        return;
    }
    page.put("<h2>The captures side by side</h2>\n<div class='wide'><table class='figures'>\n"
             "<tr><th></th>");
    for (const CaptureView& view : views) {
        page.put("<th scope='col'>{}</th>", shown(captureLabel(view.capture->facts, false)));
    }
    page.put("</tr>\n");
    const auto line = [&](const char* name,
                          const std::function<html::Markup(const CaptureView&)>& cell) {
        page.put("<tr><th scope='row'>{}</th>", name);
        for (const CaptureView& view : views) {
            page.put("<td>{}</td>", cell(view));
        }
        page.put("</tr>\n");
    };
    const auto fps = [](double value) { return html::format("{:.1f}", value); };
    line("length", [](const CaptureView& v) {
        return html::format("{}", formatSeconds(v.part->durationMs));
    });
    line("mean fps", [&](const CaptureView& v) { return fps(v.capture->replay->meanFps()); });
    line("P1 low fps",
         [&](const CaptureView& v) { return fps(lowFps(v.capture->facts.frameTimes, 0.01)); });
    line("P0.1 low fps",
         [&](const CaptureView& v) { return fps(lowFps(v.capture->facts.frameTimes, 0.001)); });
    line("average 1% low fps", [&](const CaptureView& v) {
        return fps(averageLowFps(v.capture->facts.frameTimes, 0.01));
    });
    line("average 0.1% low fps", [&](const CaptureView& v) {
        return fps(averageLowFps(v.capture->facts.frameTimes, 0.001));
    });
    line("hitches",
         [](const CaptureView& v) { return html::format("{}", countText(v.hitches.size())); });
    line("slumps",
         [](const CaptureView& v) { return html::format("{}", v.part->slumps.slumps.size()); });
    const auto purges = [](const CellResult& pair) {
        return html::format("{} ({} in slumps, {} outside)", pair.purges, pair.slumps.inSlumps,
                            pair.slumps.outside);
    };
    line("purges, yours", [&](const CaptureView& v) { return purges(v.part->current); });
    if (recommended) {
        line("purges, recommended", [&](const CaptureView& v) {
            return v.recommended != nullptr ? purges(*v.recommended) : html::format("-");
        });
    }
    page.put("</table></div>\n<p class='small'>P1 and P0.1: 1000 over the 99th and 99.9th "
             "percentile frame time; average lows: the frame rate of the mean of the slowest "
             "frames. Each capture's charts below share one scale: the same time and frame-rate "
             "axes for all.</p>\n");
}

} // namespace sim::page
