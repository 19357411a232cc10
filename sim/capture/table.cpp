// Longer than most files here on purpose: reading a table is one pass over types of this file
// alone (whose frames, the swap chains, what a read found), and split it would need a header of
// internals that no other file has use for. A row is taken in named steps instead.
// The capture tools' CSV tables: PresentMon of every version, OCAT and MangoHud differ only in
// where the header is and which column holds the frame time. A table often interleaves several
// processes; one application is replayed (see capture.h for the reading contract).
#include "sim/ascii.h"
#include "sim/capture/applications.h"
#include "sim/capture/csv.h"
#include "sim/capture/formats.h"
#include "sim/capture/line_reader.h"
#include "sim/capture/samples.h"
#include "sim/files.h"
#include "sim/text.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

namespace sim {
namespace {

// Whose frames one read replays.
struct Target {
    std::optional<std::string> application; // none: count only, or adopt as below
    bool adoptFirstGame = false;            // replay the first application that is not dwm.exe
    // Known only once the application's rows were read: a second read applies them.
    bool fromAppStart = false;            // a game frame's time is its own frame-start interval
    std::optional<std::string> swapChain; // the one read of several presenting at once
};

Target targetOf(std::optional<std::string> application, bool adoptFirstGame = false)
{
    Target target;
    target.application = std::move(application);
    target.adoptFirstGame = adoptFirstGame;
    return target;
}

struct SwapChainCount {
    std::string address;
    std::uint64_t presents = 0;
};

// A game that makes a new swap chain (a mode change, a new window) presents on one after another;
// another window of the process presents beside the game's, and the two take turns all along.
struct SwapChains {
    std::vector<SwapChainCount> counts; // in order of appearance
    std::size_t last = noField;
    std::uint64_t returns = 0; // presents on a chain that had given way to another
};

// More turns than a game's new swap chains ever take: windows presenting at the same time.
constexpr std::uint64_t turnsOfChainsAtOnce = 8;
// Memory must not grow with the capture: a game making thousands of chains is counted this far.
constexpr std::size_t countedSwapChains = 64;

void noteSwapChain(std::string_view address, SwapChains& chains)
{
    if (chains.last != noField && chains.counts[chains.last].address == address) {
        ++chains.counts[chains.last].presents;
        return;
    }
    const auto found =
        std::find_if(chains.counts.begin(), chains.counts.end(),
                     [&](const SwapChainCount& chain) { return chain.address == address; });
    if (found != chains.counts.end()) {
        ++found->presents;
        ++chains.returns;
        chains.last = static_cast<std::size_t>(found - chains.counts.begin());
        return;
    }
    if (chains.counts.size() < countedSwapChains) {
        chains.counts.push_back({std::string(address), 1});
        chains.last = chains.counts.size() - 1;
    }
}

bool presentAtOnce(const SwapChains& chains)
{
    return chains.counts.size() > 1 && chains.returns > turnsOfChainsAtOnce;
}

// What one read of the table found.
struct TableRead {
    AppCounter counter;
    std::uint64_t skippedCells = 0;
    std::string frameTimesFrom;
    std::optional<std::string> replayed;
    std::size_t targetIs = noField; // the application targetMatches was found for
    bool targetMatches = false;
    ClockWatch clock;
    std::uint64_t cutLineBytes = 0;
    FieldPlaces places;
    std::uint64_t presents = 0;  // the target's rows with a frame time
    std::uint64_t generated = 0; // of which the game never rendered
    double generatedMs = 0;      // their intervals since the game's last frame
    SwapChains chains;           // the target's
    bool ocatMoreGpus = false;
    // MangoHud up to 0.6.8 writes frametime in microseconds: 1000 / fps tells, on the first row.
    std::optional<double> frameTimeScale;
    std::optional<std::string> swapChainKept;
};

// The header's line as read, for what the rows must match.
struct Header {
    FieldPlaces places;
    std::size_t fieldCount = 0;
    std::uint64_t line = 0;
    std::string text;
};

Header findHeader(LineReader& reader, const std::filesystem::path& path, const Recognised& table,
                  std::vector<std::string_view>& fields)
{
    std::string_view line;
    while (reader.lineNumber() < table.headerLine && reader.next(line)) {
    }
    if (reader.lineNumber() < table.headerLine) {
        failCapture(path, 0, "no header line naming the columns");
    }
    const bool mango = table.format == CaptureFormat::MangoHud;
    Header header{findFields(trim(line), fields, mango ? "frametime" : ""), fields.size(),
                  reader.lineNumber(), std::string(trim(withoutBom(line)))};
    if (header.places.frameTime == noField) {
        failCapture(path, reader.lineNumber(), "no frame-time column in the header");
    }
    return header;
}

// A header in the middle: two captures joined into one file. The same columns again read on;
// other columns would be read at the wrong places.
[[noreturn]] void failSecondHeader(const std::filesystem::path& path, std::uint64_t lineNumber,
                                   const Header& header)
{
    failCapture(path, lineNumber,
                fmt::format("a second header, naming other columns than line {}: two captures "
                            "joined into one file; give each its own file",
                            header.line));
}

bool namesAFrameTimeField(std::string_view line)
{
    std::vector<std::string_view> fields;
    return findFields(trim(withoutBom(line)), fields, "").frameTime != noField ||
           hasField(fields, "frametime");
}

// Rows hold numbers where the header holds a name: only a row whose frame-time cell starts with
// a letter (NA aside) is looked at as a header.
bool isRepeatedHeader(const std::filesystem::path& path, std::uint64_t lineNumber,
                      std::string_view line, const Header& header,
                      const std::vector<std::string_view>& fields)
{
    const std::string_view cell = trim(fields[header.places.frameTime]);
    const bool word =
        !cell.empty() && std::isalpha(static_cast<unsigned char>(cell.front())) && cell != "NA";
    if (!word || !namesAFrameTimeField(line)) {
        return false;
    }
    if (trim(withoutBom(line)) != header.text) {
        failSecondHeader(path, lineNumber, header);
    }
    return true;
}

// A row never has more cells than the header names: one more (a decimal comma, an unquoted name
// with a comma) puts the frame time in another column. Fewer are fine: OCAT writes its system
// columns on the first row only.
void checkFieldCount(const std::filesystem::path& path, std::uint64_t lineNumber,
                     std::string_view line, std::size_t count, const Header& header)
{
    if (count <= header.fieldCount) {
        return;
    }
    if (namesAFrameTimeField(line)) {
        failSecondHeader(path, lineNumber, header);
    }
    failCapture(path, lineNumber,
                fmt::format("{} cells where the header (line {}) names {} columns: a comma "
                            "inside a number or a name?",
                            count, header.line, header.fieldCount));
}

// Milliseconds or microseconds, from the first row whose fps and frame time say which; none yet.
std::optional<double> frameTimeScale(std::string_view fpsCell, double frameTime)
{
    fpsCell = trim(fpsCell);
    double fps = 0;
    const auto [end, error] = std::from_chars(fpsCell.data(), fpsCell.data() + fpsCell.size(), fps);
    if (error != std::errc() || fps <= 0 || frameTime <= 0) {
        return std::nullopt;
    }
    // 1000 for milliseconds, a million for microseconds.
    return fps * frameTime > 30000 ? 0.001 : 1.0;
}

bool isGameFrameType(std::string_view type)
{
    return type.empty() || type == "NA" || equalsIgnoringCase(type, "Application") ||
           equalsIgnoringCase(type, "Unspecified");
}

// Where the capture marks frame types, they decide; else a present the game did not start has 0
// as the game's frame-start interval, whether it came some time after the game's frame or (its
// own interval 0 too) the moment it did.
bool isGenerated(const FieldPlaces& places, const std::vector<std::string_view>& fields,
                 bool firstPresent)
{
    if (places.frameType < fields.size()) {
        return !isGameFrameType(trim(fields[places.frameType]));
    }
    // A process's first present has no frame before it: its interval is 0, and no more.
    if (firstPresent || places.appStart >= fields.size()) {
        return false;
    }
    const std::string_view start = trim(fields[places.appStart]);
    double value = 0;
    const auto [end, error] = std::from_chars(start.data(), start.data() + start.size(), value);
    const bool zero = error == std::errc() && end == start.data() + start.size() && value == 0;
    return zero;
}

// OCAT writes its system cells on the first row alone, four for each GPU where the header names
// the first GPU's.
bool isOcatSystemRow(std::size_t cells, const Header& header)
{
    if (cells <= header.fieldCount || (cells - header.fieldCount) % 4 != 0) {
        return cells <= header.fieldCount;
    }
    std::vector<std::string_view> names;
    splitCsv(header.text, names, SIZE_MAX);
    return hasField(names, "GPU #") && hasField(names, "GPU Memory (MB)");
}

// A table that names no application is one program's: MangoHud names its log for it and the time
// ("Game_2025-01-31_20-00-00.csv"); any other name is the file's own.
std::string applicationOfFileName(const std::filesystem::path& path)
{
    const std::string stem = utf8Of(path.stem());
    constexpr std::string_view stamp = "_0000-00-00_00-00-00";
    if (stem.size() <= stamp.size()) {
        return utf8Of(path.filename());
    }
    const std::string_view end = std::string_view(stem).substr(stem.size() - stamp.size());
    for (std::size_t i = 0; i < stamp.size(); ++i) {
        const bool digit = end[i] >= '0' && end[i] <= '9';
        if (stamp[i] == '0' ? !digit : end[i] != stamp[i]) {
            return utf8Of(path.filename());
        }
    }
    return stem.substr(0, stem.size() - stamp.size());
}

// The row's application as written, its doubled quotes undone (into `written` where it had any).
std::string_view applicationOf(const FieldPlaces& places,
                               const std::vector<std::string_view>& fields,
                               std::string_view wholeFile, std::string& written)
{
    const std::string_view app =
        places.application != noField ? trim(fields[places.application]) : wholeFile;
    if (app.find("\"\"") == std::string_view::npos) {
        return app;
    }
    written = unquoted(app);
    return written;
}

// Counts the row for its application and says whether that is the target, adopting the first
// game where asked to.
bool countForTarget(std::string_view app, Target& target, TableRead& read)
{
    const std::size_t index = read.counter.indexOf(app);
    ++read.counter.apps[index].frames;
    if (!target.application && target.adoptFirstGame && !isSystemProcess(app)) {
        target.application = std::string(app);
        read.targetIs = noField;
    }
    // Rows of one application come in runs: whether it is the target is asked once a run.
    if (read.targetIs != index) {
        read.targetIs = index;
        read.targetMatches = target.application && equalsIgnoringCase(app, *target.application);
    }
    return read.targetMatches;
}

// Notes the row's swap chain; false for a chain other than the one kept.
bool onKeptSwapChain(const FieldPlaces& places, const std::vector<std::string_view>& fields,
                     const Target& target, TableRead& read)
{
    if (places.swapChain >= fields.size()) {
        return true;
    }
    const std::string_view chain = trim(fields[places.swapChain]);
    noteSwapChain(chain, read.chains);
    return !target.swapChain || chain == *target.swapChain;
}

// The row's frame time in milliseconds (its scale found on the first row that tells, CPUWait
// added where the tool splits it off); none for an NA or empty cell, counted as skipped.
std::optional<double> rowFrameTime(const std::filesystem::path& path, std::uint64_t line,
                                   const FieldPlaces& places,
                                   const std::vector<std::string_view>& fields, TableRead& read)
{
    double ms = 0;
    if (parseCell(fields[places.frameTime], ms, path, line, places.frameTimeName) ==
        Cell::Skipped) {
        ++read.skippedCells;
        return std::nullopt;
    }
    if (places.fps < fields.size() && !read.frameTimeScale) {
        read.frameTimeScale = frameTimeScale(fields[places.fps], ms);
    }
    ms *= read.frameTimeScale.value_or(1.0);
    if (places.frameTimeAddend != noField) {
        double wait = 0;
        if (parseCell(fields[places.frameTimeAddend], wait, path, line, "CPUWait") ==
            Cell::Skipped) {
            ++read.skippedCells;
            return std::nullopt;
        }
        ms += wait;
    }
    return ms;
}

// A present the game did not render is no frame: its interval is held for the game's next one.
bool holdGenerated(const FieldPlaces& places, const std::vector<std::string_view>& fields,
                   double ms, TableRead& read)
{
    if (!isGenerated(places, fields, read.presents++ == 0)) {
        return false;
    }
    ++read.generated;
    // A present interval runs on into the game's next frame; FrameTime is the game's already.
    read.generatedMs += places.appStart == places.frameTime ? 0 : std::max(ms, 0.0);
    return true;
}

// Where a second read takes a game frame's time from its own frame-start interval.
double fromAppStart(const std::filesystem::path& path, std::uint64_t line,
                    const FieldPlaces& places, const std::vector<std::string_view>& fields,
                    double ms)
{
    if (places.appStart >= fields.size()) {
        return ms;
    }
    double start = 0;
    const bool read =
        parseCell(fields[places.appStart], start, path, line, places.appStartName) == Cell::Value;
    return read && start > 0 ? start : ms;
}

// One row: counted for its application, and its frame time handed on when it is the target's.
void takeRow(const std::filesystem::path& path, std::uint64_t line, const FieldPlaces& places,
             const std::vector<std::string_view>& fields, std::string_view wholeFile,
             Target& target, TableRead& read, const FrameSink& onFrame)
{
    std::string written;
    const std::string_view app = applicationOf(places, fields, wholeFile, written);
    if (!countForTarget(app, target, read)) {
        return;
    }
    read.replayed = target.application;
    if (!onKeptSwapChain(places, fields, target, read)) {
        return;
    }
    const std::optional<double> frameMs = rowFrameTime(path, line, places, fields, read);
    if (!frameMs || holdGenerated(places, fields, *frameMs, read)) {
        return;
    }
    double ms = *frameMs + std::exchange(read.generatedMs, 0.0);
    if (target.fromAppStart) {
        ms = fromAppStart(path, line, places, fields, ms);
    }
    if (places.clock < fields.size() && read.clock.clockedRows < rowsToJudgeTheClock) {
        noteClock(path, fields[places.clock], places, ms, read.clock);
    }
    onFrame(ms);
}

// One read of the table from its header to its end: counts every application's frames and hands
// the target's frame times on.
TableRead readRows(LineReader& reader, const std::filesystem::path& path, const Recognised& table,
                   const CaptureOptions& options, Target target, const FrameSink& onFrame)
{
    std::vector<std::string_view> fields;
    const Header header = findHeader(reader, path, table, fields);
    const FieldPlaces& places = header.places;
    const bool named = places.application != noField;
    std::size_t needed = std::max(places.frameTime, named ? places.application : 0) + 1;
    if (places.frameTimeAddend != noField) {
        needed = std::max(needed, places.frameTimeAddend + 1);
    }
    std::size_t wanted = needed;
    for (const std::size_t place :
         {places.clock, places.frameType, places.appStart, places.swapChain}) {
        wanted = place == noField ? wanted : std::max(wanted, place + 1);
    }
    const std::string wholeFile = applicationOfFileName(path);
    TableRead read;
    read.places = places;
    read.swapChainKept = target.swapChain;
    read.frameTimesFrom = target.fromAppStart ? places.appStartName : places.frameTimeName;
    std::uint64_t lines = 0;
    // OCAT writes its system cells on the first row only: a row is short against the one before.
    std::size_t rowCells = header.fieldCount;
    std::string_view line;
    while (reader.next(line)) {
        if (trim(line).empty()) {
            continue;
        }
        if (++lines % progressEveryLines == 0) {
            reportProgress(options, reader.bytesConsumed(), reader.fileSize());
        }
        std::size_t cells = 0;
        const std::size_t got = splitCsv(line, fields, wanted, &cells);
        // A tool stopped while writing leaves its last line cut, with no line end.
        const bool unended = !reader.lineEnded();
        if (got < needed) {
            if (namesAFrameTimeField(line)) {
                failSecondHeader(path, reader.lineNumber(), header);
            }
            if (unended) {
                read.cutLineBytes = line.size();
                break;
            }
            failCapture(path, reader.lineNumber(),
                        "expected at least " + std::to_string(needed) + " columns, found " +
                            std::to_string(got));
        }
        if (isRepeatedHeader(path, reader.lineNumber(), line, header, fields)) {
            continue;
        }
        if (lines == 1 && isOcatSystemRow(cells, header)) {
            read.ocatMoreGpus = cells > header.fieldCount;
        } else {
            checkFieldCount(path, reader.lineNumber(), line, cells, header);
        }
        // A frame time that ends the line may be cut anywhere ("1" of "1234", nothing after
        // the comma): only a line end shows it whole.
        const std::size_t last = cells - 1;
        const bool frameTimeLast = last == places.frameTime || last == places.frameTimeAddend;
        if (unended && (cells < rowCells || isCutNumber(fields[places.frameTime]) ||
                        (frameTimeLast && mayBeCutNumber(fields[last])))) {
            read.cutLineBytes = line.size();
            break;
        }
        rowCells = cells;
        takeRow(path, reader.lineNumber(), places, fields, wholeFile, target, read, onFrame);
    }
    if (read.clock.clockedRows < rowsToJudgeTheClock) {
        refuseSamples(path, places, read.clock);
    }
    return read;
}

TableRead readOnce(const std::filesystem::path& path, const Recognised& table,
                   const CaptureOptions& options, Target target, const FrameSink& onFrame)
{
    LineReader reader(path);
    return readRows(reader, path, table, options, std::move(target), onFrame);
}

std::string mostPresents(const SwapChains& chains)
{
    return std::max_element(chains.counts.begin(), chains.counts.end(),
                            [](const SwapChainCount& a, const SwapChainCount& b) {
                                return a.presents < b.presents;
                            })
        ->address;
}

// What the target's rows showed, for a read that knows it from the start.
Target refined(Target target, const TableRead& read)
{
    const FieldPlaces& places = read.places;
    target.fromAppStart =
        read.generated > 0 && places.appStart != noField && places.appStart != places.frameTime;
    if (presentAtOnce(read.chains)) {
        target.swapChain = mostPresents(read.chains);
    }
    return target;
}

// Without restart, no frame may be given before the one read that gives them all: the target's
// rows are looked at first. A fault there is told by that last read, after the frames before it.
TableRead readWithoutRestart(const std::filesystem::path& path, const Recognised& table,
                             const CaptureOptions& options, const FrameSink& onFrame)
{
    const FrameSink unused = [](double) {};
    Target target = targetOf(options.application);
    try {
        if (!options.application) {
            const TableRead counted = readOnce(path, table, options, Target{}, unused);
            target = targetOf(chooseApplication(counted.counter.apps, options.gamePrograms));
        }
        target = refined(target, readOnce(path, table, options, target, unused));
    } catch (const CaptureError&) {
    }
    return readOnce(path, table, options, target, onFrame);
}

TableRead readChosen(const std::filesystem::path& path, const Recognised& table,
                     const CaptureOptions& options, const FrameSink& onFrame)
{
    if (!options.restart) {
        return readWithoutRestart(path, table, options, onFrame);
    }
    Target target;
    TableRead read;
    if (options.application) {
        target = targetOf(options.application);
        read = readOnce(path, table, options, target, onFrame);
    } else {
        // Most captures hold one game, found at once: replaying it while counting reads them once.
        read = readOnce(path, table, options, targetOf(std::nullopt, true), onFrame);
        const std::string best = chooseApplication(read.counter.apps, options.gamePrograms);
        if (best.empty() || (read.replayed && equalsIgnoringCase(*read.replayed, best))) {
            target = targetOf(read.replayed);
        } else {
            options.restart();
            target = targetOf(best);
            read = readOnce(path, table, options, target, onFrame);
        }
    }
    // Frame generation or several swap chains, seen in the target's rows: read again knowing it.
    const Target better = refined(target, read);
    if (better.fromAppStart == target.fromAppStart && better.swapChain == target.swapChain) {
        return read;
    }
    options.restart();
    return readOnce(path, table, options, better, onFrame);
}

} // namespace

namespace {

std::string swapChainText(const SwapChainCount& chain)
{
    return fmt::format("{} ({} presents)", shown(chain.address), countText(chain.presents));
}

std::uint64_t leftOutPresents(const TableRead& read)
{
    std::uint64_t presents = 0;
    for (const SwapChainCount& chain : read.chains.counts) {
        presents += read.swapChainKept && chain.address != *read.swapChainKept ? chain.presents : 0;
    }
    return presents;
}

void sayRules(const TableRead& read, CaptureSummary& summary)
{
    const FieldPlaces& places = read.places;
    if (places.frameTimeAddend != noField) {
        summary.rules.push_back("no frame-time column (PresentMon 2.0.0 and 2.0.1): a frame's time "
                                "is its CPUBusy + CPUWait");
    }
    if (read.clock.millisecondsUnderSeconds) {
        summary.rules.push_back(fmt::format(
            "{} holds milliseconds (PresentMon's --qpc_time_ms, CapFrameX's raw file): its clock "
            "advances as the frame times add up in milliseconds, a thousand times too far for "
            "seconds",
            shown(places.clockName)));
    }
    if (read.frameTimeScale.value_or(1.0) != 1.0) {
        summary.rules.push_back(
            "frametime in microseconds (MangoHud up to 0.6.8: its fps is a million over it): "
            "divided by a thousand");
    }
    if (read.ocatMoreGpus) {
        summary.rules.push_back("the first row's system cells for more than one GPU (four each): "
                                "OCAT's own layout");
    }
    if (read.swapChainKept) {
        const std::string& kept = *read.swapChainKept;
        std::string others;
        for (const SwapChainCount& chain : read.chains.counts) {
            if (chain.address != kept) {
                others += (others.empty() ? "" : ", ") + swapChainText(chain);
            }
        }
        const auto main = std::find_if(read.chains.counts.begin(), read.chains.counts.end(),
                                       [&](const SwapChainCount& c) { return c.address == kept; });
        summary.rules.push_back(fmt::format(
            "{} swap chains presenting at the same time: replayed the one with the most presents, "
            "{}; left out {}",
            read.chains.counts.size(), swapChainText(*main), others));
    }
    if (read.generated > 0) {
        summary.generatedFrames = read.generated;
        const std::string how = places.frameType != noField
                                    ? "FrameType other than Application"
                                    : fmt::format("{} 0: the game started no frame for them",
                                                  shown(places.appStartName));
        const std::string each =
            places.appStart == places.frameTime ? "each its own " + shown(places.frameTimeName)
            : read.frameTimesFrom == places.appStartName
                ? "each its own frame-start interval, " + shown(places.appStartName)
                : "each the time since the one before it";
        summary.rules.push_back(fmt::format(
            "{} presents, of which {} generated frames the game never sees ({}): replayed the {} "
            "it rendered, {}",
            countText(read.presents), countText(read.generated), how,
            countText(read.presents - read.generated), each));
    }
}

// How the application was chosen, and another that may be the game, once its frames are known.
void sayChoice(const CaptureOptions& options, bool live, CaptureSummary& summary)
{
    const auto judged =
        std::find_if(summary.applications.begin(), summary.applications.end(),
                     [&](const AppFrames& app) { return app.name == summary.application; });
    if (options.application) {
        summary.chosenBy = ChosenBy::Asked;
        return;
    }
    if (summary.applications.size() < 2) {
        return;
    }
    summary.chosenBy = isProgramOf(summary.application, options.gamePrograms) ? ChosenBy::GameFolder
                       : live                                                 ? ChosenBy::FirstSeen
                              : ChosenBy::MostFrames;
    summary.mayBeTheGame = otherPossibleGame(summary.applications, *judged, options.gamePrograms);
}

void summarise(const std::filesystem::path& path, const CaptureOptions& options,
               const TableRead& read, CaptureSummary& summary, bool live = false)
{
    summary.frameTimesFrom = read.frameTimesFrom;
    summary.skippedCells = read.skippedCells;
    summary.applications = read.counter.apps;
    summary.cutLastLineBytes = read.cutLineBytes;
    if (summary.applications.empty()) {
        failCapture(path, 0,
                    read.cutLineBytes > 0
                        ? "no frames: the capture holds a header and " + cutShortText(summary)
                        : "no frames: the capture holds a header and nothing else");
    }
    const std::string wanted = options.application.value_or(read.replayed.value_or(""));
    const auto replayed =
        std::find_if(summary.applications.begin(), summary.applications.end(),
                     [&](const AppFrames& app) { return equalsIgnoringCase(app.name, wanted); });
    if (replayed == summary.applications.end()) {
        failApplicationMissing(path, wanted, summary.applications);
    }
    summary.application = replayed->name;
    // The application's frames are those the game rendered, on the chain read.
    replayed->frames -= read.generated + leftOutPresents(read);
    sayChoice(options, live, summary);
    sayRules(read, summary);
}

} // namespace

void readTable(const std::filesystem::path& path, const Recognised& table,
               const CaptureOptions& options, const FrameSink& onFrame, CaptureSummary& summary)
{
    summarise(path, options, readChosen(path, table, options, onFrame), summary);
}

void readTableLive(LineReader& reader, const std::filesystem::path& path, const Recognised& table,
                   const CaptureOptions& options, const FrameSink& onFrame, CaptureSummary& summary)
{
    summarise(path, options,
              readRows(reader, path, table, options, targetOf(options.application, true), onFrame),
              summary, true);
}

} // namespace sim
