#include "dpi_scale.h"

#include <vector>

namespace {

// Bound on first use; user32 stays loaded for the life of the process.
template <typename Function> Function User32Entry(const char* name)
{
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
// The flags are an enumeration the headers declare only for newer targets.
using SetDialogDpiChangeBehaviorFn = BOOL(WINAPI*)(HWND, int, int);
constexpr int kDdcDisableAll = 0x0001;

GetDpiForWindowFn GetDpiForWindowEntry()
{
    static const auto entry = User32Entry<GetDpiForWindowFn>("GetDpiForWindow");
    return entry;
}

AdjustWindowRectExForDpiFn AdjustWindowRectExForDpiEntry()
{
    static const auto entry = User32Entry<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
    return entry;
}

SetDialogDpiChangeBehaviorFn SetDialogDpiChangeBehaviorEntry()
{
    static const auto entry = User32Entry<SetDialogDpiChangeBehaviorFn>("SetDialogDpiChangeBehavior");
    return entry;
}

// Without per-monitor DPI the screen's DPI holds for the whole session.
UINT ScreenDpi()
{
    static const UINT dpi = [] {
        WindowDc screen(nullptr);
        const int logical = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
        return logical > 0 ? static_cast<UINT>(logical) : kBaseDpi;
    }();
    return dpi;
}

int Scale(LONG value, UINT from, UINT to)
{
    return MulDiv(value, static_cast<int>(to), static_cast<int>(from));
}

// Only the dialog's own children: windows inside controls follow their control.
std::vector<ControlPlace> ChildPlaces(HWND dlg)
{
    std::vector<ControlPlace> places;
    for (HWND child = GetWindow(dlg, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT r;
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
        places.push_back({child, r});
    }
    return places;
}

// Made anew from the template's point size, never from the last font, so
// that no rounding carries over from one move to the next.
UniqueGdiObject FontForDpi(const DialogScale& scale)
{
    if (scale.font_points <= 0)
        return UniqueGdiObject();
    LOGFONTW font = scale.start_font;
    font.lfHeight = -MulDiv(scale.font_points, static_cast<int>(scale.dpi), 72);
    font.lfWidth = 0;
    return UniqueGdiObject(CreateFontIndirectW(&font));
}

void PlaceAtFreshPlaces(const DialogScale& scale)
{
    for (const ControlPlace& place : scale.start_places) {
        const RECT r = FreshPlace(scale, place.rect);
        MoveWindow(place.window, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    }
}

} // namespace

UINT WindowDpi(HWND window)
{
    if (GetDpiForWindowFn dpiForWindow = GetDpiForWindowEntry()) {
        if (const UINT dpi = dpiForWindow(window))
            return dpi;
    }
    return ScreenDpi();
}

int ScaleForDpi(int pixels, UINT dpi)
{
    return MulDiv(pixels, static_cast<int>(dpi), static_cast<int>(kBaseDpi));
}

UniqueIcon LoadIconForDpi(HINSTANCE module, int id, int size, UINT dpi)
{
    const int scaled = ScaleForDpi(size, dpi);
    return UniqueIcon(
        static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, scaled, scaled, LR_LOADTRANSPARENT)));
}

void SetSmallIconForDpi(HWND dlg, int id, UINT dpi, UniqueIcon& icon)
{
    auto module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dlg, GWLP_HINSTANCE));
    UniqueIcon fresh = LoadIconForDpi(module, id, 32, dpi);
    SendMessageW(dlg, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(fresh.get()));
    icon = std::move(fresh);
}

void StartDialogScale(HWND dlg, DialogScale& scale)
{
    if (SetDialogDpiChangeBehaviorFn disable = SetDialogDpiChangeBehaviorEntry())
        disable(dlg, kDdcDisableAll, kDdcDisableAll);
    scale.dpi = scale.start_dpi = WindowDpi(dlg);
    RECT client;
    GetClientRect(dlg, &client);
    scale.start_client = SIZE{client.right, client.bottom};
    scale.start_places = ChildPlaces(dlg);
    scale.font.reset();
    scale.start_font = LOGFONTW{};
    scale.font_points = 0;
    const auto font = reinterpret_cast<HGDIOBJ>(SendMessageW(dlg, WM_GETFONT, 0, 0));
    if (font && GetObjectW(font, sizeof(scale.start_font), &scale.start_font) && scale.start_font.lfHeight < 0) {
        // The dialog manager made the font -points * dpi / 72 pixels high:
        // whole points come back exactly.
        scale.font_points = MulDiv(-scale.start_font.lfHeight, 72, static_cast<int>(scale.start_dpi));
    }
}

void EndDialogScale(DialogScale& scale)
{
    scale.font.reset();
    scale.start_places.clear();
}

RECT FreshPlace(const DialogScale& scale, const RECT& start_rect)
{
    const UINT from = scale.start_dpi, to = scale.dpi;
    return RECT{Scale(start_rect.left, from, to), Scale(start_rect.top, from, to), Scale(start_rect.right, from, to),
                Scale(start_rect.bottom, from, to)};
}

SIZE FreshClientSize(const DialogScale& scale)
{
    return SIZE{Scale(scale.start_client.cx, scale.start_dpi, scale.dpi),
                Scale(scale.start_client.cy, scale.start_dpi, scale.dpi)};
}

INT_PTR AnswerDpiScaledSize(HWND dlg, UINT dpi, const DialogScale& scale, SIZE* size)
{
    const AdjustWindowRectExForDpiFn adjust = AdjustWindowRectExForDpiEntry();
    if (!adjust || scale.dpi == 0 || dpi == 0)
        return FALSE;
    RECT client;
    GetClientRect(dlg, &client);
    RECT window{0, 0, Scale(client.right, scale.dpi, dpi), Scale(client.bottom, scale.dpi, dpi)};
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(dlg, GWL_STYLE));
    const auto ex_style = static_cast<DWORD>(GetWindowLongPtrW(dlg, GWL_EXSTYLE));
    if (!adjust(&window, style, FALSE, ex_style, dpi))
        return FALSE;
    *size = SIZE{window.right - window.left, window.bottom - window.top};
    SetWindowLongPtrW(dlg, DWLP_MSGRESULT, TRUE);
    return TRUE;
}

UINT RescaleDialog(HWND dlg, UINT dpi, const RECT& suggested, DialogScale& scale, DialogLayout layout)
{
    const UINT old_dpi = scale.dpi;
    if (old_dpi == 0 || dpi == 0)
        return 0;
    scale.dpi = dpi; // before the move: a layout at WM_SIZE works for the new DPI
    UniqueGdiObject font = FontForDpi(scale);
    if (font) {
        for (const ControlPlace& place : scale.start_places)
            SendMessageW(place.window, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
        scale.font = std::move(font); // the controls no longer use the one it replaces
    }
    SetWindowPos(dlg, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (layout)
        layout(dlg);
    else
        PlaceAtFreshPlaces(scale);
    RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    return old_dpi;
}
