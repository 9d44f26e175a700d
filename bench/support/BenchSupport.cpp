#include "BenchSupport.h"

#include <algorithm>
#include <cstdio>

#include <dirent.h>

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

std::vector<Timing> measureInterleaved(int runs, const std::vector<std::function<void()>> &works)
{
    std::vector<std::vector<double>> samples(works.size());
    for (const auto &work : works)
        work();
    for (int run = 0; run < runs; ++run) {
        for (std::size_t i = 0; i < works.size(); ++i) {
            const auto start = std::chrono::steady_clock::now();
            works[i]();
            samples[i].push_back(elapsedMs(start));
        }
    }
    std::vector<Timing> timings;
    timings.reserve(samples.size());
    for (auto &series : samples)
        timings.push_back(summarise(std::move(series)));
    return timings;
}

void plainReaddir(const std::string &folder, std::vector<std::string> &names, bool recurse)
{
    DIR *dir = opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent *entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        names.push_back(name);
        if (recurse && entry->d_type == DT_DIR)
            plainReaddir(folder + name + "/", names, true);
    }
    closedir(dir);
}

void report(const std::string &what, const Timing &timing, const Timing &baseline)
{
    const double ratio = baseline.medianMs > 0 ? timing.medianMs / baseline.medianMs : 0.0;
    std::printf("%-48s median %9.3f ms  p95 %9.3f ms  ratio %6.2fx\n", what.c_str(), timing.medianMs, timing.p95Ms,
                ratio);
}

void verdict(const char *what, const Timing &timing, const Timing &baseline, double target)
{
    const double ratio = timing.medianMs / baseline.medianMs;
    std::printf("  %-46s %.2fx (target <= %.2fx): %s\n", what, ratio, target, ratio <= target ? "met" : "MISSED");
}

std::string catalogueRecord(const std::string &name, const std::string &romDirectory)
{
    return "NAME = " + name + "\r\nDESC = benchmark\r\nROMDIR = " + romDirectory +
           "\r\nEMU = /bin/true\r\nCOMMAND LINE = \r\nICON = \r\nSNAPADIR = \r\nSNAPBDIR = \r\nSNAPSHOT = \r\n\r\n";
}

} // namespace marlit::bench
