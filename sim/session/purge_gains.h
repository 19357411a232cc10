// What each purge gained, measured on a record of the game's own frames: the frame rate over the
// seconds before and after it, the vehicles it took, and a yardstick for slumps that end on their
// own. Computed once here; the report only renders it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// The seconds looked at on either side of a purge.
inline constexpr double gainWindowMs = 2000;
// Moments for the yardstick are taken this often along the record.
inline constexpr double yardstickStepMs = 500;
// Fewer purges that ran, each with its windows whole, are too few to tell what a purge gains.
inline constexpr std::size_t purgesToTell = 5;
// Without a purge to go by, how long a record to ask for.
inline constexpr int minutesToRecordWithoutPurges = 20;

struct GainPurge {
    double timeMs = 0; // the record's clock at the end of the purge's frame
    int taken = 0;
    bool withheld = false; // Record=2: due, not run
};

struct PurgeGain {
    double timeMs = 0;
    int taken = 0;
    bool withheld = false;
    double fpsBefore = 0; // frames over the frame times of the window before
    double fpsAfter = 0;
    double msBefore = 0; // the mean frame time of each window
    double msAfter = 0;
    double gainFps() const { return fpsAfter - fpsBefore; }
};

// Where the yardstick came from: purges Record=2 withheld (the same moments, untouched), or
// moments as low as the purges' with no purge near them.
enum class Yardstick { None, WithheldPurges, LowMoments };

struct PurgeGains {
    std::vector<PurgeGain> purges; // each with a whole window on both sides, in order
    std::size_t ran = 0;           // of them, purges that ran
    double meanTaken = 0;          // over those that ran
    double meanGainFps = 0;
    std::optional<double> msPerVehicle; // frame time a vehicle taken cost; none: none taken
    Yardstick yardstick = Yardstick::None;
    std::size_t yardstickMoments = 0;
    double naturalGainFps = 0; // the yardstick's mean rise over the same window
    // The purges' rise beyond the yardstick's; none without purges that ran or a yardstick.
    std::optional<double> netGainFps;
    double recordMs = 0; // the record's length, its frame times added up
    // Fewer than purgesToTell ran: the minutes more to record at the record's pace of purges
    // (minutesToRecordWithoutPurges when none ran); none when there were enough.
    std::optional<int> minutesMoreToRecord;
};

// in: frameTimesMs, each frame as read (not positive: no time); purges, in order.
PurgeGains measurePurgeGains(const std::vector<double>& frameTimesMs,
                             const std::vector<GainPurge>& purges);

// At the pace ran purges went over recordMs, the minutes until purgesToTell are measured, given
// measured of them now (minutesToRecordWithoutPurges when none ran).
int minutesMoreToRecord(std::size_t measured, std::size_t ran, double recordMs);

// "record about 12 more minutes of play in which the game slows down: 2 purges are too few to
// tell what a purge gains"; empty when there were enough.
std::string recordLongerSentence(const PurgeGains& gains);

// "the 14 purges took 38 vehicles each on average and lifted the frame rate by 9.0 fps within
// 2 s (moments as low with no purge: +1.2 fps); about 0.12 ms of frame time per vehicle".
std::string gainsSentence(const PurgeGains& gains);

} // namespace sim
