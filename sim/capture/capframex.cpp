// Longer than most files here on purpose: one streaming parser's handler, whose states only make
// sense together.
// CapFrameX JSON: runs of frame times under Runs[n].CaptureData.MsBetweenPresents, the
// application's name under Info.ProcessName. Read as a stream of parse events, so a capture of
// millions of frames is never held whole: memory holds the path to the value being read, and the
// longest single string in the file. A file that ends inside its JSON was cut short as it was
// written: the frames before the cut are read. A file of several runs is judged run by run: its
// runs are read in the one pass that counts them and kept (as the tuner keeps every frame anyway),
// so that each run's replay does not read the whole file again.
#include "sim/capture/csv.h"
#include "sim/capture/formats.h"
#include "sim/files.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace sim {
namespace {

using Json = nlohmann::json;

// CapFrameX nests its values 4 or 5 deep; the path to a value is held, so nesting is bounded.
constexpr std::size_t maxJsonDepth = 64;

// Where a value stands: the key it is under in an object, or its index in an array.
struct Level {
    bool array = false;
    std::size_t index = 0;
    std::string key;
};

// The line of a byte, counted by reading the file again, in pieces.
std::uint64_t lineOfByte(const std::filesystem::path& path, std::size_t byte)
{
    std::ifstream file(path, std::ios::binary);
    std::uint64_t line = 1;
    char chunk[1 << 16];
    while (byte > 0) {
        file.read(chunk, static_cast<std::streamsize>(std::min<std::size_t>(byte, sizeof chunk)));
        const auto got = static_cast<std::size_t>(file.gcount());
        if (got == 0) {
            break;
        }
        line += static_cast<std::uint64_t>(std::count(chunk, chunk + got, '\n'));
        byte -= got;
    }
    return line;
}

// A number that runs into the end of the file may be the start of a longer one.
bool endsInADigit(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    char last = 0;
    return file.seekg(-1, std::ios::end) && file.get(last) && last >= '0' && last <= '9';
}

// One run as a replay of it alone finds it.
struct RunRead {
    std::uint64_t presents = 0;
    std::uint64_t generated = 0;
    std::uint64_t skippedCells = 0;
    bool framesSeen = false;
    std::vector<double> kept; // its frame times, when every run is kept
};

// What the file says whichever run is read.
struct FileRead {
    bool runsSeen = false;
    std::size_t runCount = 0;
    std::optional<std::string> processName;
    std::vector<std::pair<std::string, std::string>> system;
    std::uint64_t cutAfterBytes = 0; // the file's size, when it ends inside its JSON
};

std::string frameTimesOf(std::size_t run)
{
    return "Runs[" + std::to_string(run) + "].CaptureData.MsBetweenPresents";
}

// After the whole document: what the run lacked, if anything, else its summary.
void finishRun(const std::filesystem::path& path, std::uint64_t size, const FileRead& file,
               std::size_t run, const RunRead& read, CaptureSummary& summary)
{
    const std::string where = frameTimesOf(run);
    summary.system = file.system;
    summary.cutJsonAfterBytes = file.cutAfterBytes;
    summary.skippedCells = read.skippedCells;
    if (file.cutAfterBytes > 0 && (!file.runsSeen || run >= file.runCount || !read.framesSeen)) {
        failCapture(path, 0,
                    "the file ends inside its JSON (cut short after " + std::to_string(size) +
                        " bytes) before " + where +
                        ": the capture tool was probably stopped while writing");
    }
    if (!file.runsSeen) {
        failCapture(path, 0, "no Runs array: not a CapFrameX capture");
    }
    if (run >= file.runCount) {
        failCapture(path, 0,
                    "run " + std::to_string(run) + " not found: the capture has " +
                        std::to_string(file.runCount) + (file.runCount == 1 ? " run" : " runs"));
    }
    if (!read.framesSeen) {
        failCapture(path, 0, "no frame times: " + where + " is missing");
    }
    summary.application = file.processName.value_or(utf8Of(path.filename()));
    summary.frameTimesFrom = where;
    summary.applications = {{summary.application, read.presents - read.generated}};
    if (read.generated > 0) {
        summary.generatedFrames = read.generated;
        summary.rules.push_back(
            fmt::format("{} presents, of which {} generated frames the game never sees (0.0 in "
                        "MsBetweenPresents, as CapFrameX writes them): replayed the {} it rendered",
                        countText(read.presents), countText(read.generated),
                        countText(read.presents - read.generated)));
    }
}

// Reads one run (its frames handed to onFrame) or, with keepAll, every run (each kept).
class Reader : public nlohmann::json_sax<Json> {
  public:
    static constexpr std::size_t everyRun = SIZE_MAX;

    Reader(const std::filesystem::path& path, std::uint64_t size, std::size_t run,
           const FrameSink& onFrame)
        : path_(path), size_(size), run_(run), onFrame_(onFrame)
    {
    }

