// The second look: the file's text read the way Windows' reader reads it, with each place where
// what the plug-in gets is surely not what the player meant.
#include "sim/check/settings_check.h"
#include "sim/files.h"

#include "host/platform.h"
#include "sim/ascii.h"
#include "sim/check/value_text.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <system_error>

namespace sim {
namespace {

struct KnownKey {
    const char* section;
    const char* key;
    std::int32_t defaultValue;
    const char* zeroMeans; // what a value of 0 does, in a player's words, where no effect says it
};

constexpr KnownKey knownKeys[] = {
    {"Main", "Enabled", 1, "Tarnwick is switched off"}, {"Main", "Logging", 1, "no log is written"},
    {"Settings", "FPS_Moderate", 45, nullptr},          {"Settings", "FPS_Critical", 35, nullptr},
    {"Settings", "DetectionRange", 50, nullptr},
};
constexpr const char* knownSections[] = {"Main", "Settings"};

const KnownKey* findKey(std::string_view name)
{
    for (const KnownKey& k : knownKeys) {
        if (equalsIgnoringCase(name, k.key)) {
            return &k;
        }
    }
    return nullptr;
}

const char* findSection(std::string_view name)
{
    for (const char* section : knownSections) {
        if (equalsIgnoringCase(name, section)) {
            return section;
        }
    }
    return nullptr;
}

// Lines under one section header (or before any, with no header).
struct Block {
    const IniLine* header = nullptr;
    std::vector<const IniLine*> keys;
};

std::vector<Block> blocksOf(const IniText& text)
{
    std::vector<Block> blocks(1);
    for (const IniLine& line : text.lines) {
        if (line.kind == IniLineKind::Section) {
            blocks.push_back({&line, {}});
        } else if (line.kind == IniLineKind::Key) {
            blocks.back().keys.push_back(&line);
        }
    }
    return blocks;
}

std::size_t editDistance(std::string_view a, std::string_view b)
{
    // Optimal string alignment, without regard to case: a letter missing, extra, wrong or swapped.
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) {
        for (std::size_t j = 0; j <= b.size(); ++j) {
            if (i == 0 || j == 0) {
                d[i][j] = i + j;
                continue;
            }
            const std::size_t cost = lowerAscii(a[i - 1]) == lowerAscii(b[j - 1]) ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && lowerAscii(a[i - 1]) == lowerAscii(b[j - 2]) &&
                lowerAscii(a[i - 2]) == lowerAscii(b[j - 1])) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[a.size()][b.size()];
}

// The known name most likely meant, when one is near enough to be a slip.
template <class Names, class NameOf>
const char* likelyMeant(std::string_view written, const Names& names, NameOf nameOf)
{
    const char* best = nullptr;
    std::size_t bestDistance = 3;
    for (const auto& candidate : names) {
        const std::size_t distance = editDistance(written, nameOf(candidate));
        if (distance < bestDistance) {
            best = nameOf(candidate);
            bestDistance = distance;
        }
    }
    return best;
}

// Where each key the plug-in reads comes from: the first section of its name, the first line of
// its name in it.
struct Sources {
    std::map<const KnownKey*, const IniLine*> line;
    std::map<const char*, const IniLine*> firstSection;
};

Sources sourcesOf(const std::vector<Block>& blocks)
{
    Sources sources;
    for (const Block& block : blocks) {
        const char* section = block.header ? findSection(block.header->name) : nullptr;
        if (section == nullptr || sources.firstSection.contains(section)) {
            continue;
        }
        sources.firstSection[section] = block.header;
        for (const IniLine* line : block.keys) {
            const KnownKey* key = findKey(line->name);
            if (key != nullptr && key->section == section && !sources.line.contains(key)) {
                sources.line[key] = line;
            }
        }
    }
    return sources;
}

struct Findings {
    std::vector<Finding>& list;
    void warn(std::uint64_t line, std::string message)
    {
        list.push_back({FindingLevel::Warning, line, std::move(message)});
    }
    void note(std::uint64_t line, std::string message)
    {
        list.push_back({FindingLevel::Note, line, std::move(message)});
    }
};

std::string defaultApplies(const KnownKey& key)
{
    return fmt::format("the default {} applies", key.defaultValue);
}

void checkPreamble(const Block& block, Findings& out)
{
    for (const IniLine* line : block.keys) {
        const KnownKey* key = findKey(line->name);
        out.warn(line->number,
                 fmt::format("`{}` comes before any [section], so it is not read{}", line->name,
                             key ? fmt::format("; it belongs under [{}]", key->section) : ""));
    }
}

void checkUnknownKey(const IniLine& line, const Sources& sources, Findings& out)
{
    if (line.name.empty()) {
        out.note(line.number, fmt::format("`={}` has no key name: it is not read", line.value));
        return;
    }
    const char* meant = likelyMeant(line.name, knownKeys, [](const KnownKey& k) { return k.key; });
    if (meant == nullptr) {
        out.note(line.number, fmt::format("`{}` is not a Tarnwick key: it is not read", line.name));
        return;
    }
    const KnownKey& key = *findKey(meant);
    const auto set = sources.line.find(&key);
    out.warn(line.number,
             fmt::format("`{}` is not a Tarnwick key; did you mean `{}`? {}", line.name, meant,
                         set == sources.line.end()
                             ? fmt::format("The default {} applies.", key.defaultValue)
                             : fmt::format("That is set on line {}.", set->second->number)));
}

void checkKeyInSection(const IniLine& line, const char* section, const Sources& sources,
                       Findings& out)
{
    const KnownKey* key = findKey(line.name);
    if (key == nullptr) {
        return checkUnknownKey(line, sources, out);
    }
    if (key->section != section) {
        const bool set = sources.line.contains(key);
        out.warn(line.number,
                 fmt::format("`{}` belongs under [{}], not [{}]; here it is not read{}", line.name,
                             key->section, section, set ? "" : ", so " + defaultApplies(*key)));
        return;
    }
    const IniLine* first = sources.line.at(key);
    if (first != &line) {
        out.warn(line.number, fmt::format("`{}` again: only the first, on line {}, counts",
                                          line.name, first->number));
    }
}

void checkBlock(const Block& block, const Sources& sources, Findings& out)
{
    const IniLine& header = *block.header;
    const char* section = findSection(header.name);
    if (section == nullptr) {
        const char* meant =
            likelyMeant(header.name, knownSections, [](const char* s) { return s; });
        const bool knownKeysBelow = std::any_of(block.keys.begin(), block.keys.end(),
                                                [](const IniLine* l) { return findKey(l->name); });
        const std::string text =
            fmt::format("[{}] is not a Tarnwick section, so the keys below it are not read{}",
                        header.name, meant ? fmt::format("; did you mean [{}]?", meant) : "");
        meant || knownKeysBelow ? out.warn(header.number, text) : out.note(header.number, text);
        return;
    }
    const IniLine* first = sources.firstSection.at(section);
    if (first != &header) {
        const std::string text = fmt::format(
            "[{}] again: only the first, on line {}, is searched, so the keys below are not read",
            header.name, first->number);
        block.keys.empty() ? out.note(header.number, text) : out.warn(header.number, text);
        return;
    }
    for (const IniLine* line : block.keys) {
        checkKeyInSection(*line, section, sources, out);
    }
}

bool isThreshold(const KnownKey& key)
{
    return key.key[0] == 'F';
}

// The value as the plug-in uses it: thresholds are signed, the rest unsigned.
std::int64_t usedValue(const KnownKey& key, std::uint32_t raw)
{
    return isThreshold(key) ? static_cast<std::int32_t>(raw) : static_cast<std::int64_t>(raw);
}

void checkValue(const KnownKey& key, const IniLine& line, std::uint32_t raw, Findings& out)
{
    if (!line.hasEquals) {
        out.warn(line.number, fmt::format("`{}` has no `=` and no value, so {}", line.name,
                                          defaultApplies(key)));
        return;
    }
    if (line.value.empty()) {
        out.note(line.number,
                 fmt::format("`{}=` has no value, so {}", line.name, defaultApplies(key)));
        return;
    }
    const auto remark = remarkOnValue(line.value, std::to_string(usedValue(key, raw)));
    if (!remark) {
        return;
    }
    std::string text = fmt::format("`{}={}` {}", line.name, line.value, remark->remark);
    // What 0 does to a threshold or the range is said once, with the other effects.
    if (raw == 0 && key.zeroMeans != nullptr) {
        text += fmt::format(", so {}", key.zeroMeans);
    }
    remark->warning ? out.warn(line.number, text) : out.note(line.number, text);
}

// The reader turns any number but 0 into "on"; only 0 means off.
void checkEnabled(const Sources& sources, Findings& out)
{
    const auto found = sources.line.find(&knownKeys[0]);
    if (found == sources.line.end()) {
        return;
    }
    const IniLine& line = *found->second;
    const auto number = plainWholeNumber(line.value);
    if (number && *number != 0 && *number != 1) {
        out.note(line.number, fmt::format("`{}={}`: any number but 0 switches Tarnwick on",
                                          line.name, line.value));
    }
}

// Values the reader took as written whose effect is still surely not what was meant.
struct Effects {
    const GovernorSettings& settings;
    const Sources& sources;
    Findings& out;

