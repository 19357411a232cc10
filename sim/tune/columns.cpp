#include "sim/tune/columns.h"

#include "sim/tune/sweep.h"

#include <exception>
#include <thread>

namespace sim {

std::vector<std::vector<CellResult>> evaluateColumns(const TuneFrames& frames,
                                                     const std::vector<ColumnSpan>& spans)
{
    // Sweeps of equal size, an even number of them so that both cores have as much to do; a sweep
    // takes every so many columns, so that each has some of every kind.
    const std::size_t workers = std::thread::hardware_concurrency() > 1 ? 2 : 1;
    std::size_t sweeps = (spans.size() + sweepColumns - 1) / sweepColumns;
    sweeps = (sweeps + workers - 1) / workers * workers;
    std::vector<std::vector<ColumnSpan>> parts(sweeps);
    for (std::size_t c = 0; c < spans.size(); ++c) {
        parts[c % sweeps].push_back(spans[c]);
    }
    std::vector<std::vector<std::vector<CellResult>>> results(sweeps);
    std::vector<std::exception_ptr> failures(workers);
    const auto work = [&](std::size_t worker) {
        try {
            for (std::size_t s = worker; s < sweeps; s += workers) {
                if (!parts[s].empty()) {
                    results[s] = sweepFrames(frames, parts[s]);
                }
            }
        } catch (...) {
            failures[worker] = std::current_exception();
        }
    };
    std::vector<std::thread> threads;
    for (std::size_t w = 1; w < workers; ++w) {
        threads.emplace_back(work, w);
    }
    work(0);
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (const std::exception_ptr& failure : failures) {
        if (failure) {
            std::rethrow_exception(failure);
        }
    }
    std::vector<std::vector<CellResult>> cells(spans.size());
    for (std::size_t c = 0; c < spans.size(); ++c) {
        cells[c] = std::move(results[c % sweeps][c / sweeps]);
    }
    return cells;
}

} // namespace sim
