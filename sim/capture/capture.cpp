// A little over the house's length: the reading contract's one entry, live and read ahead, kept
// whole so that both paths are read side by side.
// replayCapture: recognition, then the reader of the capture's family, then what the replay as a
// whole must have had.
#include "sim/capture/capture.h"

#include "sim/ascii.h"
#include "sim/capture/csv.h"
#include "sim/capture/formats.h"
#include "sim/capture/frame_record.h"
#include "sim/files.h"
#include "sim/handoff.h"
#include "sim/text.h"

#include <fmt/format.h>

#include <algorithm>
#include <exception>
#include <optional>
#include <thread>
#include <utility>

namespace sim {
namespace {

std::string whyNoneUsable(const CaptureSummary& summary, std::uint64_t nonPositive)
{
    const std::string& app = summary.application;
    if (nonPositive > 0) {
        return "all " + std::to_string(nonPositive) + " frame times of " + app +
               " are zero or negative";
    }
    if (summary.skippedCells > 0) {
        return "all " + std::to_string(summary.skippedCells) + " frame-time cells of " + app +
               " are NA or empty";
    }
    return "the capture holds no frames of " + app;
}

std::string withCut(const std::string& why, const CaptureSummary& summary)
{
    const std::string cut = cutShortText(summary);
    return cut.empty() ? why : why + "; " + cut;
}

void readFamily(const std::filesystem::path& path, const Recognised& recognised,
                const CaptureOptions& options, const FrameSink& onFrame, CaptureSummary& summary)
{
    if (recognised.format == CaptureFormat::MangoHud) {
        summary.system = mangoHudSystem(path);
    }
    switch (recognised.format) {
    case CaptureFormat::PresentMon:
    case CaptureFormat::MangoHud:
        return readTable(path, recognised, options, onFrame, summary);
    case CaptureFormat::PlainText: {
        LineReader reader(path);
        return readPlainText(reader, path, options, onFrame, summary);
    }
    case CaptureFormat::CapFrameX:
        return readCapFrameX(path, options, onFrame, summary);
    case CaptureFormat::TarnwickRecord: {
        LineReader reader(path);
        return readFrameRecord(reader, path, options, onFrame, summary, options.record);
    }
    }
}

} // namespace

void reportProgress(const CaptureOptions& options, std::uint64_t bytesRead, std::uint64_t size)
{
    if (options.progress) {
        options.progress(static_cast<double>(bytesRead) /
                         static_cast<double>(std::max<std::uint64_t>(size, 1)));
    }
}

namespace {

struct FrameBatch {
    std::vector<double> frames;
    bool restart = false; // forget every frame given so far, then go on
};
using FrameQueue = Handoff<FrameBatch>;
constexpr std::size_t batchFrames = 4096;

// The reading side: batches the frames and says when to start again; throws ReadingStopped once
// the replaying side gave up.
struct ReadingStopped {};

struct Batcher {
    FrameQueue& queue;
    FrameBatch batch;
    void send(FrameBatch&& next)
    {
        if (!queue.push(std::move(next))) {
            throw ReadingStopped{};
        }
    }
    void add(double ms)
    {
        batch.frames.push_back(ms);
        if (batch.frames.size() == batchFrames) {
            send(std::exchange(batch, FrameBatch{}));
        }
    }
    void restart()
    {
        batch.frames.clear(); // to be forgotten anyway
        send(FrameBatch{{}, true});
    }
    void finish() { send(std::exchange(batch, FrameBatch{})); }
};

struct Counts {
    std::uint64_t usable = 0;
    std::uint64_t nonPositive = 0;
    double totalMs = 0;

