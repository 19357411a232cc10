// CapFrameX JSON: runs of frame times under Runs[n].CaptureData.MsBetweenPresents, the
// application's name under Info.ProcessName.
#include "sim/capture/csv.h"
#include "sim/capture/formats.h"
#include "sim/files.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace sim {
namespace {

std::uint64_t lineOfByte(const std::string& text, std::size_t byte)
{
    const auto end = text.begin() + static_cast<std::ptrdiff_t>(std::min(byte, text.size()));
    return 1 + static_cast<std::uint64_t>(std::count(text.begin(), end, '\n'));
}

nlohmann::json parseDocument(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    const std::string text = bytes.str();
    try {
        return nlohmann::json::parse(withoutBom(text));
    } catch (const nlohmann::json::parse_error& error) {
        failCapture(path, lineOfByte(text, error.byte), "not valid JSON");
    } catch (const nlohmann::json::exception& error) {
        // Such as a number beyond a double; the library's own words, without its code.
        const std::string what = error.what();
        const auto code = what.find("] ");
        failCapture(path, 0,
                    "not valid JSON: " +
                        (code == std::string::npos ? what : what.substr(code + 2)));
    }
}

const nlohmann::json& frameTimesOf(const std::filesystem::path& path,
                                   const nlohmann::json& document, std::size_t run)
{
    const auto runs = document.is_object() ? document.find("Runs") : document.end();
    if (runs == document.end() || !runs->is_array()) {
        failCapture(path, 0, "no Runs array: not a CapFrameX capture");
    }
    if (run >= runs->size()) {
        failCapture(path, 0,
                    "run " + std::to_string(run) + " not found: the capture has " +
                        std::to_string(runs->size()) + " runs");
    }
    const nlohmann::json::json_pointer at("/Runs/" + std::to_string(run) +
                                          "/CaptureData/MsBetweenPresents");
    if (!document.contains(at) || !document.at(at).is_array()) {
        failCapture(path, 0,
                    "no frame times: Runs[" + std::to_string(run) +
                        "].CaptureData.MsBetweenPresents is missing");
    }
    return document.at(at);
}

} // namespace

void readCapFrameX(const std::filesystem::path& path, const CaptureOptions& options,
                   const FrameSink& onFrame, CaptureSummary& summary)
{
    const nlohmann::json document = parseDocument(path);
    const nlohmann::json& frameTimes = frameTimesOf(path, document, options.run);
    const std::string where =
        "Runs[" + std::to_string(options.run) + "].CaptureData.MsBetweenPresents";
    std::uint64_t frames = 0;
    std::size_t index = 0;
    for (const nlohmann::json& value : frameTimes) {
        if (value.is_null() || (value.is_string() && value.get<std::string>() == "NA")) {
            ++summary.skippedCells;
        } else if (!value.is_number()) {
            failCapture(path, 0, where + "[" + std::to_string(index) + "] is not a number");
        } else {
            ++frames;
            onFrame(value.get<double>());
        }
        ++index;
    }
    const nlohmann::json::json_pointer processName("/Info/ProcessName");
    const bool named = document.contains(processName) && document.at(processName).is_string();
    summary.application =
        named ? document.at(processName).get<std::string>() : utf8Of(path.filename());
    summary.column = where;
    summary.applications = {{summary.application, frames}};
}

} // namespace sim
