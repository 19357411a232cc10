// Longer than most files here on purpose: one streaming parser's handler, whose states only make
// sense together.
// CapFrameX JSON: runs of frame times under Runs[n].CaptureData.MsBetweenPresents, the
// application's name under Info.ProcessName. Read as a stream of parse events, so a capture of
// millions of frames is never held whole: memory holds the path to the value being read, and the
// longest single string in the file. A file that ends inside its JSON was cut short as it was
// written: the frames before the cut are read.
#include "sim/capture/csv.h"
#include "sim/capture/formats.h"
#include "sim/files.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace sim {
namespace {

using Json = nlohmann::json;

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

class Reader : public nlohmann::json_sax<Json> {
  public:
    Reader(const std::filesystem::path& path, std::uint64_t size, std::size_t run,
           const FrameSink& onFrame, CaptureSummary& summary)
        : path_(path), size_(size), run_(run), onFrame_(onFrame), summary_(summary),
          where_("Runs[" + std::to_string(run) + "].CaptureData.MsBetweenPresents")
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
            processName_ = value;
        }
        // What CapFrameX notes of the machine and the player's comment, for the report.
        for (const auto& [key, name] : {std::pair{"Processor", "processor"},
                                        std::pair{"GPU", "GPU"}, std::pair{"Comment", "comment"}}) {
            if (levels_.size() == 2 && under(0, "Info") && under(1, key) && !value.empty()) {
                summary_.system.emplace_back(name, value);
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

    // After the whole document: what it lacked, if anything.
    void finish()
    {
        const bool cut = summary_.cutJsonAfterBytes > 0;
        if (cut && (!runsSeen_ || run_ >= runCount_ || !framesSeen_)) {
            failCapture(path_, 0,
                        "the file ends inside its JSON (cut short after " + std::to_string(size_) +
                            " bytes) before " + where_ +
                            ": the capture tool was probably stopped while writing");
        }
        if (!runsSeen_) {
            failCapture(path_, 0, "no Runs array: not a CapFrameX capture");
        }
        if (run_ >= runCount_) {
            failCapture(path_, 0,
                        "run " + std::to_string(run_) + " not found: the capture has " +
                            std::to_string(runCount_) + " runs");
        }
        if (!framesSeen_) {
            failCapture(path_, 0, "no frame times: " + where_ + " is missing");
        }
        summary_.application = processName_.value_or(utf8Of(path_.filename()));
        summary_.frameTimesFrom = where_;
        summary_.applications = {{summary_.application, frames_ - generated_}};
        if (generated_ > 0) {
            summary_.generatedFrames = generated_;
            summary_.rules.push_back(fmt::format(
                "{} presents, of which {} generated frames the game never sees (0.0 in "
                "MsBetweenPresents, as CapFrameX writes them): replayed the {} it rendered",
                countText(frames_), countText(generated_), countText(frames_ - generated_)));
        }
    }

    std::size_t runs() const { return runCount_; }

  private:
    enum class Kind { Null, Other };

    bool under(std::size_t depth, const char* key) const
    {
        return levels_.size() > depth && !levels_[depth].array && levels_[depth].key == key;
    }
    bool atRuns() const { return levels_.size() == 1 && under(0, "Runs"); }
    bool inTheRun() const
    {
        return levels_.size() >= 2 && under(0, "Runs") && levels_[1].array &&
               levels_[1].index == run_;
    }
    bool atFrameTimes() const
    {
        return levels_.size() == 4 && inTheRun() && under(2, "CaptureData") &&
               under(3, "MsBetweenPresents");
    }
    bool inFrameTimes() const
    {
        return levels_.size() == 5 && inTheRun() && under(2, "CaptureData") &&
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
            runCount_ = levels_[1].index + (levels_.size() > 2 ? 1 : 0);
        }
        summary_.cutJsonAfterBytes = size_;
    }

    // A frame is handed on once the next event shows that the file was not cut inside it.
    // CapFrameX records no frame types: with frame generation on, a generated present's
    // interval is written as 0.0, which no frame the game renders has.
    void flush()
    {
        if (pending_) {
            ++frames_;
            if (*pending_ == 0) {
                ++generated_;
            } else {
                onFrame_(*pending_);
            }
            pending_.reset();
        }
    }

    void notFrame()
    {
        failCapture(path_, 0,
                    where_ + "[" + std::to_string(levels_.back().index) + "] is not a number");
    }
    bool frame(double ms)
    {
        flush();
        if (inFrameTimes()) {
            if (ms > maxFrameTimeMs) {
                failCapture(path_, 0,
                            where_ + "[" + std::to_string(levels_.back().index) +
                                "] is longer than an hour: no frame lasts that long");
            }
            pending_ = ms;
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
            ++summary_.skippedCells;
        }
        return advance();
    }
    bool open(bool array)
    {
        flush();
        if (inFrameTimes()) {
            notFrame();
        }
        if (array && atRuns()) {
            runsSeen_ = true;
        }
        if (array && atFrameTimes()) {
            framesSeen_ = true;
        }
        levels_.push_back({array, 0, {}});
        return true;
    }
    bool close()
    {
        flush();
        // The Runs array ends: its length is the number of runs.
        if (levels_.size() == 2 && under(0, "Runs") && levels_[1].array) {
            runCount_ = levels_[1].index;
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
    CaptureSummary& summary_;
    std::string where_;
    std::vector<Level> levels_;
    std::optional<std::string> processName_;
    bool runsSeen_ = false;
    std::size_t runCount_ = 0;
    bool framesSeen_ = false;
    std::uint64_t frames_ = 0;
    std::uint64_t generated_ = 0;
    std::optional<double> pending_;
};

} // namespace

void readCapFrameX(const std::filesystem::path& path, const CaptureOptions& options,
                   const FrameSink& onFrame, CaptureSummary& summary)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        failCapture(path, 0, "cannot open");
    }
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    Reader reader(path, error ? 0 : size, options.run.value_or(0), onFrame, summary);
    Json::sax_parse(file, &reader);
    reader.finish();
}

} // namespace sim

namespace sim {

std::size_t capFrameXRunCount(const std::filesystem::path& path)
{
    if (isLiveInput(path)) {
        return 0;
    }
    try {
        if (recognise(path).format != CaptureFormat::CapFrameX) {
            return 0;
        }
        // Read once more as a stream, every run passed over: only their count is kept.
        std::ifstream file(path, std::ios::binary);
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(path, error);
        CaptureSummary unused;
        const FrameSink none = [](double) {};
        Reader reader(path, error ? 0 : size, SIZE_MAX, none, unused);
        Json::sax_parse(file, &reader);
        return reader.runs();
    } catch (const CaptureError&) {
        return 0; // the reading proper says what is wrong
    }
}

} // namespace sim
