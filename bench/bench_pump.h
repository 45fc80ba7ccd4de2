// The benchmark's thread owns the dialog, so it waits the way the program's
// own message loop does: dispatching everything, dialog keys included, so
// that workers sending to the dialog are answered at once.
#pragma once

#include <windows.h>

#include <functional>

// Seconds on a steady high-resolution clock.
double Now();

// The shortest of a few runs of work, which answers whether it succeeded;
// negative when it failed.
double BestOfFewRuns(const std::function<bool()>& work);

// Dispatches until done() is true (true) or the clock passes deadline (false).
bool DispatchUntil(HWND dlg, const std::function<bool()>& done, double deadline);

void DispatchFor(HWND dlg, double seconds);
