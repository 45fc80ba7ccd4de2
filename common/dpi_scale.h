// Pixel sizes that follow the DPI of the monitor a window is on. The
// per-monitor functions are bound at run time, so that the programs still
// start on systems that lack them; there the screen's DPI is used.
#pragma once

#include "handles.h"

#include <windows.h>

#include <vector>

constexpr UINT kBaseDpi = 96; // the DPI that sizes in pixels are given for

// WM_GETDPISCALEDSIZE, which the headers declare only for newer targets.
constexpr UINT kWmGetDpiScaledSize = 0x02E4;

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

struct ControlPlace {
    HWND window;
    RECT rect; // dialog client coordinates
};

// What a dialog needs to follow a change of DPI, kept by the dialog. Every
// layout is made from the dialog as it started, scaled linearly, so that
// moves between monitors never add up rounding errors.
struct DialogScale {
    UINT dpi = kBaseDpi; // the DPI the controls are laid out for now
    UINT start_dpi = kBaseDpi;
    SIZE start_client{};
    std::vector<ControlPlace> start_places; // the dialog's own children as the template placed them
    LOGFONTW start_font{}; // the dialog manager's font
    int font_points = 0; // the template's font size
    UniqueGdiObject font; // the controls' font once the DPI changed; before, the dialog manager's
};

// At WM_INITDIALOG: notes the dialog as the template made it, and turns the
// dialog manager's own rescaling off (Windows 10 1703 and later), which
// would otherwise disagree with ours.
void StartDialogScale(HWND dlg, DialogScale& scale);

// At WM_NCDESTROY, once no control uses the font any more.
void EndDialogScale(DialogScale& scale);

// Where a control that started at start_rect lies in a fresh dialog at the
// present DPI, and that dialog's client size.
RECT FreshPlace(const DialogScale& scale, const RECT& start_rect);
SIZE FreshClientSize(const DialogScale& scale);

// A dialog procedure's answer to WM_GETDPISCALEDSIZE: the window size at
// dpi whose client area is the present one scaled as the controls are.
// FALSE where the system lacks AdjustWindowRectExForDpi: its own linear
// scaling then holds.
INT_PTR AnswerDpiScaledSize(HWND dlg, UINT dpi, const DialogScale& scale, SIZE* size);

// Puts the controls where the dialog wants them for scale.dpi and its
// present client size.
using DialogLayout = void (*)(HWND dlg);

// WM_DPICHANGED: the dialog takes the suggested rectangle, its controls a
// font made for the new DPI, and the layout places them (none: each at its
// fresh place). The old DPI comes back (0 when there was nothing to do).
UINT RescaleDialog(HWND dlg, UINT dpi, const RECT& suggested, DialogScale& scale, DialogLayout layout = nullptr);
