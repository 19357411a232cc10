// A capture's summary in words: its format's name, counts, a cut end, a stopped input.
#include "sim/capture/capture.h"

#include <fmt/format.h>

namespace sim {

const char* captureFormatName(CaptureFormat format)
{
    switch (format) {
    case CaptureFormat::PresentMon:
        return "PresentMon/OCAT CSV";
    case CaptureFormat::CapFrameX:
        return "CapFrameX JSON";
    case CaptureFormat::MangoHud:
        return "MangoHud CSV";
    case CaptureFormat::PlainText:
        return "plain text";
    case CaptureFormat::TarnwickRecord:
        return "Tarnwick frame record";
    }
    return "?";
}

std::string countText(std::uint64_t count)
{
    // Written forwards: inserting into the digits drew a false -Wrestrict from GCC 12 at -O2.
    const std::string digits = std::to_string(count);
    std::string text;
    text.reserve(digits.size() + digits.size() / 3);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            text.push_back(',');
        }
        text.push_back(digits[i]);
    }
    return text;
}

std::string cutShortText(const CaptureSummary& summary)
{
    if (summary.cutLastLineBytes > 0) {
        // A stop in the middle of a line cuts it too; the tool is not to blame then.
        return "the last line is cut short (" + std::to_string(summary.cutLastLineBytes) +
               " bytes): left out; " +
               (summary.stoppedAtMs ? "the input was stopped while it came"
                                    : "the capture tool was probably stopped while writing");
    }
    if (summary.cutJsonAfterBytes > 0) {
        return "the file ends inside its JSON (cut short after " +
               std::to_string(summary.cutJsonAfterBytes) +
               " bytes): the frames before the cut are read; the capture tool was probably "
               "stopped while writing";
    }
    return "";
}

std::string describeStop(const CaptureSummary& summary)
{
    if (!summary.stoppedAtMs) {
        return {};
    }
    return fmt::format("the input was stopped (Ctrl+C) at {:.1f} s of the capture: what came "
                       "before is judged",
                       *summary.stoppedAtMs / 1000.0);
}

} // namespace sim
