#pragma once

#include <fstream>
#include <string>

namespace marlit::test {

// The process's resident memory from /proc (Linux): now, and at its highest since the last reset.
inline long long residentKilobytes(const char *field = "VmRSS:")
{
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == field) {
            long long kilobytes = -1;
            status >> kilobytes;
            return kilobytes;
        }
    }
    return -1;
}

inline long long peakResidentKilobytes()
{
    return residentKilobytes("VmHWM:");
}

// Lowers the high-water mark to what is resident now; false where the system cannot.
inline bool resetPeakResident()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

} // namespace marlit::test
