// Keeps the controls of the main dialog in place while it is resized or
// moves to a monitor of another DPI, and the window within its monitor.
#pragma once

#include <windows.h>

// The client size beyond that of a fresh dialog at the present DPI.
struct LayoutDelta {
    int dx;
    int dy;
};

// Places one control by the rule for its id; always continues the enumeration.
BOOL CALLBACK LayoutChild(HWND child, LPARAM delta);

// At WM_INITDIALOG: notes the fresh layout and the DPI, and puts the
// window's size between its smallest and its monitor's work area.
void StartLayout(HWND dlg);
// At WM_NCDESTROY.
void EndLayout();

BOOL OnSize(HWND dlg, WPARAM type);
// The smallest size follows the DPI the dialog is laid out for, within the work area.
BOOL OnSizing(HWND dlg, RECT* dragged);
BOOL OnGetMinMaxInfo(HWND dlg, MINMAXINFO* info);

// WM_GETDPISCALEDSIZE: the size that keeps the layout's linear scaling.
BOOL OnGetDpiScaledSize(HWND dlg, UINT dpi, SIZE* size);

// The dialog moved to a monitor of another DPI: it takes the suggested
// rectangle, and its controls, font and column widths follow.
void FollowDpi(HWND dlg, UINT dpi, const RECT& suggested);

// For tests: the work area to keep within instead of the monitor's; null
// gives the monitor's back.
void SetWorkAreaForTest(const RECT* area);
