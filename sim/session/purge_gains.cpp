// The windows are read off the frames' end times with a binary search, so the cost is the
// frames once plus a logarithm per purge and per moment.
#include "sim/session/purge_gains.h"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>

namespace sim {
namespace {

// Each frame's end on the record's clock, which is also the frame times up to and including it.
struct Frames {
    std::vector<double> endMs;
};

Frames framesOf(const std::vector<double>& frameTimesMs)
{
    Frames frames;
    frames.endMs.reserve(frameTimesMs.size());
    double clock = 0;
    for (const double ms : frameTimesMs) {
        clock += ms > 0 ? ms : 0;
        frames.endMs.push_back(clock);
    }
    return frames;
}

struct Window {
    std::size_t frames = 0;
    double ms = 0;
};

// The frames that end in (fromMs, toMs].
Window windowOf(const Frames& frames, double fromMs, double toMs)
{
    const auto& e = frames.endMs;
    const std::size_t first =
        static_cast<std::size_t>(std::upper_bound(e.begin(), e.end(), fromMs) - e.begin());
    const std::size_t last =
        static_cast<std::size_t>(std::upper_bound(e.begin(), e.end(), toMs) - e.begin());
    if (last <= first) {
        return {};
    }
    const double before = first == 0 ? 0.0 : frames.endMs[first - 1];
    return {last - first, frames.endMs[last - 1] - before};
}

// False when either window falls off the record or holds no time.
bool measure(const Frames& frames, double atMs, PurgeGain& gain)
{
    if (frames.endMs.empty() || atMs < gainWindowMs || atMs + gainWindowMs > frames.endMs.back()) {
        return false;
    }
    const Window before = windowOf(frames, atMs - gainWindowMs, atMs);
    const Window after = windowOf(frames, atMs, atMs + gainWindowMs);
    if (before.ms <= 0 || after.ms <= 0) {
        return false;
    }
    gain.fpsBefore = static_cast<double>(before.frames) * 1000.0 / before.ms;
    gain.fpsAfter = static_cast<double>(after.frames) * 1000.0 / after.ms;
    gain.msBefore = before.ms / static_cast<double>(before.frames);
    gain.msAfter = after.ms / static_cast<double>(after.frames);
    return true;
}

bool purgeNear(const std::vector<GainPurge>& purges, double atMs)
{
    return std::any_of(purges.begin(), purges.end(), [atMs](const GainPurge& p) {
        return p.timeMs > atMs - 2 * gainWindowMs && p.timeMs < atMs + 2 * gainWindowMs;
    });
}

// Moments with no purge near them whose frame rate before is as low as the median purge's.
void lowMoments(const Frames& frames, const std::vector<GainPurge>& purges, double lowFps,
                PurgeGains& out)
{
    double sum = 0;
    const double endMs = frames.endMs.empty() ? 0 : frames.endMs.back();
    for (double at = gainWindowMs; at + gainWindowMs <= endMs; at += yardstickStepMs) {
        PurgeGain moment;
        if (purgeNear(purges, at) || !measure(frames, at, moment) || moment.fpsBefore > lowFps) {
            continue;
        }
        sum += moment.gainFps();
        ++out.yardstickMoments;
    }
    if (out.yardstickMoments > 0) {
        out.yardstick = Yardstick::LowMoments;
        out.naturalGainFps = sum / static_cast<double>(out.yardstickMoments);
    }
}

void sumRan(PurgeGains& out)
{
    double taken = 0;
    double gain = 0;
    double msDrop = 0;
    for (const PurgeGain& p : out.purges) {
        if (p.withheld) {
            continue;
        }
        ++out.ran;
        taken += p.taken;
        gain += p.gainFps();
        msDrop += p.msBefore - p.msAfter;
    }
    if (out.ran == 0) {
        return;
    }
    out.meanTaken = taken / static_cast<double>(out.ran);
    out.meanGainFps = gain / static_cast<double>(out.ran);
    if (taken > 0) {
        out.msPerVehicle = msDrop / taken;
    }
}

// At the pace the record purged, how long until purgesToTell would have run.
void minutesMore(const std::vector<GainPurge>& purges, PurgeGains& out)
{
    if (out.ran >= purgesToTell) {
        return;
    }
    const auto ran = static_cast<std::size_t>(std::count_if(
        purges.begin(), purges.end(), [](const GainPurge& p) { return !p.withheld; }));
    out.minutesMoreToRecord = minutesMoreToRecord(out.ran, ran, out.recordMs);
}

} // namespace

int minutesMoreToRecord(std::size_t measured, std::size_t ran, double recordMs)
{
    if (ran == 0 || recordMs <= 0) {
        return minutesToRecordWithoutPurges;
    }
    const double msPerPurge = recordMs / static_cast<double>(ran);
    const double more =
        static_cast<double>(purgesToTell - std::min(measured, purgesToTell)) * msPerPurge / 60000.0;
    return std::max(1, static_cast<int>(std::ceil(more)));
}

PurgeGains measurePurgeGains(const std::vector<double>& frameTimesMs,
                             const std::vector<GainPurge>& purges)
{
    PurgeGains out;
    const Frames frames = framesOf(frameTimesMs);
    std::vector<double> lowBefore;
    double withheldSum = 0;
    std::size_t withheld = 0;
    for (const GainPurge& purge : purges) {
        PurgeGain gain{purge.timeMs, purge.taken, purge.withheld};
        if (!measure(frames, purge.timeMs, gain)) {
            continue;
        }
        out.purges.push_back(gain);
        if (purge.withheld) {
            withheldSum += gain.gainFps();
            ++withheld;
        } else {
            lowBefore.push_back(gain.fpsBefore);
        }
    }
    sumRan(out);
    if (withheld > 0) {
        out.yardstick = Yardstick::WithheldPurges;
        out.yardstickMoments = withheld;
        out.naturalGainFps = withheldSum / static_cast<double>(withheld);
    } else if (!lowBefore.empty()) {
        std::nth_element(lowBefore.begin(),
                         lowBefore.begin() + static_cast<std::ptrdiff_t>(lowBefore.size() / 2),
                         lowBefore.end());
        lowMoments(frames, purges, lowBefore[lowBefore.size() / 2], out);
    }
    if (out.ran > 0 && out.yardstick != Yardstick::None) {
        out.netGainFps = out.meanGainFps - out.naturalGainFps;
    }
    out.recordMs = frames.endMs.empty() ? 0 : frames.endMs.back();
    // An evening of Record=2 withholds every purge by design: it is the yardstick, not too short.
    if (out.yardstick != Yardstick::WithheldPurges || out.ran > 0) {
        minutesMore(purges, out);
    }
    return out;
}

std::string recordLongerSentence(const PurgeGains& gains)
{
    if (!gains.minutesMoreToRecord) {
        return {};
    }
    const std::string few =
        gains.ran == 0 ? std::string("no purge could be measured")
                       : fmt::format("{} purge{} {} too few", gains.ran, gains.ran == 1 ? "" : "s",
                                     gains.ran == 1 ? "is" : "are");
    return fmt::format("record about {} more minute{} of play in which the game slows down (with "
                       "Record=1): {} to tell what a purge gains",
                       *gains.minutesMoreToRecord, *gains.minutesMoreToRecord == 1 ? "" : "s", few);
}

std::string gainsSentence(const PurgeGains& gains)
{
    const double seconds = gainWindowMs / 1000.0;
    if (gains.ran == 0) {
        if (gains.yardstick == Yardstick::WithheldPurges) {
            // Purges at the record's very ends have no frames on one side: not all are measured.
            return fmt::format("{} withheld purges (Record=2) measured: over the {:g} s after them "
                               "the frame rate changed by {:+.1f} fps on its own",
                               gains.yardstickMoments, seconds, gains.naturalGainFps);
        }
        return fmt::format("no purge with {:g} s of frames on either side to measure", seconds);
    }
    // As shown, to one decimal: a rise that rounds to nothing is none.
    const double gain = std::round(gains.meanGainFps * 10) / 10;
    const std::string lift = gain > 0   ? fmt::format("lifted the frame rate by {:.1f} fps", gain)
                             : gain < 0 ? fmt::format("the frame rate fell by {:.1f} fps after {}",
                                                      -gain, gains.ran == 1 ? "it" : "them")
                                        : std::string("did not lift the frame rate");
    std::string text =
        gains.ran == 1
            ? fmt::format("the 1 purge took {:.0f} vehicles and {} within {:g} s", gains.meanTaken,
                          lift, seconds)
            : fmt::format("the {} purges took {:.0f} vehicles each on average and {} within {:g} s",
                          gains.ran, gains.meanTaken, lift, seconds);
    if (gains.yardstick == Yardstick::WithheldPurges) {
        text += fmt::format(" (withheld purges: {:+.1f} fps on their own)", gains.naturalGainFps);
    } else if (gains.yardstick == Yardstick::LowMoments) {
        text += fmt::format(" (moments as low with no purge: {:+.1f} fps on their own)",
                            gains.naturalGainFps);
    } else {
        text += " (no moment as low without a purge to compare with)";
    }
    if (gains.msPerVehicle && std::round(*gains.msPerVehicle * 100) > 0) {
        text += fmt::format("; about {:.2f} ms of frame time per vehicle", *gains.msPerVehicle);
    } else if (gains.msPerVehicle) {
        text += "; no frame time saved by the vehicles taken";
    }
    return text;
}

} // namespace sim
