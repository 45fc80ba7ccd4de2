// The two waits of the tests. On a thread that owns windows: dispatching
// while it waits, so that workers sending to a window are answered at once.
// For another process: polling with a guard.
#pragma once

#include <windows.h>

#include <functional>

// Generous upper bound for anything a test waits for; only a hang reaches it.
constexpr DWORD kHangGuardMs = 60000;

// How a wait on this thread dispatches.
struct Dispatch {
    // Messages go through IsDialogMessageW for this dialog, as in the program's own loop.
    HWND dialog = nullptr;
    // Only messages sent from other threads, one wake-up at a time: a worker
    // that sends and waits for the answer is held once done() became true, so
    // a test can act in the middle of its work. Where the test must land
    // between two given steps, use BetweenWorkerSteps (dialog_fixture.h):
    // under Wine one wake-up may run several sends of a worker that answers
    // quickly, so the hold may come some steps later than done() first held.
    bool sent_only = false;
    // How late a change that wakes nobody (the end of a worker) is seen.
    DWORD poll_ms = 10;
};
constexpr Dispatch kSentOnly{nullptr, true};

// Dispatches this thread's messages until done() is true; false when the
// guard time ran out first. A WM_QUIT met on the way is consumed.
bool PumpUntil(const std::function<bool()>& done, DWORD guard_ms = kHangGuardMs, const Dispatch& how = {});

// Dispatches for the given time (for tests that must let something not happen).
void PumpFor(DWORD ms, const Dispatch& how = {});

// Dispatches everything that is waiting now, sent and posted.
void PumpPending(HWND dialog = nullptr);

// Polls done() every interval until it is true; false when the guard ran out.
// For what another process does: nothing to dispatch here.
bool PollUntil(const std::function<bool()>& done, DWORD guard_ms = kHangGuardMs, DWORD interval_ms = 2);
