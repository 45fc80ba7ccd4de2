#include "cell_edit.h"

#include "aliasdesk_ids.h"
#include "app_state.h"
#include "dialog_fixture.h"
#include "list_input.h"
#include "main_table.h"
#include "platform.h"
#include "window_watch.h"
#include "wait.h"
#include "workers.h"

#include <commctrl.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

auto Sides(const RECT& rect)
{
    return std::tuple(rect.left, rect.top, rect.right, rect.bottom);
}

int FocusedRow(HWND list)
{
    return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
}

// F2 edits the focused row's label. Wine's list view has no edit key: there
// the list is asked for the same edit.
HWND PressEditKey(HWND list)
{
    PressKey(list, VK_F2);
    if (!SendMessageW(list, LVM_GETEDITCONTROL, 0, 0) && RunningUnderWine())
        SendMessageW(list, LVM_EDITLABELW, FocusedRow(list), 0);
    return WaitForEditBox(list);
}

class CellEditTest : public ListTest {
protected:
    CellEditTest()
        : ListTest({{L"calc", L"", L"c:\\tools\\calc.exe"},
                    {L"notepad", L"-n", L"c:\\tools\\notepad.exe"},
                    {L"paint", L"", L"d:\\paint\\paint.exe"},
                    {L"nova", L"-v", L"d:\\nova\\nova.exe"}})
    {
    }
};

// Each edit ends its own way; Escape, too, leaves the box's text in the cell.
TEST_F(CellEditTest, ASecondClickOnASelectedRowEditsTheClickedCellOnly)
{
    struct Case {
        int row, column;
        std::wstring test::Row::*cell;
        const wchar_t* text;
        UINT key;
    };
    const Case cases[] = {{1, 2, &test::Row::path, L"e:\\editors\\notepad.exe", VK_RETURN},
                          {2, 0, &test::Row::alias, L"brush", VK_RETURN},
                          {3, 1, &test::Row::parameter, L"-quiet", VK_ESCAPE}};
    std::vector<test::Row> expected = rows_;
    for (const Case& edit_case : cases) {
        SCOPED_TRACE(edit_case.column);
        HWND edit = OpenEditByClicks(Main(), edit_case.row, edit_case.column);
        ASSERT_NE(nullptr, edit);
        EXPECT_EQ(Sides(CellRect(Main(), edit_case.row, edit_case.column)), Sides(RectInList(Main(), edit)));
        EXPECT_EQ(expected[edit_case.row].*edit_case.cell, WindowText(edit));
        EXPECT_EQ(edit_case.column, EditedColumn());

        EndEdit(Main(), edit_case.text, edit_case.key);
        expected[edit_case.row].*edit_case.cell = edit_case.text;
        EXPECT_EQ(expected, Rows(Main()));
        EXPECT_EQ(1, bModified.load());
        EXPECT_FALSE(IsCellEditing());
        EXPECT_EQ(-1, EditedRow());
    }
}

// The list edits its focused row when the edit key is pressed, whatever row
// the last click was on, or when it was on no row at all.
TEST_F(CellEditTest, TheEditKeyEditsTheFocusedRowsLabel)
{
    ClickCell(Main(), 0, 2);
    PressKey(Main(), VK_DOWN);
    PressKey(Main(), VK_DOWN);
    HWND edit = PressEditKey(Main());
    ASSERT_NE(nullptr, edit);
    EXPECT_EQ(Sides(CellRect(Main(), 2, 0)), Sides(RectInList(Main(), edit)));
    EXPECT_EQ(L"paint", WindowText(edit));
    EndEdit(Main(), L"brush", VK_RETURN);

    const RECT last = CellRect(Main(), 3, 2);
    ClickAt(Main(), POINT{last.left + 4, last.bottom + 40});
    ASSERT_GT(static_cast<LONG>(LastListClick().y), last.bottom) << "the last click lies below every row";
    PressKey(Main(), VK_DOWN);
    edit = PressEditKey(Main());
    ASSERT_NE(nullptr, edit);
    const int focused = FocusedRow(Main());
    EXPECT_EQ(EditedRow(), focused);
    EXPECT_EQ(0, EditedColumn());
    EndEdit(Main(), L"sketch", VK_RETURN);

    std::vector<test::Row> expected = rows_;
    expected[2].alias = L"brush";
    expected[focused].alias = L"sketch";
    EXPECT_EQ(expected, Rows(Main()));
}

