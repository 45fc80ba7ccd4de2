// The transparency controls: the trackbar (0 to 255), its value label and
// caption, offered only on the Vista generation with desktop composition on.
#pragma once

#include <windows.h>

// Test seam: the two questions that decide whether transparency is offered.
// Tests answer them instead of the system; null restores the system's answer
// (GetOsGeneration, and DwmIsCompositionEnabled from dwmapi.dll).
using GenerationQuery = int (*)();
using CompositionQuery = BOOL (*)();
void SetTransparencyQueries(GenerationQuery generation, CompositionQuery composition);

// DwmIsCompositionEnabled, bound on first use; FALSE where dwmapi.dll or the
// call is missing or fails.
BOOL SystemCompositionEnabled();

// At dialog start: range, the stored alpha (the label shows it as read, the
// trackbar clamps it), and the controls hidden where transparency is not offered.
void InitTransparency(HWND dlg);

// WM_HSCROLL: the value label follows the trackbar. TRUE when the message
// came from the trackbar.
BOOL OnAlphaScroll(HWND dlg, WPARAM wParam, LPARAM lParam);

// Save and Apply: the trackbar's position, also when it is hidden.
void StoreAlpha(HWND dlg);
