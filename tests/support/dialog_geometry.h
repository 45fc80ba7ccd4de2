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

// Every visible control lies in the client area, no two overlap, and each
// lies wholly inside or wholly outside each group box.
void ExpectSaneLayout(HWND dlg);

// Sends the dialog (of this process) WM_DPICHANGED as the system does when
// the window moves to a monitor of DPI to, with a suggested rectangle scaled
// from the window's, and checks that the dialog took it, that every control
// was scaled where it lay and in its font, that the layout stays sane and that the small icon
// was loaded again at icon_side pixels.
void ExpectFollowsDpiChange(HWND dlg, UINT from, UINT to, int icon_side);

// The side of the dialog's small icon (of this process); 0 when it has none.
int SmallIconSide(HWND dlg);
