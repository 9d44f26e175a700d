#pragma once

#include "ResidentMemory.h"

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

// Times each piece of work in turn, run after run, so that a change in the load of the machine
// during the benchmark touches all of them alike. One untimed round first warms the caches. The
// timings come in the order of the works.
std::vector<Timing> measureInterleaved(int runs, const std::vector<std::function<void()>> &works);

// The baseline of folder reading: every name of a folder (a path ending in '/'), no stat, no
// sort; subfolders, known by d_type only, are walked when recurse is set.
void plainReaddir(const std::string &folder, std::vector<std::string> &names, bool recurse);

// The process's resident memory, as the tests measure it.
using marlit::test::peakResidentKilobytes;
using marlit::test::resetPeakResident;
using marlit::test::residentKilobytes;

// Prints one line: what was measured, its median, and its ratio to the baseline's median.
void report(const std::string &what, const Timing &timing, const Timing &baseline);

// Prints whether the ratio of timing to baseline (medians) is within its target.
void verdict(const char *what, const Timing &timing, const Timing &baseline, double target);

// A catalogue record of a system of the benchmarks: its name and ROM folder, /bin/true as emulator.
std::string catalogueRecord(const std::string &name, const std::string &romDirectory);

} // namespace marlit::bench
