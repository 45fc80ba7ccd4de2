// Keeps the controls of the main dialog in place while it is resized.
#pragma once

#include <windows.h>

struct LayoutDelta {
    int dx;
    int dy;
};

// Moves one control by the rule for its id; always continues the enumeration.
BOOL CALLBACK LayoutChild(HWND child, LPARAM delta);

// For a dialog that is starting: the next size change takes a new snapshot,
// and the DPI the dialog was laid out for is noted.
void StartLayout(HWND dlg);

BOOL OnWindowPosChanging(HWND dlg);
BOOL OnSize(HWND dlg, WPARAM type, LPARAM size);
// The smallest size follows the DPI the dialog is laid out for.
BOOL OnSizing(RECT* dragged);

// The dialog moved to a monitor of another DPI: it takes the suggested
// rectangle, and its controls, font and column widths follow.
void FollowDpi(HWND dlg, UINT dpi, const RECT& suggested);
