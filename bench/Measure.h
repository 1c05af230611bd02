#pragma once

// Timing shared by the benchmarks: medians of several runs, the measured work
// and its reference taken in turns.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <string>
#include <utility>
#include <vector>

// One line of a benchmark's table: what was measured, kiv's figure, the
// reference's, their ratio, the goal and whether it was met.
struct Row
{
    std::string what, kiv, reference, ratio, goal;
    bool met;
};

inline std::string fmt(const char *format, double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

// Bytes of the heap in use: what a structure keeps is the difference around it.
inline size_t heapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

inline double seconds(const std::function<void()> &work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

inline double medianSeconds(int runs, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(seconds(work));
    return median(times);
}

// Runs the measured work and its reference in turns, so that a passing load on
// the machine hits both alike. Returns the two medians. after, when given, runs
// untimed after each of them (to free what they built, say).
inline std::pair<double, double> medianPair(int runs, const std::function<void()> &work,
                                            const std::function<void()> &reference,
                                            const std::function<void()> &after = {})
{
    std::vector<double> a, b;
    for (int i = 0; i < runs; ++i) {
        a.push_back(seconds(work));
        if (after)
            after();
        b.push_back(seconds(reference));
        if (after)
            after();
    }
    return {median(a), median(b)};
}
