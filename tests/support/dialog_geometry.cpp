#include "dialog_geometry.h"

#include <gtest/gtest.h>

namespace {

bool IsGroupBox(HWND window)
{
    wchar_t name[8] = {};
    GetClassNameW(window, name, 8);
    return _wcsicmp(name, L"Button") == 0 && (GetWindowLongPtrW(window, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

LONG FontHeight(HWND window)
{
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HGDIOBJ>(SendMessageW(window, WM_GETFONT, 0, 0)), sizeof(font), &font);
    return font.lfHeight;
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

} // namespace

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

void ExpectFollowsDpiChange(HWND dlg, UINT from, UINT to, int icon_side)
{
    const auto before = ChildPlaces(dlg);
    const LONG font = FontHeight(before.at(0).window);
    RECT window;
    GetWindowRect(dlg, &window);
    RECT suggested{window.left + 10, window.top + 5, 0, 0};
    suggested.right = suggested.left + Scaled(window.right - window.left, from, to);
    suggested.bottom = suggested.top + Scaled(window.bottom - window.top, from, to);
    RECT sent = suggested;
    SendMessageW(dlg, WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&sent));

    GetWindowRect(dlg, &window);
    EXPECT_TRUE(EqualRect(&window, &suggested));
    const auto after = ChildPlaces(dlg);
    ASSERT_EQ(before.size(), after.size());
    for (size_t i = 0; i < before.size(); ++i) {
        const RECT &b = before[i].rect, &a = after[i].rect;
        EXPECT_NEAR(Scaled(b.left, from, to), a.left, 1) << before[i].id;
        EXPECT_NEAR(Scaled(b.top, from, to), a.top, 1) << before[i].id;
        // A combo box sizes its selection field by its font.
        EXPECT_NEAR(Scaled(b.right - b.left, from, to), a.right - a.left, 4) << before[i].id;
        EXPECT_NEAR(Scaled(b.bottom - b.top, from, to), a.bottom - a.top, 4) << before[i].id;
    }
    ExpectSaneLayout(dlg);
    EXPECT_NEAR(Scaled(font, from, to), FontHeight(before[0].window), 1) << "the controls' font";
    EXPECT_EQ(icon_side, SmallIconSide(dlg));
}
