#include "platform.h"
#include "prefdesk_ids.h"
#include "settings_dialog.h"
#include "settings_fixture.h"
#include "transparency.h"

#include <commctrl.h>

namespace {

int composition_asked;

int VistaGeneration()
{
    return 4;
}
int XpGeneration()
{
    return 3;
}
BOOL CompositionOn()
{
    ++composition_asked;
    return TRUE;
}
BOOL CompositionOff()
{
    ++composition_asked;
    return FALSE;
}

bool Shown(HWND window)
{
    return IsWindowVisible(window) != FALSE;
}

} // namespace

class TransparencyTest : public SettingsDialogTest {
protected:
    void SetUp() override
    {
        SettingsDialogTest::SetUp();
        composition_asked = 0;
    }
    bool TransparencyShown() const
    {
        const bool trackbar = Shown(Item(IDC_ALPHA));
        EXPECT_EQ(trackbar, Shown(Item(IDC_ALPHA_VALUE)));
        EXPECT_EQ(trackbar, Shown(Item(IDC_TRANSPARENT)));
        return trackbar;
    }
    // Drags the trackbar's thumb with the mouse, one step at a time.
    void DragThumbTo(int x)
    {
        HWND trackbar = Item(IDC_ALPHA);
        RECT thumb{};
        SendMessageW(trackbar, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
        const int y = (thumb.top + thumb.bottom) / 2;
        SendMessageW(trackbar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM((thumb.left + thumb.right) / 2, y));
        SendMessageW(trackbar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y));
    }
};

TEST_F(TransparencyTest, ShownOnTheVistaGenerationWithCompositionOn)
{
    SetTransparencyQueries(VistaGeneration, CompositionOn);
    Open();
    EXPECT_TRUE(TransparencyShown());
    EXPECT_EQ(1, composition_asked);
}

TEST_F(TransparencyTest, HiddenWithCompositionOffButTheGroupStays)
{
    SetTransparencyQueries(VistaGeneration, CompositionOff);
    Open();
    EXPECT_FALSE(TransparencyShown());
    EXPECT_EQ(1, composition_asked);
    EXPECT_TRUE(Shown(Item(IDC_COLOR)));
    EXPECT_TRUE(Shown(GetNextWindow(Item(IDC_COLOR), GW_HWNDNEXT))) << "the Background Color group box";
}

TEST_F(TransparencyTest, HiddenOnOtherGenerationsWithoutAskingForComposition)
{
    SetTransparencyQueries(XpGeneration, CompositionOn);
    Open();
    EXPECT_FALSE(TransparencyShown());
    EXPECT_EQ(0, composition_asked);
}

TEST_F(TransparencyTest, TheSystemsAnswerDecidesByDefault)
{
    Open();
    // Wine's desktop window manager answers that composition is off.
    if (RunningUnderWine()) {
        EXPECT_FALSE(TransparencyShown());
    }
    EXPECT_EQ(SystemCompositionEnabled() != FALSE, TransparencyShown());
    EXPECT_NE(nullptr, GetModuleHandleW(L"dwmapi.dll")) << "bound on first use and kept";
}

TEST_F(TransparencyTest, AnOutOfRangeAlphaShowsAsReadAndIsSavedClampedShownOrNot)
{
    for (CompositionQuery composition : {CompositionOn, CompositionOff}) {
        SCOPED_TRACE(composition == CompositionOn ? "shown" : "hidden");
        SetTransparencyQueries(VistaGeneration, composition);
        Store(L"aspect", L"alpha", L"300");
        Open();
        EXPECT_EQ(composition == CompositionOn, TransparencyShown());
        EXPECT_EQ(L"300", Text(IDC_ALPHA_VALUE));
        EXPECT_EQ(255, SendMessageW(Item(IDC_ALPHA), TBM_GETPOS, 0, 0));
        Click(IDC_SAVE);
        EXPECT_EQ(L"255", Stored(L"aspect", L"alpha"));

        Store(L"aspect", L"alpha", L"-5");
        Open();
        Click(IDC_SETTINGS_APPLY);
        EXPECT_EQ(L"0", Stored(L"aspect", L"alpha"));
        SendMessageW(dlg_, WM_CLOSE, 0, 0);
    }
}

TEST_F(TransparencyTest, TheValueLabelFollowsTheScrollMessages)
{
    Store(L"aspect", L"alpha", L"40");
    SetTransparencyQueries(VistaGeneration, CompositionOn);
    Open();
    HWND trackbar = Item(IDC_ALPHA);
    // The procedure's own answer: the dialog manager hands the caller 0 either way.
    auto scroll = [&](WORD code, WORD position, HWND from) {
        return SettingsDlgProc(dlg_, WM_HSCROLL, MAKEWPARAM(code, position), reinterpret_cast<LPARAM>(from));
    };
    EXPECT_EQ(1, scroll(TB_THUMBTRACK, 77, trackbar));
    EXPECT_EQ(L"77", Text(IDC_ALPHA_VALUE)) << "the position the message carries";
    EXPECT_EQ(1, scroll(TB_THUMBPOSITION, 90, trackbar));
    EXPECT_EQ(L"90", Text(IDC_ALPHA_VALUE));
    EXPECT_EQ(1, scroll(TB_ENDTRACK, 0, trackbar));
    EXPECT_EQ(L"40", Text(IDC_ALPHA_VALUE)) << "the trackbar's own position";
    EXPECT_EQ(0, scroll(TB_THUMBTRACK, 5, Item(IDC_HOTKEY)));
    EXPECT_EQ(L"40", Text(IDC_ALPHA_VALUE)) << "other senders are ignored";
}

TEST_F(TransparencyTest, DraggingAndKeysMoveTheLabelWithTheThumb)
{
    SetTransparencyQueries(VistaGeneration, CompositionOn);
    Open();
    HWND trackbar = Item(IDC_ALPHA);
    RECT channel{};
    SendMessageW(trackbar, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));

    DragThumbTo((channel.left + channel.right) / 2);
    const auto middle = SendMessageW(trackbar, TBM_GETPOS, 0, 0);
    EXPECT_GT(middle, 50);
    EXPECT_EQ(std::to_wstring(middle), Text(IDC_ALPHA_VALUE)) << "while the button is still down";
    SendMessageW(trackbar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(channel.right, (channel.top + channel.bottom) / 2));
    EXPECT_EQ(L"255", Text(IDC_ALPHA_VALUE));
    SendMessageW(trackbar, WM_LBUTTONUP, 0, MAKELPARAM(channel.right, (channel.top + channel.bottom) / 2));
    EXPECT_EQ(255, SendMessageW(trackbar, TBM_GETPOS, 0, 0));

    SendMessageW(trackbar, WM_KEYDOWN, VK_HOME, 0);
    EXPECT_EQ(L"0", Text(IDC_ALPHA_VALUE));
    SendMessageW(trackbar, WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(L"1", Text(IDC_ALPHA_VALUE));

    Click(IDC_SETTINGS_APPLY);
    EXPECT_EQ(L"1", Stored(L"aspect", L"alpha"));
}
