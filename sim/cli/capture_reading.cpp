#include "sim/cli/capture_reading.h"

#include "sim/capture/capture.h"
#include "sim/capture/frame_record.h"
#include "sim/cli/console.h"
#include "sim/cli/output.h"
#include "sim/cli/played_part.h"
#include "sim/files.h"
#include "sim/report/gains_report.h"

namespace sim {

std::vector<CaptureChoice> choicesOf(const std::filesystem::path& capture,
                                     const CaptureChoice& choice)
{
    const std::size_t runs = choice.run ? 0 : capFrameXRunCount(capture);
    if (runs < 2) {
        return {choice};
    }
    std::vector<CaptureChoice> choices(runs, choice);
    for (std::size_t run = 0; run < runs; ++run) {
        choices[run].run = run;
    }
    return choices;
}

namespace {

CaptureOptions captureOptionsOf(const CaptureChoice& choice)
{
    CaptureOptions options;
    options.application = choice.application;
    options.run = choice.run;
    options.gamePrograms = choice.gamePrograms;
    return options;
}

// What the one read of a frame record says of how it was made and what its purges gained.
void addRecordFacts(CaptureFacts& facts, const FrameRecordFile& record, const CaptureChoice& choice)
{
    facts.record = recordFacts(record, keepsPlayed(choice));
    if (!facts.record->headerAgainstRows.empty()) {
        facts.summary.rules.push_back(facts.record->headerAgainstRows);
    }
}

} // namespace

Result<CaptureReading> readCapture(const std::filesystem::path& capture,
                                   const CaptureChoice& choice, const ReadingAsks& asks)
{
    CaptureReading reading;
    reading.facts.capture = capture;
    const auto freshFrames = [&] {
        if (asks.keepFrames) {
            reading.frames = std::make_unique<TuneFrames>();
            reading.frames->clock.uptimeMs = asks.session.uptimeMs;
        }
    };
    freshFrames();
    // One plug-in at a time: the old session ends before a new one loads.
    const auto openSession = [&]() -> Result<Done> {
        reading.session.reset();
        Result<std::unique_ptr<Session>> opened = Session::open(asks.session);
        if (!opened) {
            return opened.failure();
        }
        reading.session = std::move(*opened);
        return Done{};
    };
    if (asks.replay) {
        if (Result<Done> opened = openSession(); !opened) {
            return opened.failure();
        }
    }
    PlayedPart played(choice);
    Result<Done> restarted = Done{};
    CaptureOptions options = captureOptionsOf(choice);
    // Input read as it comes keeps no frames for the record's gains: a pipe is replayed live.
    FrameRecordFile record;
    if (!isLiveInput(capture)) {
        options.record = &record;
    }
    const std::string what = asks.verb + " " + shownPath(capture.filename());
    options.progress = [&what](double fraction) { showProgress(what, fraction); };
    options.restart = [&] {
        played.restart();
        freshFrames();
        reading.facts.frameTimes = FrameTimeCounts{};
        if (asks.replay) {
            restarted = openSession();
        }
        if (asks.restarted) {
            asks.restarted();
        }
    };
    Result<CaptureSummary> read = replayCapture(capture, options, [&](double ms) {
        if (!played.keeps(ms)) {
            return;
        }
        if (reading.frames) {
            addFrame(*reading.frames, ms);
        }
        if (asks.replay) {
            if (!reading.session) {
                return; // it could not start again: told at the end
            }
            reading.session->frame(ms);
            if (asks.eachFrame) {
                asks.eachFrame(*reading.session);
            }
        } else {
            countFrameTime(reading.facts.frameTimes, ms);
        }
    });
    endProgress();
    if (!restarted || !read) {
        return !restarted ? restarted.failure() : read.failure();
    }
    CaptureFacts& facts = reading.facts;
    facts.summary = std::move(*read);
    if (reading.session) {
        // The session counted the same frame times for its lows: counted once, not twice.
        facts.frameTimes = reading.session->result().frameTimes;
    }
    facts.frames = reading.frames ? reading.frames->frameSeconds.size()
                                  : (reading.session ? reading.session->result().frames : 0);
    if (choice.run) {
        facts.run = choice.run;
    }
    if (played.cuts()) {
        if (facts.frames == 0) {
            return noFramePlayed(capture, played);
        }
        facts.summary.rules.push_back(playedPartText(played));
    }
    double usualFps = 0;
    if (reading.frames) {
        finishFrames(*reading.frames, choice.target);
        usualFps = reading.frames->slumps.usualFps;
    } else if (reading.session) {
        reading.slumps = judgeSlumps(reading.session->result().trace, choice.target);
        usualFps = reading.slumps->usualFps;
    }
    if (Result<Done> refused = targetAtUsual(choice, capture, usualFps); !refused) {
        return refused.failure();
    }
    if (facts.summary.format == CaptureFormat::TarnwickRecord && options.record != nullptr) {
        addRecordFacts(facts, record, choice);
    }
    return reading;
}

} // namespace sim
