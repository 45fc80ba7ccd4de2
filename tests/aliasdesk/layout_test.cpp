#include "aliasdesk_ids.h"
#include "dialog_fixture.h"
#include "dialog_geometry.h"
#include "dialog_layout.h"
#include "wait.h"

#include <commctrl.h>

#include <array>
#include <map>

namespace {

const int kAllIds[] = {IDC_PATH,      IDC_BROWSE,       IDC_ADD,         IDC_FILTER,  IDC_MATCH_ALIAS, IDC_MATCH_PATH,
                       IDC_MAIN_LIST, IDC_UNUSED_EDIT,  IDC_REMOVE,      IDC_CLEAR,   IDC_RELOAD,      IDC_APPLY,
                       IDC_CANCEL,    IDC_OK,           IDC_GROUP,       IDC_COUNT,   IDC_IGNORED,     IDC_VERSION,
                       IDC_STATUS,    IDC_PATH_CAPTION, IDC_FILTER_LIST, IDC_PROGRESS};

SIZE WindowSize(HWND dlg)
{
    RECT r;
    GetWindowRect(dlg, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

// As Snap, Win+arrows and programs resize: no WM_SIZING.
void SetSize(HWND dlg, SIZE size)
{
    SetWindowPos(dlg, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    PumpPending();
}

void Resize(HWND dlg, int dw, int dh)
{
    const SIZE size = WindowSize(dlg);
    SetSize(dlg, SIZE{size.cx + dw, size.cy + dh});
}

// The work area of another screen for the dialog's monitor, while it lives.
class FakeWorkArea {
public:
    explicit FakeWorkArea(const RECT& area) { SetWorkAreaForTest(&area); }
    ~FakeWorkArea() { SetWorkAreaForTest(nullptr); }
    FakeWorkArea(const FakeWorkArea&) = delete;
    FakeWorkArea& operator=(const FakeWorkArea&) = delete;
};

// Expected change of (left, top, width, height) for each control after dx, dy.
std::map<int, std::array<int, 4>> ExpectedChange(int dx, int dy)
{
    std::map<int, std::array<int, 4>> change;
    for (int id : {IDC_ADD, IDC_BROWSE, IDC_MATCH_ALIAS, IDC_MATCH_PATH})
        change[id] = {dx, 0, 0, 0};
    for (int id : {IDC_PATH, IDC_FILTER})
        change[id] = {0, 0, dx, 0};
    for (int id : {IDC_MAIN_LIST, IDC_FILTER_LIST, IDC_GROUP})
        change[id] = {0, 0, dx, dy};
    change[IDC_PROGRESS] = {0, dy, dx, 0};
    change[IDC_PATH_CAPTION] = {0, 0, 0, 0};
    for (int id : {IDC_OK, IDC_CLEAR, IDC_CANCEL, IDC_APPLY, IDC_REMOVE, IDC_RELOAD, IDC_COUNT, IDC_IGNORED,
                   IDC_VERSION, IDC_STATUS, -1})
        change[id] = {dx, dy, 0, 0};
    change[IDC_UNUSED_EDIT] = {0, 0, 0, 0}; // never touched
    return change;
}

} // namespace

TEST_F(MainDialogTest, EnlargingMovesAndGrowsEachControlByItsRule)
{
    const auto before = ChildPlaces(dlg_);
    Resize(dlg_, 100, 50);
    const auto after = ChildPlaces(dlg_);
    const auto change = ExpectedChange(100, 50);

    ASSERT_EQ(before.size(), after.size());
    for (size_t i = 0; i < before.size(); ++i) {
        const int id = before[i].id;
        SCOPED_TRACE(id);
        const RECT& b = before[i].rect;
        const RECT& a = after[i].rect;
        const auto& c = change.at(id);
        EXPECT_EQ(b.left + c[0], a.left);
        EXPECT_EQ(b.top + c[1], a.top);
        EXPECT_EQ(b.right - b.left + c[2], a.right - a.left);
        EXPECT_EQ(b.bottom - b.top + c[3], a.bottom - a.top);
    }
    for (int id : kAllIds)
        EXPECT_TRUE(change.count(id)) << id;
}

// However small the window was made, growing it again gives the layout of
// a fresh window of that size, the size it started at included.
TEST_F(MainDialogTest, ShrinkingAndGrowingAgainGivesTheLayoutOfAFreshWindow)
{
    const SIZE start = WindowSize(dlg_);
    for (const SIZE grown : {start, SIZE{start.cx + 100, start.cy + 50}}) {
        SCOPED_TRACE(grown.cx);
        Restart();
        SetSize(dlg_, grown);
        const auto fresh = ChildPlaces(dlg_);
        {
            FakeWorkArea tiny_screen({0, 0, 400, 300});
            SetSize(dlg_, SIZE{200, 150});
            EXPECT_EQ(400, WindowSize(dlg_).cx);
        }
        SetSize(dlg_, grown);
        ExpectSamePlaces(fresh, ChildPlaces(dlg_));
    }
}

TEST_F(MainDialogTest, MinimisingAndRestoringMovesNothing)
{
    const auto before = ChildPlaces(dlg_);
    ShowWindow(dlg_, SW_MINIMIZE);
    PumpPending();
    ShowWindow(dlg_, SW_RESTORE);
    PumpPending();
    ExpectSamePlaces(before, ChildPlaces(dlg_));
}

// On the laptop screens most used, the smallest size is taller than the
// work area: every way of resizing stops at the work area instead, and the
// dialog starts within it.
TEST_F(MainDialogTest, TheSmallestSizeHoldsForEveryResizeButNeverExceedsTheWorkArea)
{
    struct Case {
        const char* name;
        RECT work;
        UINT dpi;
        SIZE least;
    };
    const Case cases[] = {
        {"large screen", {0, 0, 1600, 1200}, 96, {819, 753}},
        {"1366 x 768 at 100 %", {0, 0, 1366, 728}, 96, {819, 728}},
        {"1920 x 1080 at 150 %", {0, 0, 1920, 1008}, 144, {1229, 1008}},
        {"second monitor", {-1280, 0, -480, 600}, 96, {800, 600}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeWorkArea area(c.work);
        Restart();
        RECT window, inside;
        GetWindowRect(dlg_, &window);
        EXPECT_TRUE(IntersectRect(&inside, &window, &c.work) && EqualRect(&inside, &window));
        if (c.dpi != 96) // the move itself is another test's
            SendMessageW(dlg_, WM_DPICHANGED, MAKEWPARAM(c.dpi, c.dpi), reinterpret_cast<LPARAM>(&window));

        MINMAXINFO info{};
        SendMessageW(dlg_, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
        EXPECT_EQ(c.least.cx, info.ptMinTrackSize.x);
        EXPECT_EQ(c.least.cy, info.ptMinTrackSize.y);
        RECT dragged{200, 100, 300, 200};
        SendMessageW(dlg_, WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&dragged));
        EXPECT_EQ(200 + c.least.cx, dragged.right);
        EXPECT_EQ(100 + c.least.cy, dragged.bottom);
        SetSize(dlg_, SIZE{300, 200});
        EXPECT_EQ(c.least.cx, WindowSize(dlg_).cx);
        EXPECT_EQ(c.least.cy, WindowSize(dlg_).cy);
    }
}

TEST_F(MainDialogTest, DraggingSmallerThanTheMinimumStopsThere)
{
    RECT dragged{200, 100, 500, 400};
    SendMessageW(dlg_, WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&dragged));
    EXPECT_EQ(200, dragged.left);
    EXPECT_EQ(100, dragged.top);
    EXPECT_EQ(200 + 819, dragged.right);
    EXPECT_EQ(100 + 753, dragged.bottom);

    RECT large{0, 0, 1000, 900};
    SendMessageW(dlg_, WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&large));
    EXPECT_EQ(1000, large.right);
    EXPECT_EQ(900, large.bottom);
}

TEST_F(MainDialogTest, DraggingTheLeftEdgeInwardsMovesTheRightEdgeOut)
{
    RECT dragged{400, 100, 1000, 900}; // the left edge dragged from 100 to 400
    SendMessageW(dlg_, WM_SIZING, WMSZ_LEFT, reinterpret_cast<LPARAM>(&dragged));
    EXPECT_EQ(400, dragged.left);
    EXPECT_EQ(400 + 819, dragged.right);
    EXPECT_EQ(900, dragged.bottom);
}

// A move to monitors of other DPIs and back, as the system announces it:
// controls, column widths and the smallest size follow, and back at the
// first DPI every control and the font are as they were.
TEST_F(MainDialogTest, MovingToOtherDpisAndBackScalesTheLayout)
{
    struct Step {
        UINT from, to;
        int icon, min_width, min_height;
    };
    const Step steps[] = {{96, 120, 40, 1024, 941}, {120, 144, 48, 1229, 1130}, {144, 96, 32, 819, 753}};
    // Beyond the smallest size: the frame Wine keeps at every DPI would
    // otherwise let the smallest size round the window up.
    Resize(dlg_, 100, 50);
    const auto start = ChildPlaces(dlg_);
    const LONG font = FontHeight(start.front().window);
    HWND list = GetDlgItem(dlg_, IDC_MAIN_LIST);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.to);
        const int column = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, 2, 0));
        ExpectFollowsDpiChange(dlg_, step.from, step.to, step.icon);
        EXPECT_EQ(MulDiv(column, static_cast<int>(step.to), static_cast<int>(step.from)),
                  SendMessageW(list, LVM_GETCOLUMNWIDTH, 2, 0));

        RECT dragged{200, 100, 500, 400};
        SendMessageW(dlg_, WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&dragged));
        EXPECT_EQ(200 + step.min_width, dragged.right);
        EXPECT_EQ(100 + step.min_height, dragged.bottom);
    }
    ExpectSamePlaces(start, ChildPlaces(dlg_));
    EXPECT_EQ(font, FontHeight(start.front().window));
}
