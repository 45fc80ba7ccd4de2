#include "bench_clock.h"

#include <windows.h>

#include <algorithm>

double Now()
{
    static const double ticks_per_second = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart);
    }();
    LARGE_INTEGER ticks;
    QueryPerformanceCounter(&ticks);
    return static_cast<double>(ticks.QuadPart) / ticks_per_second;
}

double BestOfFewRuns(const std::function<bool()>& work)
{
    constexpr int kRuns = 3;
    double best = -1;
    for (int i = 0; i < kRuns; ++i) {
        const double start = Now();
        if (!work())
            return -1;
        const double took = Now() - start;
        best = best < 0 ? took : std::min(best, took);
    }
    return best;
}
