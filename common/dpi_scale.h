// Pixel sizes that follow the DPI of the monitor a window is on. The
// per-monitor functions are bound at run time, so that the programs still
// start on systems that lack them; there the screen's DPI is used.
#pragma once

#include "handles.h"

#include <windows.h>

constexpr UINT kBaseDpi = 96; // the DPI that sizes in pixels are given for

// The window's DPI; where per-monitor DPI is missing, the screen's.
UINT WindowDpi(HWND window);

// A size given for 96 DPI, at dpi.
int ScaleForDpi(int pixels, UINT dpi);

// The icon resource id of the module at size x size pixels given for 96 DPI,
// drawn for dpi.
UniqueIcon LoadIconForDpi(HINSTANCE module, int id, int size, UINT dpi);

// Sets a dialog's small icon (the caption's) drawn for dpi; the caller keeps
// the icon, whose old one goes only once the dialog has let it go.
void SetSmallIconForDpi(HWND dlg, int id, UINT dpi, UniqueIcon& icon);

// What a dialog needs to follow a change of DPI, kept by the dialog.
struct DialogScale {
    UINT dpi = kBaseDpi; // the DPI the controls are laid out for now
    UniqueGdiObject font; // the controls' font once the DPI changed; before, the dialog manager's
};

// At WM_INITDIALOG.
void StartDialogScale(HWND dlg, DialogScale& scale);

// WM_DPICHANGED: the dialog takes the suggested rectangle, and its controls'
// positions, sizes and font are scaled to the new DPI. The old DPI comes
// back (0 when there was nothing to do).
UINT RescaleDialog(HWND dlg, UINT dpi, const RECT& suggested, DialogScale& scale);
