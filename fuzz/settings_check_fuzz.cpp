// The settings check on arbitrary files: never a crash nor an exception but the check's own
// refusal, always the portable reader's values, and a report that any strict JSON parser takes.
// The platform's profile reader is the portable one, as in the simulator.
#include "host/platform.h"
#include "sim/check/settings_check.h"
#include "sim/host/profile_reader.h"
#include "sim/report/check_report.h"
#include "sim/text.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <unistd.h>

std::uint32_t platformProfileInt(const char* section, const char* key, std::int32_t defaultValue,
                                 const char* path)
{
    return sim::readProfileInt(section, key, defaultValue, path);
}

std::uint32_t platformModulePath(char*, std::uint32_t)
{
    return 0;
}

std::uint32_t platformTickMs()
{
    return 0;
}

std::ofstream platformOpenLog()
{
    return {};
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    static const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("tarnwick-settings-fuzz-" + std::to_string(getpid()) + ".ini");
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::abort();
    }
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    const sim::Result<sim::SettingsCheck> checked = sim::checkSettings(path);
    if (!checked) {
        return 0; // the check's word for a file it cannot read
    }
    const sim::SettingsCheck& check = *checked;
    const std::string json = sim::jsonText(sim::settingsCheckJson(check));
    if (!nlohmann::json::accept(json)) {
        std::abort();
    }
    std::ostringstream text;
    sim::printSettingsCheck(text, check);
    if (sim::markupText(text.str()).find('<') != std::string::npos) {
        std::abort();
    }
    return 0;
}
