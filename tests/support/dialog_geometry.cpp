#include "dialog_geometry.h"

#include <gtest/gtest.h>

namespace {

bool IsGroupBox(HWND window)
{
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    return _wcsicmp(name, L"Button") == 0 && (GetWindowLongPtrW(window, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

bool Inside(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
        inner.bottom <= outer.bottom;
}

int Scaled(LONG value, UINT from, UINT to)
{
    return MulDiv(value, static_cast<int>(to), static_cast<int>(from));
}

// Answers the suggested rectangle.
RECT SendDpiChange(HWND dlg, UINT from, UINT to)
{
    RECT window;
    GetWindowRect(dlg, &window);
    RECT suggested{window.left + 10, window.top + 5, 0, 0};
    suggested.right = suggested.left + Scaled(window.right - window.left, from, to);
    suggested.bottom = suggested.top + Scaled(window.bottom - window.top, from, to);
    RECT sent = suggested;
    SendMessageW(dlg, WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&sent));
    return suggested;
}

void ExpectScaledPlaces(const std::vector<ChildPlace>& before, const std::vector<ChildPlace>& after, UINT from,
                        UINT to)
{
    ASSERT_EQ(before.size(), after.size());
    for (size_t i = 0; i < before.size(); ++i) {
        SCOPED_TRACE(before[i].id);
        const RECT& b = before[i].rect;
        const RECT& a = after[i].rect;
        EXPECT_NEAR(Scaled(b.left, from, to), a.left, 1);
        EXPECT_NEAR(Scaled(b.top, from, to), a.top, 1);
        // A combo box sizes its selection field by its font.
        EXPECT_NEAR(Scaled(b.right - b.left, from, to), a.right - a.left, 4);
        EXPECT_NEAR(Scaled(b.bottom - b.top, from, to), a.bottom - a.top, 4);
    }
}

LONG FontHeight(HWND window)
{
    auto font = reinterpret_cast<HGDIOBJ>(SendMessageW(window, WM_GETFONT, 0, 0));
    LOGFONTW logical{};
    return font && GetObjectW(font, sizeof(logical), &logical) ? logical.lfHeight : 0;
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
    RECT client;
    GetClientRect(dlg, &client);
    std::vector<ChildPlace> shown;
    for (const ChildPlace& place : ChildPlaces(dlg)) {
        if (IsWindowVisible(place.window))
            shown.push_back(place);
    }
    ASSERT_GT(shown.size(), 5u);
    for (size_t i = 0; i < shown.size(); ++i) {
        const ChildPlace& a = shown[i];
        EXPECT_TRUE(Inside(a.rect, client)) << "control " << a.id << " leaves the client area";
        for (size_t j = i + 1; j < shown.size(); ++j) {
            const ChildPlace& b = shown[j];
            RECT common;
            if (!IntersectRect(&common, &a.rect, &b.rect))
                continue;
            const bool aGroup = IsGroupBox(a.window);
            if (!aGroup && !IsGroupBox(b.window)) {
                ADD_FAILURE() << "controls " << a.id << " and " << b.id << " overlap";
                continue;
            }
            const ChildPlace& group = aGroup ? a : b;
            const ChildPlace& other = aGroup ? b : a;
            EXPECT_TRUE(Inside(other.rect, group.rect)) << "control " << other.id << " crosses a group box";
        }
    }
}

int SmallIconSide(HWND dlg)
{
    auto icon = reinterpret_cast<HICON>(SendMessageW(dlg, WM_GETICON, ICON_SMALL, 0));
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info))
        return 0;
    BITMAP bitmap{};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

void ExpectFollowsDpiChange(HWND dlg, UINT from, UINT to, int icon_side)
{
    const auto before = ChildPlaces(dlg);
    const LRESULT icon = SendMessageW(dlg, WM_GETICON, ICON_SMALL, 0);
    const LONG font = FontHeight(before.at(0).window);
    const RECT suggested = SendDpiChange(dlg, from, to);

    RECT window;
    GetWindowRect(dlg, &window);
    EXPECT_TRUE(EqualRect(&window, &suggested));
    ExpectScaledPlaces(before, ChildPlaces(dlg), from, to);
    ExpectSaneLayout(dlg);
    EXPECT_NEAR(Scaled(font, from, to), FontHeight(before[0].window), 1) << "the controls' font";
    EXPECT_NE(icon, SendMessageW(dlg, WM_GETICON, ICON_SMALL, 0));
    EXPECT_EQ(icon_side, SmallIconSide(dlg));
}
