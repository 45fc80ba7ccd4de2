// Ctrl+F (to the filter box, from anywhere in the dialog) and Ctrl+A (every
// row of a list).
#pragma once

#include <windows.h>

// For a message of one of the dialog's report lists, from the lists' class
// procedure; true when it was Ctrl+A (or the character it leaves behind) and
// was used up here.
bool OnListShortcut(HWND list, UINT message, WPARAM wParam);

// The message loop hands every message here before the dialog sees it: true
// when it was Ctrl+F for a window of the dialog and the filter box now has
// the focus. The loop then neither translates nor dispatches it, so no
// character reaches the filter.
bool TakeFilterShortcut(HWND dlg, const MSG& msg);
