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
    if (page.verdict && page.verdict->answer == Answer::EachGame) {
        for (const TuneReport::Game& game : page.tune->perGame) {
            const auto at = std::find(game.captures.begin(), game.captures.end(), tuned);
            if (at != game.captures.end()) {
                return game.result.recommended
                           ? &game.result
                                  .captures[static_cast<std::size_t>(at - game.captures.begin())]
                                  .recommended
                           : nullptr;
            }
        }
        return nullptr;
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
            std::size_t cursor = 0;
            view.playHitches = static_cast<std::size_t>(
                std::count_if(view.hitches.begin(), view.hitches.end(), [&](const Hitch& h) {
                    return !endsSetAside(view.part->slumps.asideSpans, cursor, h.endMs);
                }));
            const std::vector<double>& purges = view.part->current.purgeTimesMs;
            view.hitchPurges = hitchesWithPurge(view.hitches, *capture.frames, purges);
            view.hitchPurgesScored = scorePurges(
                view.part->slumps, purgesAtHitches(view.hitches, *capture.frames, purges));
            if (views.size() <= capturesInFull) {
                view.frames = viewFrameTimes(*capture.frames, capture.facts.frameTimes,
                                             view.hitches, view.part->durationMs);
            }
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
                                 chartMaxFps(*view.capture->replay, &view.part->slumps.asideSpans));
    }
    return scales;
}

namespace {

// One figure of a capture, as both layouts of the table show it.
struct Figure {
    const char* name;
    std::function<html::Markup(const CaptureView&)> cell;
};

std::vector<Figure> figuresOf(bool recommended)
{
    const auto fps = [](double value) { return html::format("{:.1f}", value); };
    const auto purges = [](const CellResult& pair) {
        return html::format("{} ({} in slumps, {} outside)", pair.purges, pair.slumps.inSlumps,
                            pair.slumps.outside);
    };
    std::vector<Figure> figures = {
        {"length",
         [](const CaptureView& v) {
             return html::format("{}", formatSeconds(v.part->durationMs));
         }},
        {"set aside (left out of the figures below)",
         [](const CaptureView& v) {
             const PlayFigures& play = v.part->play;
             return play.setAsideStretches == 0
                        ? html::format("-")
                        : html::format("{} stretch{}, {:.0f} s", countText(play.setAsideStretches),
                                       play.setAsideStretches == 1 ? "" : "es",
                                       play.setAsideMs / 1000.0);
         }},
        {"mean fps", [=](const CaptureView& v) { return fps(v.part->play.meanFps()); }},
        {"P1 low fps",
         [=](const CaptureView& v) { return fps(lowFps(v.part->play.frameTimes, 0.01)); }},
        {"P0.1 low fps",
         [=](const CaptureView& v) { return fps(lowFps(v.part->play.frameTimes, 0.001)); }},
        {"average 1% low fps",
         [=](const CaptureView& v) { return fps(averageLowFps(v.part->play.frameTimes, 0.01)); }},
        {"average 0.1% low fps",
         [=](const CaptureView& v) { return fps(averageLowFps(v.part->play.frameTimes, 0.001)); }},
        {"hitches",
         [](const CaptureView& v) { return html::format("{}", countText(v.playHitches)); }},
        {"slumps",
         [](const CaptureView& v) { return html::format("{}", v.part->slumps.slumps.size()); }},
        {"purges, yours", [=](const CaptureView& v) { return purges(v.part->current); }}};
    if (recommended) {
        figures.push_back({"purges, recommended", [=](const CaptureView& v) {
                               return v.recommended != nullptr ? purges(*v.recommended)
                                                               : html::format("-");
                           }});
    }
    return figures;
}

} // namespace

void comparison(html::Writer& page, const std::vector<CaptureView>& views, bool recommended)
{
    if (views.size() < 2) {
        return;
    }
    const std::vector<Figure> figures = figuresOf(recommended);
    const bool rows = views.size() > capturesSideBySide;
    page.put("<h2>The captures {}</h2>\n<div class='wide'><p class='scrolls'>Swipe the table "
             "sideways to see all of it.</p>\n<table class='figures'>\n<tr><th></th>",
             rows ? "one row each" : "side by side");
    const auto label = [](const CaptureView& v) {
        return shown(captureLabel(v.capture->facts, false));
    };
    if (rows) {
        for (const Figure& figure : figures) {
            page.put("<th scope='col'>{}</th>", figure.name);
        }
        page.put("</tr>\n");
        for (const CaptureView& view : views) {
            page.put("<tr><th scope='row'>{}</th>", label(view));
            for (const Figure& figure : figures) {
                page.put("<td>{}</td>", figure.cell(view));
            }
            page.put("</tr>\n");
        }
    } else {
        for (const CaptureView& view : views) {
            page.put("<th scope='col'>{}</th>", label(view));
        }
        page.put("</tr>\n");
        for (const Figure& figure : figures) {
            page.put("<tr><th scope='row'>{}</th>", figure.name);
            for (const CaptureView& view : views) {
                page.put("<td>{}</td>", figure.cell(view));
            }
            page.put("</tr>\n");
        }
    }
    page.put("</table></div>\n<p class='small'>P1 and P0.1: 1000 over the 99th and 99.9th "
             "percentile frame time; average lows: the frame rate of the mean of the slowest "
             "frames. Each capture's charts below share one scale: the same time and frame-rate "
             "axes for all.{}</p>\n",
             views.size() > capturesInFull
                 ? html::format(" The first {} captures are shown in full below; the other {} "
                                "are in this table only, so that the page stays short enough "
                                "to read.",
                                capturesInFull, countText(views.size() - capturesInFull))
                 : html::format(""));
}

} // namespace sim::page
