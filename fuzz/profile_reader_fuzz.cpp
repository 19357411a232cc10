// The portable profile reader on arbitrary files. The first byte picks the key; the rest is the
// file. Besides not crashing: a file that never names the key must give the default.
#include "sim/host/profile_reader.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

// UTF-16 files name keys with NUL bytes between the letters.
bool mentions(std::string file, const std::string& name)
{
    file.erase(std::remove(file.begin(), file.end(), '\0'), file.end());
    const auto it = std::search(file.begin(), file.end(), name.begin(), name.end(),
                                [](char a, char b) { return std::tolower(a) == std::tolower(b); });
    return it != file.end();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const struct {
        const char* section;
        const char* key;
    } keys[] = {{"Main", "Enabled"},
                {"Main", "Logging"},
                {"Settings", "FPS_Moderate"},
                {"Settings", "FPS_Critical"},
                {"Settings", "DetectionRange"}};
    const auto& k = keys[data[0] % 5];
    const std::string file(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::istringstream stream(file);
    const std::uint32_t value = sim::readProfileIntFrom(stream, k.section, k.key, 12345);
    if (!mentions(file, k.key) && value != 12345) {
        std::abort(); // a value out of nowhere
    }
    return 0;
}
