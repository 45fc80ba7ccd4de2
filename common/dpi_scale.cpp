#include "dpi_scale.h"

#include <vector>

namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

// Bound on first use; user32 stays loaded for the life of the process.
GetDpiForWindowFn GetDpiForWindowEntry()
{
    static const GetDpiForWindowFn entry = [] {
        HMODULE user32 = GetModuleHandleW(L"user32.dll");
        return user32 ? reinterpret_cast<GetDpiForWindowFn>(
                            reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")))
                      : nullptr;
    }();
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

struct ChildPlace {
    HWND window;
    RECT rect; // dialog client coordinates
};

// Only the dialog's own children: windows inside controls follow their control.
std::vector<ChildPlace> ScaledChildPlaces(HWND dlg, UINT old_dpi, UINT new_dpi)
{
    const int from = static_cast<int>(old_dpi);
    const int to = static_cast<int>(new_dpi);
    std::vector<ChildPlace> places;
    for (HWND child = GetWindow(dlg, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT r;
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
        places.push_back({child, {MulDiv(r.left, to, from), MulDiv(r.top, to, from), MulDiv(r.right, to, from),
                                  MulDiv(r.bottom, to, from)}});
    }
    return places;
}

// From the font the controls use now: after the first change that is the
// caller's, not the dialog manager's.
UniqueGdiObject ScaledFont(HWND dlg, HGDIOBJ kept, UINT old_dpi, UINT new_dpi)
{
    HGDIOBJ current = kept ? kept : reinterpret_cast<HGDIOBJ>(SendMessageW(dlg, WM_GETFONT, 0, 0));
    LOGFONTW font{};
    if (!current || !GetObjectW(current, sizeof(font), &font))
        return UniqueGdiObject();
    font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(new_dpi), static_cast<int>(old_dpi));
    font.lfWidth = MulDiv(font.lfWidth, static_cast<int>(new_dpi), static_cast<int>(old_dpi));
    return UniqueGdiObject(CreateFontIndirectW(&font));
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
    scale.dpi = WindowDpi(dlg);
    scale.font.reset();
}

UINT RescaleDialog(HWND dlg, UINT dpi, const RECT& suggested, DialogScale& scale)
{
    const UINT old_dpi = scale.dpi;
    if (old_dpi == 0 || dpi == 0)
        return 0;
    // Taken before the dialog moves: its own size rules must not count twice.
    const std::vector<ChildPlace> places = ScaledChildPlaces(dlg, old_dpi, dpi);
    SetWindowPos(dlg, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);

    UniqueGdiObject scaled = ScaledFont(dlg, scale.font.get(), old_dpi, dpi);
    for (const ChildPlace& place : places) {
        const RECT& r = place.rect;
        MoveWindow(place.window, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
        if (scaled)
            SendMessageW(place.window, WM_SETFONT, reinterpret_cast<WPARAM>(scaled.get()), TRUE);
    }
    if (scaled)
        scale.font = std::move(scaled); // the controls no longer use the one it replaces
    scale.dpi = dpi;
    InvalidateRect(dlg, nullptr, TRUE);
    return old_dpi;
}
