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

// Every control where it was.
void ExpectSamePlaces(const std::vector<ChildPlace>& expected, const std::vector<ChildPlace>& actual);

// The height of the font the window was given (WM_SETFONT).
LONG FontHeight(HWND window);

// Sends the dialog (of this process) WM_GETDPISCALEDSIZE and WM_DPICHANGED
// as the system does when the window moves to a monitor of DPI to, and
// checks that the size it asked for keeps its client area scaled, that it
// took the suggested rectangle, that every control was scaled where it lay
// and in its font, that the layout stays sane, that the small icon is now
// icon_side pixels, and (where the system can tell) that the dialog
// manager's own rescaling is off.
void ExpectFollowsDpiChange(HWND dlg, UINT from, UINT to, int icon_side);
