#include "aliasdesk_ids.h"
#include "dialog_fixture.h"
#include "dialog_geometry.h"
#include "wait.h"

#include <commctrl.h>

#include <array>
#include <map>

namespace {

const int kAllIds[] = {IDC_PATH,      IDC_BROWSE,       IDC_ADD,         IDC_FILTER,  IDC_MATCH_ALIAS, IDC_MATCH_PATH,
                       IDC_MAIN_LIST, IDC_UNUSED_EDIT,  IDC_REMOVE,      IDC_CLEAR,   IDC_RELOAD,      IDC_APPLY,
                       IDC_CANCEL,    IDC_OK,           IDC_GROUP,       IDC_COUNT,   IDC_IGNORED,     IDC_VERSION,
                       IDC_STATUS,    IDC_PATH_CAPTION, IDC_FILTER_LIST, IDC_PROGRESS};

void Resize(HWND dlg, int dw, int dh)
{
    RECT r;
    GetWindowRect(dlg, &r);
    SetWindowPos(dlg, nullptr, 0, 0, r.right - r.left + dw, r.bottom - r.top + dh,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    PumpPending();
}

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

TEST_F(MainDialogTest, ShrinkingBackRestoresTheLayout)
{
    const auto before = ChildPlaces(dlg_);
    Resize(dlg_, 100, 50);
    Resize(dlg_, -100, -50);
    const auto after = ChildPlaces(dlg_);
    ASSERT_EQ(before.size(), after.size());
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_TRUE(EqualRect(&before[i].rect, &after[i].rect)) << before[i].id;
}

TEST_F(MainDialogTest, MinimisingAndRestoringMovesNothing)
{
    const auto before = ChildPlaces(dlg_);
    ShowWindow(dlg_, SW_MINIMIZE);
    PumpPending();
    ShowWindow(dlg_, SW_RESTORE);
    PumpPending();
    const auto after = ChildPlaces(dlg_);
    ASSERT_EQ(before.size(), after.size());
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_TRUE(EqualRect(&before[i].rect, &after[i].rect)) << before[i].id;
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

// A move to a monitor of another DPI and back, as the system announces it:
// controls, column widths and the smallest size follow.
TEST_F(MainDialogTest, MovingToAnotherDpiAndBackScalesTheLayout)
{
    struct Step {
        UINT from, to;
        int icon, min_width, min_height;
    };
    const Step steps[] = {{96, 120, 40, 1024, 941}, {120, 96, 32, 819, 753}};
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
}
