// Keeps the controls of the main dialog in place while it is resized.
#pragma once

#include <windows.h>

struct LayoutDelta {
    int dx;
    int dy;
};

// Moves one control by the rule for its id; always continues the enumeration.
BOOL CALLBACK LayoutChild(HWND child, LPARAM delta);

// For a dialog that is starting: the next size change takes a new snapshot.
void ForgetSizeSnapshot();

BOOL OnWindowPosChanging(HWND dlg);
BOOL OnSize(HWND dlg, WPARAM type, LPARAM size);
BOOL OnSizing(RECT* dragged);
