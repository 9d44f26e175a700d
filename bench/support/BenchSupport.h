#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace marlit::bench {

// Runs work repeatedly and gives the median and the 95th percentile of its wall-clock times, in
// milliseconds. One untimed run first warms the caches.
struct Timing
{
    double medianMs = 0;
    double p95Ms = 0;
};

Timing measure(int runs, const std::function<void()> &work);
Timing summarise(std::vector<double> samplesMs);

double elapsedMs(std::chrono::steady_clock::time_point since);

// Prints one line: what was measured, its median, and its ratio to the baseline's median.
void report(const std::string &what, const Timing &timing, const Timing &baseline);

} // namespace marlit::bench
