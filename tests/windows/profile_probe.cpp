// Prints every key the plug-in reads from each profile file given, through the platform's
// profile reader: GetPrivateProfileIntA on Windows, the portable reader elsewhere. Two defaults
// per key (the plug-in's, and a sentinel) tell a value from a default.
#include "host/platform.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    const struct {
        const char* section;
        const char* key;
        std::int32_t defaultValue;
    } keys[] = {{"Main", "Enabled", 1},
                {"Main", "Logging", 1},
                {"Settings", "FPS_Moderate", 45},
                {"Settings", "FPS_Critical", 35},
                {"Settings", "DetectionRange", 50}};
    constexpr std::int32_t sentinel = -559038737; // 0xDEADBEEF
    for (int i = 1; i < argc; ++i) {
        const char* name = argv[i];
        for (const char* p = argv[i]; *p != '\0'; ++p) {
            if (*p == '/' || *p == '\\') {
                name = p + 1;
            }
        }
        for (const auto& k : keys) {
            std::printf("%s %s/%s %u %u\n", name, k.section, k.key,
                        platformProfileInt(k.section, k.key, k.defaultValue, argv[i]),
                        platformProfileInt(k.section, k.key, sentinel, argv[i]));
        }
    }
    return 0;
}
