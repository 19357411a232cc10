// Tarnwick.asi and Tarnwick.log as the doctor reads them, from any bytes: no read outside them,
// and what comes out has the shape it promises.
#include "sim/doctor/binary.h"
#include "sim/doctor/log_lines.h"

#include <cstdlib>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const sim::PortableExecutable pe = sim::readPortableExecutable(bytes);
    if (pe.headers == !pe.problem.empty()) {
        std::abort(); // a problem is said exactly when the headers are not there
    }
    if (pe.version && pe.version->find_first_not_of("0123456789.") != std::string::npos) {
        std::abort();
    }
    if (pe.product && (pe.product->empty() || pe.product->size() > 1024)) {
        std::abort(); // said only when there is one, and of at most 256 UTF-16 units
    }
    if (const auto stamp = sim::findStamp(bytes); stamp && stamp->size() != sim::stampBytes - 3) {
        std::abort();
    }
    std::istringstream in{std::string(bytes)};
    const sim::LogLines log = sim::countLogLines(in);
    std::uint64_t listed = 0;
    for (const sim::BuildLines& build : log.builds) {
        listed += build.lines;
    }
    if (listed > log.purges || (log.purges > 0) != log.lastStamp.has_value()) {
        std::abort();
    }
    return 0;
}
