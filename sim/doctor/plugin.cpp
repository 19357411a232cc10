// Tarnwick.asi: there, loadable by the 64-bit game, Tarnwick and of this tool's version; where it
// went instead, and its copies, are in plugin_elsewhere.cpp.
#include "sim/ascii.h"
#include "sim/doctor/binary.h"
#include "sim/doctor/inside.h"
#include "sim/files.h"
#include "sim/text.h"

#include <fmt/format.h>

namespace sim {
namespace {

constexpr std::string_view tarnwickProduct = "Tarnwick"; // the version resource's ProductName

const char* const copyFromTheZip =
    "copy Tarnwick.asi from Tarnwick's zip into the game's folder, over this one (SHA256SUMS.txt "
    "in the zip tells whether a file is whole)";

std::string machineText(std::uint16_t machine)
{
    if (machine == machineI386) {
        return "a 32-bit DLL";
    }
    return fmt::format("built for another processor (machine 0x{:04X})", machine);
}

// The installed file as read, with what the rows below say of it.
struct Installed {
    PortableExecutable pe;
    std::optional<std::string> stamp;
    std::string toolVersion;
    int order = 0; // its version against the tool's

    std::string version() const { return pe.version.value_or(""); }
    std::string built() const { return stamp ? " (built " + *stamp + ")" : ""; }
};

// Which facts a finding carries: each row knows what the rows before it found out.
enum class Known { File, Binary, Product, Build };

// What Tarnwick.asi may turn out to be, in the order it is looked for; the first that holds is
// said. Rows from Known::Build on give the build stamp to the log's examination.
struct Row {
    const char* id;
    Severity severity;
    Known known;
    bool (*holds)(const Installed&);
    std::string (*said)(const Installed&);
    std::string (*toDo)(const Installed&);
};

std::string fromTheZip(const Installed&)
{
    return copyFromTheZip;
}

const Row rows[] = {
    {"plugin.notADll", Severity::NeedsDoing, Known::File,
     [](const Installed& i) { return !i.pe.headers; },
     [](const Installed& i) { return "Tarnwick.asi is not a Windows DLL: " + i.pe.problem; },
     fromTheZip},
    {"plugin.otherProduct", Severity::NeedsDoing, Known::Product,
     [](const Installed& i) {
         return i.pe.product && !equalsIgnoringCase(*i.pe.product, tarnwickProduct);
     },
     [](const Installed& i) {
         return fmt::format("Tarnwick.asi is not Tarnwick: its version resource names another "
                            "product, {}{}",
                            shown(*i.pe.product), i.pe.version ? ", version " + i.version() : "");
     },
     [](const Installed& i) {
         return fmt::format("if you meant to install Tarnwick, copy Tarnwick.asi from Tarnwick's "
                            "zip into the game's folder, over this one (to keep {} as well, first "
                            "give this file a name of its own)",
                            shown(*i.pe.product));
     }},
    {"plugin.not64Bit", Severity::NeedsDoing, Known::Binary,
     [](const Installed& i) { return i.pe.machine != machineX64; },
     [](const Installed& i) {
         return "Tarnwick.asi is " + machineText(i.pe.machine) +
                ": the game is 64-bit and cannot load it";
     },
     fromTheZip},
    {"plugin.notADll", Severity::NeedsDoing, Known::Binary,
     [](const Installed& i) { return !i.pe.dll; },
     [](const Installed&) -> std::string {
         return "Tarnwick.asi is not a Windows DLL: it is a program (.exe) under that name";
     },
     fromTheZip},
    {"plugin.noVersion", Severity::NeedsDoing, Known::Build,
     [](const Installed& i) { return !i.pe.version; },
     [](const Installed&) -> std::string {
         return "Tarnwick.asi is a 64-bit DLL without a version: not a build from Tarnwick's zip";
     },
     fromTheZip},
    {"plugin.older", Severity::NeedsDoing, Known::Build,
     [](const Installed& i) { return i.order < 0; },
     [](const Installed& i) {
         return fmt::format("Tarnwick.asi is version {}{}, older than this tool ({})", i.version(),
                            i.built(), i.toolVersion);
     },
     [](const Installed&) -> std::string {
         return "copy Tarnwick.asi from the zip this tool came with into the game's folder, over "
                "the old one";
     }},
    {"plugin.newer", Severity::Note, Known::Build, [](const Installed& i) { return i.order > 0; },
     [](const Installed& i) {
         return fmt::format("Tarnwick.asi is version {}{}, newer than this tool ({}), which may "
                            "not know what changed",
                            i.version(), i.built(), i.toolVersion);
     },
     [](const Installed&) -> std::string {
         return "use the tools\\tarnwick-sim.exe from Tarnwick.asi's own zip";
     }},
    {"plugin.found", Severity::Fine, Known::Build, [](const Installed&) { return true; },
     [](const Installed& i) {
         return fmt::format("Tarnwick.asi: version {}{}, a 64-bit DLL, the same version as this "
                            "tool",
                            i.version(), i.built());
     },
     [](const Installed&) { return std::string(); }},
};

nlohmann::json orNull(const std::optional<std::string>& text)
{
    return text ? nlohmann::json(*text) : nlohmann::json(nullptr);
}

nlohmann::json factsOf(const Installed& installed, Known known, nlohmann::json facts)
{
    if (known >= Known::Binary) {
        facts["machine"] = fmt::format("0x{:04X}", installed.pe.machine);
        facts["product"] = orNull(installed.pe.product);
    }
    if (known >= Known::Product) {
        facts["version"] = orNull(installed.pe.version);
    }
    if (known == Known::Build) {
        facts["buildStamp"] = orNull(installed.stamp);
    }
    return facts;
}

// Tarnwick.asi, as the loader and the game will find it.
std::optional<std::string> examineInstalled(const std::filesystem::path& folder,
                                            const FolderEntry* entry,
                                            const std::string& toolVersion,
                                            std::vector<DoctorFinding>& out)
{
    const std::filesystem::path file = folder / pathFromUtf8(entry->name);
    const nlohmann::json facts = {{"file", utf8Of(file)}, {"toolVersion", toolVersion}};
    const Result<std::string> bytes = readBounded(file, maxPluginBytes);
    if (!bytes) {
        out.push_back({"plugin.unreadable",
                       Severity::NeedsDoing,
                       "cannot read Tarnwick.asi: " + reasonText(bytes.failure()),
                       copyFromTheZip,
                       {},
                       facts});
        return std::nullopt;
    }
    Installed installed{readPortableExecutable(*bytes), findStamp(*bytes), toolVersion};
    if (installed.pe.version) {
        installed.order = compareVersions(*installed.pe.version, toolVersion);
    }
    for (const Row& row : rows) {
        if (row.holds(installed)) {
            out.push_back({row.id,
                           row.severity,
                           row.said(installed),
                           row.toDo(installed),
                           {},
                           factsOf(installed, row.known, facts)});
            return row.known == Known::Build ? installed.stamp : std::nullopt;
        }
    }
    return std::nullopt; // the last row always holds
}

} // namespace

bool isTarnwick(std::string_view product)
{
    return equalsIgnoringCase(product, tarnwickProduct);
}

std::optional<std::string> examinePlugin(const std::filesystem::path& folder,
                                         const std::vector<FolderEntry>& entries,
                                         const std::string& toolVersion,
                                         std::vector<DoctorFinding>& out)
{
    const FolderEntry* entry = findEntry(entries, pluginName);
    const std::vector<OtherName> here = otherNames(folder, entries, entry);
    std::optional<std::string> stamp;
    if (entry == nullptr) {
        pluginNotFound(folder, entries, here, out);
    } else {
        stamp = examineInstalled(folder, entry, toolVersion, out);
    }
    // Without Tarnwick.asi, the one the player is told to rename is the one kept.
    const std::string kept = entry ? entry->name : here.empty() ? "" : here.front().name;
    extraCopies(kept, here, out);
    return stamp;
}

} // namespace sim
