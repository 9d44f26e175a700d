#include "BenchSupport.h"

#include <algorithm>
#include <cstdio>

namespace marlit::bench {

Timing summarise(std::vector<double> samplesMs)
{
    Timing timing;
    if (samplesMs.empty())
        return timing;
    std::sort(samplesMs.begin(), samplesMs.end());
    timing.medianMs = samplesMs[samplesMs.size() / 2];
    timing.p95Ms = samplesMs[std::min(samplesMs.size() - 1, samplesMs.size() * 95 / 100)];
    return timing;
}

double elapsedMs(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

Timing measure(int runs, const std::function<void()> &work)
{
    work();
    std::vector<double> samples;
    samples.reserve(static_cast<std::size_t>(runs));
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        samples.push_back(elapsedMs(start));
    }
    return summarise(std::move(samples));
}

void report(const std::string &what, const Timing &timing, const Timing &baseline)
{
    const double ratio = baseline.medianMs > 0 ? timing.medianMs / baseline.medianMs : 0.0;
    std::printf("%-48s median %9.3f ms  p95 %9.3f ms  ratio %6.2fx\n", what.c_str(), timing.medianMs, timing.p95Ms,
                ratio);
}

} // namespace marlit::bench
