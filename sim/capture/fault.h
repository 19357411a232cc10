// Inside the capture readers, a fault found deep in a line, a cell or a JSON event ends the whole
// read: it is thrown as a CaptureError that carries its Failure, and replayCapture and
// whyNotACapture, the module's ways in, catch it and hand the Failure on. Nothing outside
// sim/capture/ sees one.
#pragma once

#include "sim/failure.h"

#include <stdexcept>
#include <utility>

namespace sim {

struct CaptureError : std::runtime_error {
    explicit CaptureError(Failure fault)
        : std::runtime_error(failureText(fault)), failure(std::move(fault))
    {
    }
    Failure failure;
};

} // namespace sim
