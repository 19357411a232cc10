// Inside the settings check: the keys the plug-in reads, the file cut into sections, where each
// key comes from, and the two kinds of look, at the layout and at the values.
#pragma once

#include "settings/settings.h"
#include "sim/check/ini_text.h"
#include "sim/check/settings_check.h"
#include "sim/text.h"

#include <fmt/format.h>

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// The plug-in's keys, in the order it reads them, with what the check adds to each.
struct KnownKey {
    const char* section;
    const char* key;
    std::int32_t defaultValue;
    const char* zeroMeans; // what a value of 0 does, in a player's words, where no effect says it
    bool threshold;        // a frame rate, read as a signed number
};

constexpr KnownKey knownKey(const SettingKey& key, const char* zeroMeans, bool threshold)
{
    return {key.section, key.name, key.defaultValue, zeroMeans, threshold};
}

inline constexpr KnownKey knownKeys[] = {
    knownKey(enabledKey, "Tarnwick is switched off", false),
    knownKey(loggingKey, "no log is written", false),
    knownKey(fpsModerateKey, nullptr, true),
    knownKey(fpsCriticalKey, nullptr, true),
    knownKey(detectionRangeKey, nullptr, false),
    knownKey(recordKey, nullptr, false),
};

// A key's place in knownKeys (and in every array that follows it), by its name.
constexpr std::size_t placeOf(const SettingKey& key)
{
    for (std::size_t i = 0; i < std::size(knownKeys); ++i) {
        if (std::string_view(knownKeys[i].key) == key.name) {
            return i;
        }
    }
    return std::size(knownKeys);
}
inline constexpr const char* knownSections[] = {"Main", "Settings"};

const KnownKey* findKey(std::string_view name);
const char* findSection(std::string_view name);

// Lines under one section header (or before any, with no header).
struct Block {
    const IniLine* header = nullptr;
    std::vector<const IniLine*> keys;
};

std::vector<Block> blocksOf(const IniText& text);

// Where each key the plug-in reads comes from: the first section of its name, the first line of
// its name in it.
struct Sources {
    // By name, never by address: a table's address may differ from one file to another.
    std::map<std::string_view, const IniLine*> line;         // by key
    std::map<std::string_view, const IniLine*> firstSection; // by section
};

Sources sourcesOf(const std::vector<Block>& blocks);

// A file of junk has a finding on every line: of each kind the first few are given in full, the
// rest counted in one note at the first of them.
inline constexpr std::size_t findingsOfAKind = 5;

struct Findings {
    std::vector<Finding>& list;
    struct Counted {
        std::uint64_t firstLine = 0;
        std::uint64_t lastLine = 0;
        std::uint64_t more = 0;
        std::size_t given = 0;
    };
    std::map<std::string, Counted, std::less<>> kinds = {}; // by what the kind is, in a plural

    void warn(std::uint64_t line, std::string message)
    {
        list.push_back({FindingLevel::Warning, line, std::move(message)});
    }
    void note(std::uint64_t line, std::string message)
    {
        list.push_back({FindingLevel::Note, line, std::move(message)});
    }
    // in: kind, what findings of this kind are, such as "lines that are not Tarnwick keys".
    void add(FindingLevel level, std::string_view kind, std::uint64_t line, std::string message)
    {
        auto found = kinds.find(kind);
        if (found == kinds.end()) {
            found = kinds.emplace(std::string(kind), Counted{}).first;
        }
        Counted& counted = found->second;
        if (counted.given < findingsOfAKind) {
            ++counted.given;
            list.push_back({level, line, std::move(message)});
            return;
        }
        counted.firstLine = counted.more == 0 ? line : counted.firstLine;
        counted.lastLine = line;
        ++counted.more;
    }
    // The counts of what add() did not give in full.
    void countTheRest()
    {
        for (const auto& [kind, counted] : kinds) {
            if (counted.more > 0) {
                note(counted.firstLine, fmt::format("and {} more {}, from here to line {}",
                                                    counted.more, kind, counted.lastLine));
            }
        }
    }
};

inline std::string defaultApplies(const KnownKey& key)
{
    return fmt::format("the default {} applies", key.defaultValue);
}

// Sections and keys the plug-in never reads, repeats, keys before any section.
void checkLayout(const std::vector<Block>& blocks, const Sources& sources, Findings& out);

// The value as the plug-in uses it: thresholds are signed, the rest unsigned.
std::int64_t usedValue(const KnownKey& key, std::uint32_t raw);

// Values that are not plain whole numbers, and values whose effect is surely not meant.
// in: raw, what the reader gave for each of knownKeys.
void checkValues(const GovernorSettings& settings, const Sources& sources,
                 const std::array<std::uint32_t, std::size(knownKeys)>& raw, Findings& out);

} // namespace sim
