// Message pumping for tests that drive windows on their own thread while
// workers or other windows need the thread to dispatch.
#pragma once

#include <windows.h>

#include <functional>

// Generous upper bound for anything a test waits for; only a hang reaches it.
constexpr DWORD kHangGuardMs = 60000;

// Dispatches this thread's messages until done() is true; false when the
// guard time ran out first. A WM_QUIT met on the way is consumed.
bool PumpUntil(const std::function<bool()>& done, DWORD guard_ms = kHangGuardMs);

// Dispatches everything that is waiting now, sent and posted.
void PumpPending();

// Dispatches only messages sent from other threads, one wake-up at a time,
// until done() is true. A worker that sends and waits for the answer is held
// exactly where done() became true, so a test can act in the middle of its work.
bool PumpSentUntil(const std::function<bool()>& done, DWORD guard_ms = kHangGuardMs);

// Dispatches for the given time (for tests that must let something not happen).
void PumpFor(DWORD ms);