    std::uint64_t lineOf(std::size_t index) const
    {
        const auto found = sources.line.find(&knownKeys[index]);
        return found == sources.line.end() ? 0 : found->second->number;
    }
    void thresholds() const;
    void range(std::uint32_t raw) const;
};

constexpr std::int32_t highestRefreshRate = 500;

void Effects::thresholds() const
{
    const std::int32_t moderate = settings.fpsModerate;
    const std::int32_t critical = settings.fpsCritical;
    if (moderate <= 0) {
        out.warn(lineOf(2), fmt::format("FPS_Moderate is {}: a frame rate never falls below it, so "
                                        "the game never counts as strained and nothing is purged",
                                        moderate));
    } else if (critical <= 0) {
        out.warn(lineOf(3), fmt::format("FPS_Critical is {}: a frame rate never falls below it, so "
                                        "the game never reaches Critical and nothing is purged",
                                        critical));
    } else if (critical >= moderate) {
        out.warn(std::max(lineOf(2), lineOf(3)),
                 fmt::format("FPS_Critical ({}) is not below FPS_Moderate ({}): every drop below "
                             "{} fps goes on to Critical",
                             critical, moderate, moderate));
    }
    if (critical > highestRefreshRate) {
        out.warn(lineOf(3), fmt::format("FPS_Critical is {}, above any monitor's refresh rate: the "
                                        "game always counts as strained and a purge runs every 7 "
                                        "seconds",
                                        critical));
    } else if (moderate > highestRefreshRate) {
        out.note(lineOf(2),
                 fmt::format("FPS_Moderate is {}, above any monitor's refresh rate: the "
                             "game is always at least Moderate, which alone does nothing",
                             moderate));
    }
}

void Effects::range(std::uint32_t raw) const
{
    const std::uint64_t line = lineOf(4);
    if (raw >= 0x80000000u) {
        out.warn(line, fmt::format("DetectionRange is read as {} (about {:.2f}e9), as a negative "
                                   "number is: no vehicle is ever that far, so nothing is ever "
                                   "purged",
                                   raw, static_cast<double>(raw) / 1e9));
    } else if (raw > 1000) {
        out.warn(line, fmt::format("DetectionRange {} is farther than vehicles stay from the "
                                   "player: purges remove almost nothing",
                                   raw));
    } else if (raw == 0) {
        out.warn(line, "DetectionRange is 0: a purge removes every ambient vehicle, however near");
    } else if (raw < 10) {
        out.warn(line, fmt::format("DetectionRange {} is so near that a purge removes nearly every "
                                   "ambient vehicle, even those beside the player",
                                   raw));
    }
}

std::string readFile(const std::filesystem::path& file, bool& exists)
{
    std::error_code error;
    const auto status = std::filesystem::status(file, error);
    exists = std::filesystem::exists(status);
    if (!exists) {
        return {};
    }
    if (std::filesystem::is_directory(status)) {
        throw std::runtime_error(utf8Of(file) + " is a folder, not a settings file");
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + utf8Of(file) + ": " +
                                 std::generic_category().message(errno));
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void showSettings(SettingsCheck& check, const Sources& sources,
                  const std::array<std::uint32_t, std::size(knownKeys)>& raw)
{
    for (std::size_t i = 0; i < std::size(knownKeys); ++i) {
        const KnownKey& key = knownKeys[i];
        CheckedSetting shown{key.section, key.key, usedValue(key, raw[i]), std::nullopt, true};
        if (const auto found = sources.line.find(&key); found != sources.line.end()) {
            shown.line = found->second->number;
        }
        shown.read = check.settings.enabled || i == 0;
        check.shown.push_back(shown);
    }
}

void fileNotes(const SettingsCheck& check, Findings& out)
{
    if (!check.exists) {
        out.note(0, fmt::format("{} does not exist: every key takes its default (not an error)",
                                utf8Of(check.file)));
    }
    if (check.encoding == IniEncoding::Utf16) {
        out.note(0, "the file is UTF-16 text: Windows reads it, and so does this check");
    }
    if (!check.settings.enabled) {
        out.note(0, "Enabled is 0: the plug-in stops there, reads no other key and never logs");
    }
}

} // namespace

const char* findingLevelName(FindingLevel level)
{
    return level == FindingLevel::Warning ? "warning" : "note";
}

SettingsCheck checkSettings(const std::filesystem::path& file)
{
    SettingsCheck check;
    check.file = file;
    const IniText text = scanIni(readFile(file, check.exists));
    check.encoding = text.encoding;
    const std::string path = utf8Of(file);
    check.settings = readSettings(path);
    std::array<std::uint32_t, std::size(knownKeys)> raw{};
    for (std::size_t i = 0; i < std::size(knownKeys); ++i) {
        const KnownKey& key = knownKeys[i];
        raw[i] = platformProfileInt(key.section, key.key, key.defaultValue, path.c_str());
    }
    const std::vector<Block> blocks = blocksOf(text);
    const Sources sources = sourcesOf(blocks);
    Findings out{check.findings};
    fileNotes(check, out);
    checkPreamble(blocks.front(), out);
    std::for_each(blocks.begin() + 1, blocks.end(),
                  [&](const Block& block) { checkBlock(block, sources, out); });
    const std::size_t keysRead = check.settings.enabled ? std::size(knownKeys) : 1;
    for (std::size_t i = 0; i < keysRead; ++i) {
        if (const auto found = sources.line.find(&knownKeys[i]); found != sources.line.end()) {
            checkValue(knownKeys[i], *found->second, raw[i], out);
        }
    }
    checkEnabled(sources, out);
    if (check.settings.enabled) {
        const Effects effects{check.settings, sources, out};
        effects.thresholds();
        effects.range(raw[4]);
    }
    showSettings(check, sources, raw);
    std::stable_sort(check.findings.begin(), check.findings.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
    return check;
}

} // namespace sim