TEST_F(CellEditTest, FilterListEditsReachTheMainRowWithTheSameAlias)
{
    TypeFilter(L"n");
    ASSERT_EQ((std::vector<test::Row>{rows_[1], rows_[3]}), Rows(Filter()));

    ASSERT_NE(nullptr, OpenEditByClicks(Filter(), 1, 2));
    EndEdit(Filter(), L"e:\\nova.exe", VK_RETURN);
    EXPECT_EQ(1, bModified.load());

    // A parameter cleared in the filtered view is cleared in the table too.
    ASSERT_NE(nullptr, OpenEditByClicks(Filter(), 0, 1));
    EndEdit(Filter(), L"", VK_RETURN);

    // Escape leaves the box's text in both lists, so they never disagree.
    ASSERT_NE(nullptr, OpenEditByClicks(Filter(), 0, 2));
    EndEdit(Filter(), L"e:\\notepad.exe", VK_ESCAPE);

    std::vector<test::Row> expected = rows_;
    expected[3].path = L"e:\\nova.exe";
    expected[1].parameter = L"";
    expected[1].path = L"e:\\notepad.exe";
    EXPECT_EQ((std::vector<test::Row>{expected[1], expected[3]}), Rows(Filter()));
    TypeFilter(L"\b");
    EXPECT_EQ(expected, Rows(Main()));
}

TEST_F(CellEditTest, AFilterEditWhoseAliasLeftTheMainListChangesOnlyTheFilterRow)
{
    TypeFilter(L"n");
    SendMessageW(Main(), LVM_DELETEITEM, 3, 0); // nova
    ASSERT_NE(nullptr, OpenEditByClicks(Filter(), 1, 2));
    EndEdit(Filter(), L"e:\\nova.exe", VK_RETURN);

    EXPECT_EQ(L"e:\\nova.exe", Cell(Filter(), 1, 2));
    EXPECT_EQ(std::vector<test::Row>(rows_.begin(), rows_.begin() + 3), Rows(Main()));
    EXPECT_EQ(0, bModified.load());
    EXPECT_FALSE(IsCellEditing());
}

TEST_F(CellEditTest, AliasesOf260CharactersAndMoreAreWrittenBackWhole)
{
    const std::wstring long_alias(300, L'z');
    const std::wstring cut_alias(259, L'z'); // what a 260-character buffer would keep
    SendMessageW(Main(), LVM_DELETEALLITEMS, 0, 0);
    Fill({{cut_alias, L"", L"c:\\cut.exe"}, {long_alias, L"", L"c:\\long.exe"}});
    SendMessageW(Main(), LVM_SETCOLUMNWIDTH, 0, 80);
    SendMessageW(Filter(), LVM_SETCOLUMNWIDTH, 0, 80);

    TypeFilter(L"z");
    ASSERT_EQ(rows_, Rows(Filter()));
    ASSERT_NE(nullptr, OpenEditByClicks(Filter(), 1, 2));
    EndEdit(Filter(), L"c:\\longer.exe", VK_RETURN);

    EXPECT_EQ(L"c:\\longer.exe", Cell(Main(), 1, 2));
    EXPECT_EQ(L"c:\\cut.exe", Cell(Main(), 0, 2));
    EXPECT_EQ(1, bModified.load());
}

// A filter pass that starts again empties the filter list and fills it anew,
// perhaps in another order, while the user may be editing a row of it.
TEST_F(CellEditTest, AnEditWhoseRowWasReplacedWritesNothing)
{
    TypeFilter(L"n");
    HWND edit = OpenEditByClicks(Filter(), 1, 2);
    ASSERT_NE(nullptr, edit);
    SetWindowTextW(edit, L"e:\\nova.exe");
    SendMessageW(Filter(), LVM_DELETEALLITEMS, 0, 0);
    AppendRow(Filter(), rows_[3]);
    AppendRow(Filter(), rows_[1]);
    EndEdit(Filter(), L"e:\\nova.exe", VK_RETURN);

    EXPECT_EQ((std::vector<test::Row>{rows_[3], rows_[1]}), Rows(Filter()));
    EXPECT_EQ(rows_, Rows(Main()));
    EXPECT_FALSE(IsCellEditing());
}

// A row above the edited one goes while the box is open (a removal, Reload):
// the alias lands on the edited row only, not in the place it left.
TEST_F(CellEditTest, AnEditOfARowThatMovedLandsOnThatRowOnly)
{
    HWND edit = OpenEditByClicks(Main(), 2, 0);
    ASSERT_NE(nullptr, edit);
    ListView_DeleteItem(Main(), 0);
    EndEdit(Main(), L"brush", VK_RETURN);

    std::vector<test::Row> expected(rows_.begin() + 1, rows_.end());
    expected[1].alias = L"brush";
    EXPECT_EQ(expected, Rows(Main()));
    EXPECT_EQ(1, FindFirstAlias(L"brush"));
    EXPECT_EQ(-1, FindFirstAlias(L"paint"));
}

} // namespace
