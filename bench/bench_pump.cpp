#include "bench_pump.h"

#include <algorithm>

namespace {

void DispatchWaiting(HWND dlg)
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT)
            continue; // the dialog was destroyed; the caller sees that itself
        if (IsWindow(dlg) && IsDialogMessageW(dlg, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

} // namespace

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

bool DispatchUntil(HWND dlg, const std::function<bool()>& done, double deadline)
{
    for (;;) {
        DispatchWaiting(dlg);
        if (done())
            return true;
        if (Now() >= deadline)
            return false;
        // A short sleep: the end of a worker thread wakes nobody, and it
        // bounds how late an end is seen.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
}

void DispatchFor(HWND dlg, double seconds)
{
    const double until = Now() + seconds;
    DispatchUntil(
        dlg, [until] { return Now() >= until; }, until + 1);
}
