// Every capture format's parser on arbitrary files: a clear CaptureError or frames, never a
// crash, a hang or another exception; every frame handed on is a finite number. The first byte
// picks the parser (or recognition from the file); the rest is the file.
#include "sim/capture/capture.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    static const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                              ("tarnwick-capture-fuzz-" + std::to_string(getpid()));
    if (size == 0) {
        return 0;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::abort();
    }
    std::fwrite(data + 1, 1, size - 1, file);
    std::fclose(file);
    sim::CaptureOptions options;
    options.restart = [] {};
    constexpr sim::CaptureFormat formats[] = {
        sim::CaptureFormat::PresentMon, sim::CaptureFormat::CapFrameX, sim::CaptureFormat::MangoHud,
        sim::CaptureFormat::PlainText};
    if (data[0] % 5 < 4) {
        options.format = formats[data[0] % 5];
    }
    try {
        sim::replayCapture(path, options, [](double ms) {
            if (!std::isfinite(ms)) {
                std::abort();
            }
        });
    } catch (const sim::CaptureError&) {
        // the expected answer to a malformed capture
    }
    return 0;
}
