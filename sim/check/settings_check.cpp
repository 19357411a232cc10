// The settings check put together: the file read, its findings gathered, every key shown with
// where it came from.
#include "sim/check/settings_check.h"
#include "sim/files.h"

#include "host/platform.h"
#include "sim/ascii.h"
#include "sim/check/findings.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>

namespace sim {
namespace {

// Far beyond any settings file, and the check holds what it reads: a source without end
// (/dev/zero, a pipe that never closes) stops here.
constexpr std::uint64_t maxSettingsBytes = std::uint64_t{64} << 20;

void showSettings(SettingsCheck& check, const Sources& sources,
                  const std::array<std::uint32_t, std::size(knownKeys)>& raw)
{
    for (std::size_t i = 0; i < std::size(knownKeys); ++i) {
        const KnownKey& key = knownKeys[i];
        CheckedSetting shown{key.section, key.key, usedValue(key, raw[i]), std::nullopt, true};
        if (const auto found = sources.line.find(key.key); found != sources.line.end()) {
            shown.line = found->second->number;
        }
        shown.read = check.settings.enabled || i <= placeOf(enabledKey);
        check.shown.push_back(shown);
    }
}

} // namespace

std::vector<std::string> nearNames(const std::filesystem::path& file)
{
    std::vector<std::string> found;
    const std::string wanted = utf8Of(file.filename());
    std::error_code error;
    std::filesystem::directory_iterator entries(
        file.parent_path().empty() ? "." : file.parent_path(), error);
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        const std::string name = utf8Of(entries->path().filename());
        std::string bare = name;
        std::erase(bare, ' ');
        const bool extended =
            bare.size() > wanted.size() &&
            equalsIgnoringCase(std::string_view(bare).substr(0, wanted.size()), wanted);
        if (name != wanted && (extended || equalsIgnoringCase(bare, wanted)) &&
            entries->is_regular_file(error)) {
            found.push_back(name);
        }
        if (found.size() == 5) {
            break;
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

namespace {

// ASCII names with a zero byte beside every letter, and no mark to say so.
bool looksLikeUtf16WithoutAMark(std::string_view bytes, IniEncoding encoding)
{
    if (encoding != IniEncoding::Ansi || bytes.size() < 4) {
        return false;
    }
    const bool little =
        bytes[0] != '\0' && bytes[1] == '\0' && bytes[2] != '\0' && bytes[3] == '\0';
    const bool big = bytes[0] == '\0' && bytes[1] != '\0' && bytes[2] == '\0' && bytes[3] != '\0';
    return little || big;
}

void fileNotes(const SettingsCheck& check, Findings& out)
{
    if (!check.exists) {
        const std::vector<std::string> near = nearNames(check.file);
        if (near.empty()) {
            out.note(0, fmt::format("{} does not exist: every key takes its default (not an error)",
                                    utf8Of(check.file)));
        } else {
            out.warn(0, fmt::format("{} does not exist, but {} does beside it: the plug-in reads "
                                    "only {}, so every key takes its default; rename the file "
                                    "(an editor that hides extensions may have added one)",
                                    utf8Of(check.file), shown(near.front()),
                                    utf8Of(check.file.filename())));
        }
    }
    if (check.encoding == IniEncoding::Utf16) {
        out.note(0, "the file is UTF-16 text: Windows reads it, and so does this check");
    }
    if (!check.settings.enabled) {
        out.note(0, "Enabled is 0: the plug-in stops there, reads no other key and never logs");
    }
}

} // namespace

std::int64_t shownValue(const SettingsCheck& check, const SettingKey& key)
{
    for (const CheckedSetting& shown : check.shown) {
        if (std::string_view(shown.key) == key.name) {
            return shown.value;
        }
    }
    return key.defaultValue;
}

const char* findingLevelName(FindingLevel level)
{
    return level == FindingLevel::Warning ? "warning" : "note";
}

Result<SettingsCheck> checkSettings(const std::filesystem::path& file)
{
    SettingsCheck check;
    check.file = file;
    // The check and the reader each read the file: a pipe would give its text to one of them.
    Result<std::string> read = readBounded(file, maxSettingsBytes);
    check.exists = read || read.failure().kind != FailureKind::Missing;
    if (!read && check.exists) {
        return toldAs(read.failure(), FailureAct::ReadSettings);
    }
    const std::string bytes = read ? std::move(*read) : std::string();
    const IniText text = scanIni(bytes);
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
    if (looksLikeUtf16WithoutAMark(bytes, text.encoding)) {
        // Its lines read as bytes are noise: saying what each becomes would only confuse.
        out.warn(0, "the file looks like UTF-16 text without a byte-order mark: Windows reads it "
                    "as bytes, finds no section and no key, so every key takes its default; save "
                    "it as ANSI or UTF-8 (Notepad: Save As, Encoding)");
    } else {
        checkLayout(blocks, sources, out);
        checkValues(check.settings, sources, raw, out);
    }
    out.countTheRest();
    showSettings(check, sources, raw);
    std::stable_sort(check.findings.begin(), check.findings.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
    return check;
}

} // namespace sim
