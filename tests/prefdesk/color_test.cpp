#include "color_swatch.h"
#include "prefdesk_ids.h"
#include "settings_dialog.h"
#include "settings_fixture.h"
#include "wait.h"

#include <colordlg.h>

namespace {

constexpr COLORREF kStart = RGB(0x12, 0x34, 0x56);
constexpr COLORREF kChosen = RGB(200, 30, 90);
constexpr COLORREF kLater = RGB(10, 220, 40);

std::wstring Decimal(COLORREF color)
{
    return std::to_wstring(static_cast<int>(color));
}

// The colour the swatch paints with, asked the way the button asks.
HBRUSH SwatchBrushOf(HWND dlg)
{
    HDC dc = GetDC(dlg);
    auto brush = reinterpret_cast<HBRUSH>(SendMessageW(dlg, WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc),
                                                       reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDC_COLOR))));
    ReleaseDC(dlg, dc);
    return brush;
}

COLORREF BrushColor(HBRUSH brush)
{
    LOGBRUSH info{};
    if (GetObjectW(brush, sizeof(info), &info) != sizeof(info))
        return CLR_INVALID;
    return info.lbColor;
}

// The pixel in the middle of the swatch, painted into a bitmap of our own.
COLORREF PaintedSwatchColor(HWND swatch)
{
    RECT rc;
    GetClientRect(swatch, &rc);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, rc.right, rc.bottom);
    HGDIOBJ old = SelectObject(memory, bitmap);
    SendMessageW(swatch, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT | PRF_ERASEBKGND);
    const COLORREF color = GetPixel(memory, rc.right / 2, rc.bottom / 2);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return color;
}

} // namespace

TEST_F(SettingsDialogTest, CancellingTheChooserWritesTheStoredColourBackUnchanged)
{
    Store(L"aspect", L"color", Decimal(kStart));
    Open();
    UINT red = 0, green = 0, blue = 0;
    BOOL full_open = FALSE;
    HWND chooser = RunColorChooser([&](HWND window) {
        red = GetDlgItemInt(window, COLOR_RED, nullptr, FALSE);
        green = GetDlgItemInt(window, COLOR_GREEN, nullptr, FALSE);
        blue = GetDlgItemInt(window, COLOR_BLUE, nullptr, FALSE);
        full_open = IsWindowVisible(GetDlgItem(window, COLOR_RED));
        CancelChooser()(window);
    });
    ASSERT_NE(nullptr, chooser);
    EXPECT_TRUE(full_open) << "the custom-colour part is open";
    EXPECT_EQ(GetRValue(kStart), red) << "the chooser starts from the stored colour";
    EXPECT_EQ(GetGValue(kStart), green);
    EXPECT_EQ(GetBValue(kStart), blue);
    EXPECT_EQ(Decimal(kStart), Stored(L"aspect", L"color"));
    EXPECT_EQ(kStart, ColorChooser.rgbResult);
}

TEST_F(SettingsDialogTest, AChosenColourIsStoredAtOnceAndCancelUndoesIt)
{
    Store(L"aspect", L"color", Decimal(kStart));
    Open();
    ASSERT_NE(nullptr, RunColorChooser(PickColor(kChosen)));
    EXPECT_EQ(Decimal(kChosen), Stored(L"aspect", L"color"));
    EXPECT_EQ(kChosen, BrushColor(SwatchBrushOf(dlg_)));

    Click(IDC_SETTINGS_CANCEL);
    EXPECT_FALSE(IsOpen());
    EXPECT_EQ(Decimal(kStart), Stored(L"aspect", L"color"));
    EXPECT_EQ(L"<missing>", Stored(L"aspect", L"alpha")) << "Cancel writes only the colour";
    EXPECT_EQ(L"<missing>", Stored(L"hotkey", L"popup_mod"));
}

TEST_F(SettingsDialogTest, CancelAfterApplyKeepsTheColourThatApplyStored)
{
    Store(L"aspect", L"color", Decimal(kStart));
    Open();
    ASSERT_NE(nullptr, RunColorChooser(PickColor(kChosen)));
    Click(IDC_SETTINGS_APPLY);
    EXPECT_EQ(Decimal(kChosen), Stored(L"aspect", L"color"));
    EXPECT_EQ(kChosen, RestoreColor);

    ASSERT_NE(nullptr, RunColorChooser(PickColor(kLater)));
    EXPECT_EQ(Decimal(kLater), Stored(L"aspect", L"color"));
    Click(IDC_SETTINGS_CANCEL);
    EXPECT_FALSE(IsOpen());
    EXPECT_EQ(Decimal(kChosen), Stored(L"aspect", L"color"));
}

TEST_F(SettingsDialogTest, AColourChosenBeforeTheCloseBoxStaysInTheFile)
{
    Store(L"aspect", L"color", Decimal(kStart));
    Open();
    ASSERT_NE(nullptr, RunColorChooser(PickColor(kChosen)));
    SendMessageW(dlg_, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsOpen(); }));
    EXPECT_EQ(Decimal(kChosen), Stored(L"aspect", L"color"));
    EXPECT_EQ(L"<missing>", Stored(L"aspect", L"alpha"));
}

TEST_F(SettingsDialogTest, SaveStoresTheChoosersColourNotWhatTheFileHoldsMeanwhile)
{
    Store(L"aspect", L"color", Decimal(kStart));
    Open();
    Store(L"aspect", L"color", Decimal(kLater)); // another program changes the file
    Click(IDC_SAVE);
    EXPECT_EQ(Decimal(kStart), Stored(L"aspect", L"color"));
}

TEST_F(SettingsDialogTest, TheSwatchShowsTheStoredColourWithOneBrushAtATime)
{
    Store(L"aspect", L"color", Decimal(kStart));
    Open();
    HBRUSH first = SwatchBrushOf(dlg_);
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(kStart, BrushColor(first));
    EXPECT_EQ(first, SwatchBrushOf(dlg_)) << "repaints reuse the brush";
    EXPECT_EQ(kStart, PaintedSwatchColor(Item(IDC_COLOR)));

    Store(L"aspect", L"color", Decimal(kLater)); // the swatch follows the file
    HBRUSH second = SwatchBrushOf(dlg_);
    EXPECT_EQ(kLater, BrushColor(second));
    EXPECT_EQ(0u, GetObjectType(first)) << "the old brush is deleted";
    EXPECT_EQ(kLater, PaintedSwatchColor(Item(IDC_COLOR)));

    HDC dc = GetDC(dlg_);
    EXPECT_EQ(
        0,
        SettingsDlgProc(dlg_, WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(Item(IDC_SAVE))))
        << "other buttons keep the system's colours";
    ReleaseDC(dlg_, dc);

    SendMessageW(dlg_, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, GetObjectType(second)) << "the brush goes with the dialog";
}