    bool null() override { return scalar(Kind::Null); }
    bool boolean(bool) override { return scalar(Kind::Other); }
    bool number_integer(number_integer_t value) override
    {
        return frame(static_cast<double>(value));
    }
    bool number_unsigned(number_unsigned_t value) override
    {
        return frame(static_cast<double>(value));
    }
    bool number_float(number_float_t value, const string_t&) override { return frame(value); }
    bool string(string_t& value) override
    {
        if (atProcessName()) {
            file_.processName = value;
        }
        // What CapFrameX notes of the machine and the player's comment, for the report.
        for (const auto& [key, name] : {std::pair{"Processor", "processor"},
                                        std::pair{"GPU", "GPU"}, std::pair{"Comment", "comment"}}) {
            if (levels_.size() == 2 && under(0, "Info") && under(1, key) && !value.empty()) {
                file_.system.emplace_back(name, value);
            }
        }
        return scalar(value == "NA" ? Kind::Null : Kind::Other);
    }
    bool binary(binary_t&) override { return scalar(Kind::Other); }
    bool start_object(std::size_t) override { return open(false); }
    bool key(string_t& value) override
    {
        levels_.back().key = value;
        return true;
    }
    bool end_object() override { return close(); }
    bool start_array(std::size_t) override { return open(true); }
    bool end_array() override { return close(); }
    bool parse_error(std::size_t byte, const std::string&,
                     const nlohmann::detail::exception& error) override
    {
        // The parser read past the last byte: the document was cut, not broken.
        if (error.id < 400 && size_ > 0 && byte > size_) {
            cutShort();
            return false;
        }
        flush();               // the frames before a fault are replayed, then it is told
        if (error.id >= 400) { // out of range, such as a number beyond a double
            const std::string what = error.what();
            const auto code = what.find("] ");
            failCapture(path_, lineOfByte(path_, byte),
                        "not valid JSON: " +
                            (code == std::string::npos ? what : what.substr(code + 2)));
        }
        failCapture(path_, lineOfByte(path_, byte), "not valid JSON");
    }

    // The one run read, once the whole document is.
    void finish(CaptureSummary& summary) const
    {
        finishRun(path_, size_, file_, run_, runs_.empty() ? RunRead{} : runs_.front(), summary);
    }

    const FileRead& file() const { return file_; }
    std::vector<RunRead>& runs() { return runs_; }

  private:
    enum class Kind { Null, Other };

    bool under(std::size_t depth, const char* key) const
    {
        return levels_.size() > depth && !levels_[depth].array && levels_[depth].key == key;
    }
    bool atRuns() const { return levels_.size() == 1 && under(0, "Runs"); }
    bool inARun() const
    {
        return levels_.size() >= 2 && under(0, "Runs") && levels_[1].array &&
               (run_ == everyRun || levels_[1].index == run_);
    }
    // The run being read: the only one, or (every run kept) the one at hand.
    std::size_t currentIndex()
    {
        const std::size_t at = run_ == everyRun ? levels_[1].index : 0;
        if (runs_.size() <= at) {
            runs_.resize(at + 1);
        }
        return at;
    }
    RunRead& current() { return runs_[currentIndex()]; }
    bool atFrameTimes() const
    {
        return levels_.size() == 4 && inARun() && under(2, "CaptureData") &&
               under(3, "MsBetweenPresents");
    }
    bool inFrameTimes() const
    {
        return levels_.size() == 5 && inARun() && under(2, "CaptureData") &&
               under(3, "MsBetweenPresents") && levels_[4].array;
    }
    bool atProcessName() const
    {
        return levels_.size() == 2 && under(0, "Info") && under(1, "ProcessName");
    }

    void cutShort()
    {
        if (pending_ && endsInADigit(path_)) {
            pending_.reset();
        }
        flush();
        // The run being written when the file was cut is there, as far as it goes.
        if (levels_.size() >= 2 && under(0, "Runs") && levels_[1].array) {
            file_.runCount = levels_[1].index + (levels_.size() > 2 ? 1 : 0);
        }
        file_.cutAfterBytes = size_;
    }

    // A frame is handed on once the next event shows that the file was not cut inside it.
    // CapFrameX records no frame types: with frame generation on, a generated present's
    // interval is written as 0.0, which no frame the game renders has.
    void flush()
    {
        if (!pending_) {
            return;
        }
        RunRead& run = runs_[pendingRun_];
        ++run.presents;
        if (*pending_ == 0) {
            ++run.generated;
        } else if (run_ == everyRun) {
            run.kept.push_back(*pending_);
        } else {
            onFrame_(*pending_);
        }
        pending_.reset();
    }

