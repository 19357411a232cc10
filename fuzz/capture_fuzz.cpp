// Every capture format's parser on arbitrary files: a clear CaptureError or frames, never a
// crash, a hang or another exception; every frame handed on is a finite number; what the writers
// make of the names read (JSON, markup) is well-formed. The first byte picks the parser (or
// recognition from the file); the rest is the file.
#include "sim/capture/capture.h"
#include "sim/text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

// Markup from any text has no tag, no bare ampersand and only the characters XML allows.
bool wellFormedMarkup(const std::string& text)
{
    if (sim::playerText(text) != text) {
        return false; // not UTF-8
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '<' || c == '>' || c == '"' || c == '\'' ||
            (c < 0x20 && c != '\t' && c != '\n' && c != '\r')) {
            return false;
        }
        if (c == '&' && text.find(';', i) == std::string::npos) {
            return false;
        }
    }
    return true;
}

void checkWriters(const sim::CaptureSummary& summary)
{
    nlohmann::json names = nlohmann::json::array();
    for (const sim::AppFrames& app : summary.applications) {
        names.push_back(app.name);
    }
    const std::string json = sim::jsonText({{"application", summary.application},
                                            {"column", summary.frameTimesFrom},
                                            {"others", names}});
    if (!nlohmann::json::accept(json) ||
        nlohmann::json::parse(json)["application"] != sim::playerText(summary.application)) {
        std::abort();
    }
    for (const std::string& text : {summary.application, summary.frameTimesFrom}) {
        if (!wellFormedMarkup(sim::markupText(text)) ||
            !wellFormedMarkup(sim::markupText(sim::shown(text)))) {
            std::abort();
        }
    }
}

} // namespace

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
    sim::CaptureSummary summary;
    if (sim::Result<sim::CaptureSummary> read = sim::replayCapture(path, options, [](double ms) {
            if (!std::isfinite(ms)) {
                std::abort();
            }
        })) {
        summary = std::move(*read);
    } else {
        summary.application = sim::failureText(read.failure()); // messages quote the file too
    }
    checkWriters(summary);
    return 0;
}