    // Returns the frame time to replay.
    double add(const std::filesystem::path& path, double ms)
    {
        if (ms > 0 && ms < minFrameTimeMs) {
            ms = 0;
        }
        ++(ms > 0 ? usable : nonPositive);
        totalMs += ms > 0 ? ms : 0;
        if (totalMs > maxCaptureMs) {
            failCapture(path, 0,
                        "the frame times add up to more than " +
                            std::to_string(static_cast<int>(maxCaptureMs / 3600000.0)) +
                            " hours: not a capture");
        }
        return ms;
    }
};

void readInto(FrameQueue& queue, const std::filesystem::path& path, const Recognised& recognised,
              const CaptureOptions& options, CaptureSummary& summary, Counts& counts)
{
    Batcher batcher{queue, {}};
    const FrameSink counting = [&](double ms) { batcher.add(counts.add(path, ms)); };
    CaptureOptions counted = options;
    if (options.restart) {
        counted.restart = [&] {
            counts = Counts{};
            batcher.restart();
        };
    }
    try {
        readFamily(path, recognised, counted, counting, summary);
    } catch (const ReadingStopped&) {
        throw;
    } catch (...) {
        batcher.finish(); // the frames before the fault are replayed, then it is told
        throw;
    }
    batcher.finish();
}

void replayBatches(FrameQueue& queue, const CaptureOptions& options,
                   const std::function<void(double)>& onFrame)
{
    while (std::optional<FrameBatch> batch = queue.pop()) {
        if (batch->restart) {
            options.restart();
        }
        for (const double ms : batch->frames) {
            onFrame(ms);
        }
    }
}

} // namespace

namespace {

void refuseRunOutsideCapFrameX(const std::filesystem::path& path, const CaptureOptions& options,
                               const Recognised& recognised)
{
    if (options.run && recognised.format != CaptureFormat::CapFrameX) {
        throw CaptureError(Failure{FailureKind::BadOption, path, 0,
                                   std::string("--run picks a run of a CapFrameX JSON capture; "
                                               "this is ") +
                                       captureFormatName(recognised.format) + ", which holds one"});
    }
}

// What the replay as a whole must have had.
CaptureSummary finish(const std::filesystem::path& path, const CaptureOptions& options,
                      CaptureSummary& summary, const Counts& counts)
{
    if (options.application && !equalsIgnoringCase(*options.application, summary.application)) {
        failApplicationMissing(path, *options.application, summary.applications);
    }
    summary.nonPositiveFrameTimes = counts.nonPositive;
    if (counts.usable == 0) {
        failCapture(path, 0,
                    "no usable frame time: " +
                        withCut(whyNoneUsable(summary, counts.nonPositive), summary));
    }
    return summary;
}

// Input that cannot be read twice, read once as it comes, on this thread: each frame is replayed
// as soon as its line is read, and the end of the input (or Ctrl+C) ends the replay.
CaptureSummary replayLive(const std::filesystem::path& path, const CaptureOptions& options,
                          const std::function<void(double)>& onFrame)
{
    LineReader reader(path);
    reader.holdFromStart();
    const Recognised recognised = recognise(reader, path);
    reader.rewind();
    refuseRunOutsideCapFrameX(path, options, recognised);
    if (recognised.format == CaptureFormat::CapFrameX) {
        failCapture(path, 0,
                    "CapFrameX JSON is read from a file, not as it comes: save the capture, then "
                    "replay the file");
    }
    CaptureSummary summary;
    summary.format = recognised.format;
    Counts counts;
    const FrameSink counting = [&](double ms) { onFrame(counts.add(path, ms)); };
    if (recognised.format == CaptureFormat::PlainText) {
        readPlainText(reader, path, options, counting, summary);
    } else if (recognised.format == CaptureFormat::TarnwickRecord) {
        readFrameRecord(reader, path, options, counting, summary);
    } else {
        readTableLive(reader, path, recognised, options, counting, summary);
    }
    if (inputsWereEnded()) {
        summary.stoppedAtMs = counts.totalMs;
    }
    return finish(path, options, summary, counts);
}

} // namespace

std::string whyNotACapture(const std::filesystem::path& path)
{
    try {
        recognise(path);
    } catch (const CaptureError& error) {
        return failureText(error.failure);
    }
    return {};
}

bool isLiveInput(const std::filesystem::path& path)
{
    std::error_code error;
    return isStandardInput(path) || std::filesystem::is_fifo(path, error) ||
           std::filesystem::is_character_file(path, error);
}

namespace {

// Reading a capture and replaying it take about as long each: one thread reads ahead while this
// one replays.
CaptureSummary replayThrowing(const std::filesystem::path& path, const CaptureOptions& options,
                              const std::function<void(double)>& onFrame)
{
    if (isLiveInput(path)) {
        return replayLive(path, options, onFrame);
    }
    const Recognised recognised =
        options.format ? locateHeader(path, *options.format) : recognise(path);
    refuseRunOutsideCapFrameX(path, options, recognised);
    CaptureSummary summary;
    summary.format = recognised.format;
    Counts counts;
    FrameQueue queue;
    std::exception_ptr readFailure;
    std::thread reader([&] {
        try {
            readInto(queue, path, recognised, options, summary, counts);
        } catch (...) {
            readFailure = std::current_exception();
        }
        queue.close();
    });
    try {
        replayBatches(queue, options, onFrame);
    } catch (...) {
        queue.cancel();
        reader.join();
        throw;
    }
    reader.join();
    if (readFailure) {
        std::rethrow_exception(readFailure);
    }
    return finish(path, options, summary, counts);
}

} // namespace

Result<CaptureSummary> replayCapture(const std::filesystem::path& path,
                                     const CaptureOptions& options,
                                     const std::function<void(double)>& onFrame)
{
    try {
        return replayThrowing(path, options, onFrame);
    } catch (const CaptureError& error) {
        return error.failure;
    }
}

} // namespace sim
