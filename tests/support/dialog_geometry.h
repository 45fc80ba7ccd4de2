// Where a dialog's controls lie, seen from this process (the dialog may be
// another program's), and the checks of a layout at some DPI.
#pragma once

#include <windows.h>

#include <vector>

struct ChildPlace {
    HWND window;
    int id; // -1 for the statics without one
    RECT rect; // dialog client coordinates
};

// The dialog's own children in child order (not the windows inside controls).
std::vector<ChildPlace> ChildPlaces(HWND dlg);

// Every visible control lies in the client area, and no two overlap but
// inside a group box.
void ExpectSaneLayout(HWND dlg);

// Sends the dialog (of this process) WM_DPICHANGED as the system does when
// the window moves to a monitor of DPI to, and checks that it took the
// suggested rectangle, that every control was scaled where it lay and in its
// font, that the layout stays sane and that the small icon is now icon_side pixels.
void ExpectFollowsDpiChange(HWND dlg, UINT from, UINT to, int icon_side);
