#include "dialog_geometry.h"

#include "dpi_scale.h"
#include "platform.h"

#include <gtest/gtest.h>

namespace {

bool IsGroupBox(HWND window)
{
    wchar_t name[8] = {};
    GetClassNameW(window, name, 8);
    return _wcsicmp(name, L"Button") == 0 && (GetWindowLongPtrW(window, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

int Scaled(LONG value, UINT from, UINT to)
{
    return MulDiv(value, static_cast<int>(to), static_cast<int>(from));
}

int SmallIconSide(HWND dlg)
{
    ICONINFO info{};
    if (!GetIconInfo(reinterpret_cast<HICON>(SendMessageW(dlg, WM_GETICON, ICON_SMALL, 0)), &info))
        return 0;
    BITMAP bitmap{};
    GetObjectW(info.hbmMask, sizeof(bitmap), &bitmap);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

template <typename Function> Function User32Entry(const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

// What the window's frame adds to a client area at dpi (the dialogs answer
// WM_GETDPISCALEDSIZE only where the system can say).
SIZE FrameAt(HWND window, UINT dpi)
{
    using AdjustFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto adjust = User32Entry<AdjustFn>("AdjustWindowRectExForDpi");
    RECT frame{0, 0, 0, 0};
    adjust(&frame, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
           static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)), dpi);
    return SIZE{frame.right - frame.left, frame.bottom - frame.top};
}

// The system's answer (Windows 10 1703 and later) whether the dialog
// manager's own rescaling is off; DDC_DISABLE_ALL where the system has none.
int DialogDpiChangeBehavior(HWND dlg)
{
    using GetFn = int(WINAPI*)(HWND);
    static const auto get = User32Entry<GetFn>("GetDialogDpiChangeBehavior");
    return get ? get(dlg) : 1;
}

} // namespace

LONG FontHeight(HWND window)
{
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HGDIOBJ>(SendMessageW(window, WM_GETFONT, 0, 0)), sizeof(font), &font);
    return font.lfHeight;
}

std::vector<ChildPlace> ChildPlaces(HWND dlg)
{
    std::vector<ChildPlace> places;
    for (HWND child = GetWindow(dlg, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT r;
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
        places.push_back({child, static_cast<int>(GetWindowLongPtrW(child, GWLP_ID)), r});
    }
    return places;
}

void ExpectSaneLayout(HWND dlg)
{
    RECT client, common;
    GetClientRect(dlg, &client);
    const auto places = ChildPlaces(dlg);
    for (size_t i = 0; i < places.size(); ++i) {
        const ChildPlace& a = places[i];
        if (!IsWindowVisible(a.window))
            continue;
        EXPECT_TRUE(IntersectRect(&common, &a.rect, &client) && EqualRect(&common, &a.rect)) << a.id << " is cut";
        for (size_t j = i + 1; j < places.size(); ++j) {
            const ChildPlace& b = places[j];
            const bool apart = !IntersectRect(&common, &a.rect, &b.rect);
            if (IsWindowVisible(b.window) && !IsGroupBox(a.window) && !IsGroupBox(b.window)) {
                EXPECT_TRUE(apart) << a.id << " overlaps " << b.id;
            }
        }
    }
}

void ExpectSamePlaces(const std::vector<ChildPlace>& expected, const std::vector<ChildPlace>& actual)
{
    ASSERT_EQ(expected.size(), actual.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const RECT &e = expected[i].rect, &a = actual[i].rect;
        EXPECT_TRUE(EqualRect(&e, &a)) << expected[i].id << ": " << a.left << "," << a.top << " " << a.right - a.left
                                       << "x" << a.bottom - a.top << " instead of " << e.left << "," << e.top << " "
                                       << e.right - e.left << "x" << e.bottom - e.top;
    }
}

void ExpectFollowsDpiChange(HWND dlg, UINT from, UINT to, int icon_side)
{
    EXPECT_EQ(1, DialogDpiChangeBehavior(dlg) & 1) << "the dialog manager would rescale the dialog itself";
    const auto before = ChildPlaces(dlg);
    const LONG font = FontHeight(before.at(0).window);
    RECT window, client;
    GetWindowRect(dlg, &window);
    GetClientRect(dlg, &client);
    const SIZE scaled_client{Scaled(client.right, from, to), Scaled(client.bottom, from, to)};

    // As the system does: first the size for the new DPI, which keeps the
    // client area scaled as the controls are, in the frame of that DPI.
    SIZE size{window.right - window.left, window.bottom - window.top};
    ASSERT_TRUE(SendMessageW(dlg, kWmGetDpiScaledSize, to, reinterpret_cast<LPARAM>(&size)));
    const SIZE frame = FrameAt(dlg, to);
    EXPECT_EQ(scaled_client.cx + frame.cx, size.cx);
    EXPECT_EQ(scaled_client.cy + frame.cy, size.cy);
    // Wine draws the frame at the system's DPI whatever the message says, so
    // there the rectangle keeps the frame the window has.
    if (RunningUnderWine())
        size = SIZE{scaled_client.cx + window.right - window.left - client.right,
                    scaled_client.cy + window.bottom - window.top - client.bottom};
    const RECT suggested{window.left + 10, window.top + 5, window.left + 10 + size.cx, window.top + 5 + size.cy};
    RECT sent = suggested;
    SendMessageW(dlg, WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&sent));

    GetWindowRect(dlg, &window);
    EXPECT_TRUE(EqualRect(&window, &suggested));
    GetClientRect(dlg, &client);
    EXPECT_EQ(scaled_client.cx, client.right);
    EXPECT_EQ(scaled_client.cy, client.bottom);
    const auto after = ChildPlaces(dlg);
    ASSERT_EQ(before.size(), after.size());
    for (size_t i = 0; i < before.size(); ++i) {
        const RECT &b = before[i].rect, &a = after[i].rect;
        // Scaled from the fresh dialog and moved by the scaled growth: two roundings.
        EXPECT_NEAR(Scaled(b.left, from, to), a.left, 2) << before[i].id;
        EXPECT_NEAR(Scaled(b.top, from, to), a.top, 2) << before[i].id;
        // A combo box sizes its selection field by its font.
        EXPECT_NEAR(Scaled(b.right - b.left, from, to), a.right - a.left, 5) << before[i].id;
        EXPECT_NEAR(Scaled(b.bottom - b.top, from, to), a.bottom - a.top, 5) << before[i].id;
    }
    ExpectSaneLayout(dlg);
    EXPECT_NEAR(Scaled(font, from, to), FontHeight(before[0].window), 1) << "the controls' font";
    EXPECT_EQ(icon_side, SmallIconSide(dlg));
}