    void notFrame()
    {
        failCapture(path_, 0,
                    frameTimesOf(levels_[1].index) + "[" + std::to_string(levels_.back().index) +
                        "] is not a number");
    }
    bool frame(double ms)
    {
        flush();
        if (inFrameTimes()) {
            if (ms > maxFrameTimeMs) {
                failCapture(path_, 0,
                            frameTimesOf(levels_[1].index) + "[" +
                                std::to_string(levels_.back().index) +
                                "] is longer than an hour: no frame lasts that long");
            }
            pending_ = ms;
            pendingRun_ = currentIndex();
        }
        return advance();
    }
    bool scalar(Kind kind)
    {
        flush();
        if (inFrameTimes()) {
            if (kind == Kind::Other) {
                notFrame();
            }
            ++current().skippedCells;
        }
        return advance();
    }
    bool open(bool array)
    {
        flush();
        if (inFrameTimes()) {
            notFrame();
        }
        if (levels_.size() >= maxJsonDepth) {
            failCapture(
                path_, 0,
                fmt::format("JSON nested more than {} deep: no capture tool writes that, so "
                            "it is not a CapFrameX capture",
                            maxJsonDepth));
        }
        if (array && atRuns()) {
            file_.runsSeen = true;
        }
        if (array && atFrameTimes()) {
            current().framesSeen = true;
        }
        levels_.push_back({array, 0, {}});
        return true;
    }
    bool close()
    {
        flush();
        // The Runs array ends: its length is the number of runs.
        if (levels_.size() == 2 && under(0, "Runs") && levels_[1].array) {
            file_.runCount = levels_[1].index;
        }
        levels_.pop_back();
        return advance();
    }
    // A value ended: the next one in its array has the next index.
    bool advance()
    {
        if (!levels_.empty() && levels_.back().array) {
            ++levels_.back().index;
        }
        return true;
    }

    const std::filesystem::path& path_;
    std::uint64_t size_;
    std::size_t run_;
    const FrameSink& onFrame_;
    std::vector<Level> levels_;
    FileRead file_;
    std::vector<RunRead> runs_; // the one run read, or every run
    std::optional<double> pending_;
    std::size_t pendingRun_ = 0;
};

// Every run of the capture read last for its runs, kept while the same file is read run by run.
struct KeptRuns {
    std::filesystem::path path;
    std::uint64_t size = 0;
    std::filesystem::file_time_type written;
    FileRead file;
    std::vector<RunRead> runs;
};
std::mutex keptMutex;
KeptRuns lastRead;

std::uint64_t sizeOf(const std::filesystem::path& path)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}

std::filesystem::file_time_type writtenAt(const std::filesystem::path& path)
{
    std::error_code error;
    return std::filesystem::last_write_time(path, error);
}

// The run from what was kept of this very file, if it was; false when it was not.
bool replayKept(const std::filesystem::path& path, std::size_t run, const FrameSink& onFrame,
                CaptureSummary& summary)
{
    FileRead file;
    RunRead read;
    std::uint64_t size = 0;
    {
        const std::lock_guard lock(keptMutex);
        if (lastRead.runs.empty() || lastRead.path != path || lastRead.size != sizeOf(path) ||
            lastRead.written != writtenAt(path)) {
            return false;
        }
        file = lastRead.file;
        size = lastRead.size;
        if (run < lastRead.runs.size()) {
            read = lastRead.runs[run];
        }
    }
    for (const double ms : read.kept) {
        onFrame(ms);
    }
    finishRun(path, size, file, run, read, summary);
    return true;
}

} // namespace

void readCapFrameX(const std::filesystem::path& path, const CaptureOptions& options,
                   const FrameSink& onFrame, CaptureSummary& summary)
{
    const std::size_t run = options.run.value_or(0);
    if (options.run && replayKept(path, run, onFrame, summary)) {
        return;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        failCapture(path, 0, "cannot open");
    }
    Reader reader(path, sizeOf(path), run, onFrame);
    Json::sax_parse(file, &reader);
    reader.finish(summary);
}

std::size_t capFrameXRunCount(const std::filesystem::path& path)
{
    if (isLiveInput(path)) {
        return 0;
    }
    try {
        if (recognise(path).format != CaptureFormat::CapFrameX) {
            return 0;
        }
        // Every run read and kept: each is then replayed from what was kept.
        std::ifstream file(path, std::ios::binary);
        const std::uint64_t size = sizeOf(path);
        const std::filesystem::file_time_type written = writtenAt(path);
        const FrameSink none = [](double) {};
        Reader reader(path, size, Reader::everyRun, none);
        Json::sax_parse(file, &reader);
        const std::size_t runs = reader.file().runCount;
        const std::lock_guard lock(keptMutex);
        lastRead = KeptRuns{};
        if (runs >= 2) {
            lastRead = KeptRuns{path, size, written, reader.file(), std::move(reader.runs())};
        }
        return runs;
    } catch (const CaptureError&) {
        return 0; // the reading proper says what is wrong
    }
}

} // namespace sim
