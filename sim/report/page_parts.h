// The report page's parts, each written through the page's writer (html.h).
#pragma once

#include "sim/report/frame_times.h"
#include "sim/report/html.h"
#include "sim/report/page.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sim::page {

// What the page says of one capture that was read, worked out once for its section and the
// table that sets the captures side by side.
struct CaptureView {
    const PageCapture* capture = nullptr;
    const TunedCapture* part = nullptr;
    std::vector<Hitch> hitches;
    std::size_t playHitches = 0;   // of them, outside what is set aside
    std::uint64_t hitchPurges = 0; // hitches with a purge of the player's pair at once
    SlumpScore hitchPurgesScored;  // those purges, each once, against the slumps
    // The pair the verdict recommends for this capture, run over it: the joint one, or the
    // capture's own where each game gets its own answer; none without a recommendation.
    const CellResult* recommended = nullptr;
    FrameTimeView frames;
};

// One scale for every capture's charts, so that they compare at a glance.
struct Scales {
    FrameTimeScale frameTimes;
    double maxFps = 0;
};

// A page of a thousand captures, each with its charts, is tens of megabytes no one reads: the
// first ones are shown in full, every one in the table of captures (one row each past a few).
inline constexpr std::size_t capturesInFull = 8;
inline constexpr std::size_t capturesSideBySide = 4; // more: one row each

// Each capture read, its charts drawn only for the first capturesInFull.
std::vector<CaptureView> viewCaptures(const ReportPage& page);
Scales commonScales(const std::vector<CaptureView>& views);

// in: pair, run alone over one capture, its purges scored against that capture's slumps.
std::string purgesOn(const CellResult& pair);
// "2 min", "15 s"
std::string minutes(double ms);
// A sentence of the text's as the page starts one.
std::string upperFirst(std::string text);

// The captures side by side, or one row each past capturesSideBySide; nothing for fewer than
// two. in: recommended, whether there is a recommendation to set beside the player's pair.
void comparison(html::Writer& page, const std::vector<CaptureView>& views, bool recommended);
void captureSection(html::Writer& page, const CaptureView& view, const Scales& scales);
// A capture that could not be read, with why.
void unreadCapture(html::Writer& page, const PageCapture& capture);

} // namespace sim::page
