// The look at the layout: what the plug-in's reader never reaches, and the name most likely meant.
#include "sim/ascii.h"
#include "sim/check/findings.h"

#include <algorithm>

namespace sim {

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

namespace {

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
        const std::string_view name = nameOf(candidate);
        // Lengths apart by the limit or more are that far at least: no table to fill, so a line of
        // any length costs nothing.
        if (std::max(written.size(), name.size()) - std::min(written.size(), name.size()) >=
            bestDistance) {
            continue;
        }
        const std::size_t distance = editDistance(written, name);
        if (distance < bestDistance) {
            best = nameOf(candidate);
            bestDistance = distance;
        }
    }
    return best;
}

} // namespace

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
            if (key != nullptr && std::string_view(key->section) == section &&
                !sources.line.contains(key->key)) {
                sources.line[key->key] = line;
            }
        }
    }
    return sources;
}

namespace {

void checkPreamble(const Block& block, Findings& out)
{
    for (const IniLine* line : block.keys) {
        const KnownKey* key = findKey(line->name);
        out.add(FindingLevel::Warning, "keys before any section", line->number,
                fmt::format("`{}` comes before any [section], so it is not read{}",
                            shown(line->name),
                            key ? fmt::format("; it belongs under [{}]", key->section) : ""));
    }
}

void checkUnknownKey(const IniLine& line, const Sources& sources, Findings& out)
{
    if (line.name.empty()) {
        out.add(FindingLevel::Note, "lines without a key name", line.number,
                fmt::format("`={}` has no key name: it is not read", shown(line.value)));
        return;
    }
    const char* meant = likelyMeant(line.name, knownKeys, [](const KnownKey& k) { return k.key; });
    if (meant == nullptr) {
        out.add(FindingLevel::Note, "lines that are not Tarnwick keys", line.number,
                fmt::format("`{}` is not a Tarnwick key: it is not read", shown(line.name)));
        return;
    }
    const KnownKey& key = *findKey(meant);
    const auto set = sources.line.find(key.key);
    out.add(FindingLevel::Warning, "misspelt keys", line.number,
            fmt::format("`{}` is not a Tarnwick key; did you mean `{}`? {}", shown(line.name),
                        meant,
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
    if (std::string_view(key->section) != section) {
        const bool set = sources.line.contains(key->key);
        out.add(FindingLevel::Warning, "keys in the wrong section", line.number,
                fmt::format("`{}` belongs under [{}], not [{}]; here it is not read{}", line.name,
                            key->section, section, set ? "" : ", so " + defaultApplies(*key)));
        return;
    }
    const IniLine* first = sources.line.at(key->key);
    if (first != &line) {
        out.add(FindingLevel::Warning, "repeated keys", line.number,
                fmt::format("`{}` again: only the first, on line {}, counts", line.name,
                            first->number));
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
        std::string text = fmt::format(
            "[{}] is not a Tarnwick section, so the keys below it are not read{}",
            shown(header.name), meant ? fmt::format("; did you mean [{}]?", meant) : "");
        out.add(meant || knownKeysBelow ? FindingLevel::Warning : FindingLevel::Note,
                "sections that are not Tarnwick's", header.number, std::move(text));
        return;
    }
    const IniLine* first = sources.firstSection.at(section);
    if (first != &header) {
        std::string text = fmt::format(
            "[{}] again: only the first, on line {}, is searched, so the keys below are not read",
            header.name, first->number);
        out.add(block.keys.empty() ? FindingLevel::Note : FindingLevel::Warning,
                "repeated sections", header.number, std::move(text));
        return;
    }
    for (const IniLine* line : block.keys) {
        checkKeyInSection(*line, section, sources, out);
    }
}

} // namespace

void checkLayout(const std::vector<Block>& blocks, const Sources& sources, Findings& out)
{
    checkPreamble(blocks.front(), out);
    std::for_each(blocks.begin() + 1, blocks.end(),
                  [&](const Block& block) { checkBlock(block, sources, out); });
}

} // namespace sim
