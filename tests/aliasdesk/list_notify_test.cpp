#include "list_notify.h"

#include "aliasdesk_ids.h"
#include "app_state.h"
#include "cell_edit.h"
#include "dialog_fixture.h"
#include "list_input.h"
#include "replaced_proc.h"
#include "report_table.h"
#include "wait.h"
#include "workers.h"

#include <commctrl.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<std::wstring> Column(const std::vector<test::Row>& rows, std::wstring test::Row::*cell)
{
    std::vector<std::wstring> texts;
    for (const test::Row& row : rows)
        texts.push_back(row.*cell);
    return texts;
}

// The rows of the part in the order the whole has them.
std::vector<test::Row> InOrderOf(const std::vector<test::Row>& whole, const std::vector<test::Row>& part)
{
    std::vector<test::Row> ordered;
    std::copy_if(whole.begin(), whole.end(), std::back_inserter(ordered),
                 [&](const test::Row& row) { return std::find(part.begin(), part.end(), row) != part.end(); });
    return ordered;
}

struct DrawnRow {
    int row;
    std::wstring alias;
    COLORREF background;
    LRESULT answer;
};

// Records the main list's custom-draw requests and the dialog's answers as
// the list receives them.
class CustomDrawRecorder {
public:
    explicit CustomDrawRecorder(HWND dlg) : replaced_(dlg, &Proc)
    {
        drawn.clear();
        kept = replaced_.kept();
    }

    static inline std::vector<DrawnRow> drawn;

private:
    static LRESULT CALLBACK Proc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam)
    {
        const LRESULT answer = CallWindowProcW(kept, dlg, message, wParam, lParam);
        const auto* draw = reinterpret_cast<const NMLVCUSTOMDRAW*>(lParam);
        if (message != WM_NOTIFY || draw->nmcd.hdr.code != NM_CUSTOMDRAW || draw->nmcd.hdr.idFrom != IDC_MAIN_LIST)
            return answer;
        if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
            const int row = static_cast<int>(draw->nmcd.dwItemSpec);
            wchar_t alias[64] = {};
            ListView_GetItemText(draw->nmcd.hdr.hwndFrom, row, 0, alias, 64);
            drawn.push_back({row, alias, draw->clrTextBk, answer});
        }
        return answer;
    }
    static inline WNDPROC kept;
    ReplacedProc replaced_;
};

class ListNotifyTest : public ListTest {
protected:
    ListNotifyTest()
        : ListTest({{L"beta", L"", L"c:\\b\\beta.exe"},
                    {L"Alpha", L"-a", L"d:\\alpha.exe"},
                    {L"alp", L"", L"C:\\A\\alp.exe"},
                    {L"_x", L"", L"c:\\_\\x.exe"},
                    {L"\u00C4rger", L"", L"e:\\arger.exe"},
                    {L"Zeta", L"-z", L"c:\\zeta.exe"}})
    {
    }

    // What the dialog's handler answers MainDlgProc (which the dialog
    // manager does not pass on: the list reads the stored answer).
    INT_PTR Notify(UINT_PTR id, NMHDR* header)
    {
        header->idFrom = id;
        header->hwndFrom = Item(static_cast<int>(id));
        return OnListNotify(dlg_, header);
    }
};

TEST_F(ListNotifyTest, HeaderClicksSortBothListsAscendingThenDescending)
{
    TypeFilter(L"*a"); // all but _x and the one with the umlaut
    ASSERT_EQ(4u, Rows(Filter()).size());

    // Only A to Z fold: the underscore lies between the two cases, the umlaut above both.
    ClickHeader(Filter(), 0);
    const std::vector<std::wstring> ascending = {L"_x", L"alp", L"Alpha", L"beta", L"Zeta", L"\u00C4rger"};
    EXPECT_EQ(ascending, Column(Rows(Main()), &test::Row::alias));
    EXPECT_EQ(InOrderOf(Rows(Main()), Rows(Filter())), Rows(Filter()));
    EXPECT_EQ(4u, Rows(Filter()).size());

    ClickHeader(Filter(), 2);
    const std::vector<std::wstring> descending = {L"e:\\arger.exe",   L"d:\\alpha.exe",  L"c:\\zeta.exe",
                                                  L"c:\\b\\beta.exe", L"C:\\A\\alp.exe", L"c:\\_\\x.exe"};
    EXPECT_EQ(descending, Column(Rows(Main()), &test::Row::path));
    EXPECT_EQ(InOrderOf(Rows(Main()), Rows(Filter())), Rows(Filter()));

    // Equal parameters leave both lists in one order too.
    ClickHeader(Filter(), 1);
    EXPECT_EQ((std::vector<std::wstring>{L"", L"", L"", L"", L"-a", L"-z"}),
              Column(Rows(Main()), &test::Row::parameter));
    EXPECT_EQ(InOrderOf(Rows(Main()), Rows(Filter())), Rows(Filter()));

    // The direction is shared by both lists.
    TypeFilter(L"\b\b");
    ASSERT_TRUE(IsWindowVisible(Main()));
    ClickHeader(Main(), 0);
    std::vector<std::wstring> reversed(ascending.rbegin(), ascending.rend());
    EXPECT_EQ(reversed, Column(Rows(Main()), &test::Row::alias));
    EXPECT_EQ(0, bModified.load()) << "sorting changes no row";
    EXPECT_EQ(0, CompareRows(0, 1, 0)) << "no context, no order";
}

TEST_F(ListNotifyTest, AHeaderClickDuringAnEditPutsTheTextIntoItsOwnRow)
{
    HWND edit = OpenEditByClicks(Main(), 1, 2);
    ASSERT_NE(nullptr, edit);
    SetWindowTextW(edit, L"f:\\alpha.exe");
    ClickHeader(Main(), 0);

    EXPECT_FALSE(IsCellEditing());
    EXPECT_EQ(nullptr, reinterpret_cast<HWND>(SendMessageW(Main(), LVM_GETEDITCONTROL, 0, 0)));
    const std::vector<test::Row> rows = Rows(Main());
    EXPECT_EQ(L"Alpha", rows[2].alias) << "sorted";
    EXPECT_EQ(L"f:\\alpha.exe", rows[2].path);
    EXPECT_EQ(1, bModified.load());
}

TEST_F(ListNotifyTest, RowsAreStripedByTheirPlaceAlsoAfterARemoval)
{
    CustomDrawRecorder recorder(dlg_);
    RedrawWindow(Main(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    ASSERT_GE(CustomDrawRecorder::drawn.size(), rows_.size());
    for (const DrawnRow& drawn : CustomDrawRecorder::drawn) {
        SCOPED_TRACE(drawn.row);
        EXPECT_EQ(drawn.row % 2 ? 0x00FFFFFFu : 0x00F0F0F0u, drawn.background);
        EXPECT_EQ(CDRF_NEWFONT, drawn.answer);
    }

    // Removing the first row moves every other row up by one stripe.
    Select(Main(), 0);
    CustomDrawRecorder::drawn.clear();
    PressKey(Main(), VK_DELETE);
    MSG msg;
    for (int i = 0; i < 50 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i)
        DispatchMessageW(&msg);
    EXPECT_FALSE(GetUpdateRect(Main(), nullptr, FALSE)) << "the painting has come to an end";
    EXPECT_EQ(0, bRowsRemoved.load());

    std::vector<std::pair<std::wstring, COLORREF>> last_drawn(rows_.size() - 1);
    for (const DrawnRow& drawn : CustomDrawRecorder::drawn)
        last_drawn.at(drawn.row) = {drawn.alias, drawn.background};
    EXPECT_EQ((std::vector<std::pair<std::wstring, COLORREF>>{{L"Alpha", 0x00F0F0F0u},
                                                              {L"alp", 0x00FFFFFFu},
                                                              {L"_x", 0x00F0F0F0u},
                                                              {L"\u00C4rger", 0x00FFFFFFu},
                                                              {L"Zeta", 0x00F0F0F0u}}),
              last_drawn);
}

TEST_F(ListNotifyTest, RowsAddedInStepsArePaintedOnceTheStepsStop)
{
    PumpFor(400); // whatever the fixture's own rows left to paint
    CustomDrawRecorder recorder(dlg_);
    {
        RowAppender appender(pMainTable); // one step of a scan
        appender.Append(L"late", L"", L"c:\\late.exe");
    }
    // Redraw stays off for the steps that may follow it, and comes back by itself.
    PumpFor(600);
    const auto& drawn = CustomDrawRecorder::drawn;
    EXPECT_TRUE(std::any_of(drawn.begin(), drawn.end(), [](const DrawnRow& row) { return row.alias == L"late"; }));
    CustomDrawRecorder::drawn.clear();
    RedrawWindow(Main(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_GE(CustomDrawRecorder::drawn.size(), rows_.size() + 1) << "the list paints again on demand";
}

TEST_F(ListNotifyTest, TheDeleteKeyRemovesTheSelectedRowsOfEitherList)
{
    Select(Main(), 2);
    for (UINT other : {VK_INSERT, VK_F5, VK_BACK})
        PressKey(Main(), other);
    EXPECT_EQ(rows_, Rows(Main())) << "other keys remove nothing";
    EXPECT_EQ(0, bModified.load());

    PressKey(Main(), VK_DELETE);
    std::vector<test::Row> expected = rows_;
    expected.erase(expected.begin() + 2);
    EXPECT_EQ(expected, Rows(Main()));
    EXPECT_EQ(L"5", Text(IDC_COUNT));

    TypeFilter(L"*e");
    ASSERT_EQ((std::vector<test::Row>{rows_[0], rows_[4], rows_[5]}), Rows(Filter()));
    Select(Filter(), 0, false);
    Select(Filter(), 2);
    PressKey(Filter(), VK_DELETE);
    EXPECT_EQ((std::vector<test::Row>{rows_[0], rows_[4]}), Rows(Filter()));
    expected.pop_back();
    EXPECT_EQ(expected, Rows(Main()));
    EXPECT_EQ(L"4", Text(IDC_COUNT));
    EXPECT_EQ(1, bModified.load());
}

TEST_F(ListNotifyTest, NotificationsFromOtherControlsAreLeftAlone)
{
    NMLVKEYDOWN delete_key{};
    delete_key.hdr.code = LVN_KEYDOWN;
    delete_key.wVKey = VK_DELETE;
    NMLISTVIEW column_click{};
    column_click.hdr.code = LVN_COLUMNCLICK;
    NMLVCUSTOMDRAW prepaint{};
    prepaint.nmcd.hdr.code = NM_CUSTOMDRAW;
    prepaint.nmcd.dwDrawStage = CDDS_PREPAINT;

    Select(Main(), 0);
    for (UINT_PTR id : {IDC_FILTER, IDC_PATH, IDC_COUNT}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(0, Notify(id, &delete_key.hdr));
        EXPECT_EQ(0, Notify(id, &column_click.hdr));
        EXPECT_EQ(0, Notify(id, &prepaint.nmcd.hdr));
    }
    EXPECT_EQ(rows_, Rows(Main())) << "neither removed nor sorted";
    EXPECT_EQ(std::vector<int>{0}, SelectedRows(Main()));

    // The lists' own notifications that are not handled, too.
    NMLISTVIEW changed{};
    changed.hdr.code = LVN_ITEMCHANGED;
    EXPECT_EQ(0, Notify(IDC_MAIN_LIST, &changed.hdr));
    NMLVCUSTOMDRAW postpaint = prepaint;
    postpaint.nmcd.dwDrawStage = CDDS_ITEMPOSTPAINT;
    EXPECT_EQ(0, Notify(IDC_MAIN_LIST, &postpaint.nmcd.hdr));

    EXPECT_EQ(1, Notify(IDC_MAIN_LIST, &delete_key.hdr));
    EXPECT_EQ(rows_.size() - 1, Rows(Main()).size()) << "the same key from the list removes";
}

// Enough rows that a worker is still adding them when the header is clicked.
std::vector<test::Row> ManyRows(int count)
{
    std::vector<test::Row> rows;
    for (int i = 0; i < count; ++i) {
        const std::wstring alias = L"app" + std::to_wstring((i * 7919) % count);
        rows.push_back({alias, L"", L"c:\\apps\\" + alias + L".exe"});
    }
    return rows;
}

// Posted input waits while a worker keeps the dialog busy with its rows, so
// the worker is held between two rows and the sorts and the edit are sent, as
// the list would send them.
using SortWhileAddingTest = ListNotifyTest;

TEST_F(SortWhileAddingTest, AFilterPassSortedMidwayEndsInTheMainListsOrder)
{
    SendMessageW(Main(), LVM_DELETEALLITEMS, 0, 0);
    Fill(ManyRows(400));

    SendMessageW(Item(IDC_FILTER), WM_CHAR, L'*', 1);
    BetweenWorkerSteps steps(dlg_);
    steps.When([&] { return Count(Filter()) >= 20; }, [&] {
        NMLISTVIEW click{};
        click.hdr.code = LVN_COLUMNCLICK;
        Notify(IDC_FILTER_LIST, &click.hdr); // the pass is held between two steps
    });
    ASSERT_TRUE(steps.PumpUntilActed());
    Settle();

    const std::vector<test::Row> main_rows = Rows(Main());
    EXPECT_TRUE(std::is_sorted(main_rows.begin(), main_rows.end(),
                               [](const test::Row& a, const test::Row& b) { return a.alias < b.alias; }));
    EXPECT_EQ(main_rows, Rows(Filter())) << "every row once, in the main list's order";
}

TEST_F(SortWhileAddingTest, SortsAndEditsDuringAScanLoseNoRow)
{
    SendMessageW(Main(), LVM_DELETEALLITEMS, 0, 0);
    const std::wstring folder = dir_.path() + L"\\apps";
    ASSERT_TRUE(MakeDirs(folder));
    std::vector<std::wstring> aliases;
    for (const test::Row& row : ManyRows(300)) {
        ASSERT_TRUE(WriteFileBytes(folder + L"\\" + row.alias + L".exe", "MZ"));
        aliases.push_back(row.alias);
    }
    NMLISTVIEW click{};
    click.hdr.code = LVN_COLUMNCLICK;

    SetDlgItemTextW(dlg_, IDC_PATH, folder.c_str());
    Click(IDC_ADD);
    std::wstring edited;
    BetweenWorkerSteps steps(dlg_);
    steps.When([&] { return Count(Main()) >= 10; }, [&] {
        Notify(IDC_MAIN_LIST, &click.hdr);
        const std::vector<test::Row> listed_so_far = Rows(Main());
        EXPECT_TRUE(std::is_sorted(listed_so_far.begin(), listed_so_far.end(),
                                   [](const test::Row& a, const test::Row& b) { return a.alias < b.alias; }));
        edited = Cell(Main(), 1, 0);
        const RECT path = CellRect(Main(), 1, 2);
        SetLastListClick({static_cast<DWORD>(path.left + 4), static_cast<DWORD>(path.top + 2)});
        HWND edit = reinterpret_cast<HWND>(SendMessageW(Main(), LVM_EDITLABELW, 1, 0));
        ASSERT_NE(nullptr, edit);
        ASSERT_EQ(2, EditedColumn());
        SetWindowTextW(edit, L"c:\\edited.exe");
        SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
        EXPECT_FALSE(IsCellEditing());
        Notify(IDC_MAIN_LIST, &click.hdr);
        ASSERT_FALSE(IsWindowEnabled(Item(IDC_ADD))) << "the scan was still running";
    });
    ASSERT_TRUE(steps.PumpUntilActed());

    ASSERT_TRUE(PumpUntil([&] { return IsWindowEnabled(Item(IDC_ADD)) != FALSE; }));
    Settle();
    const std::vector<test::Row> rows = Rows(Main());
    std::vector<std::wstring> listed = Column(rows, &test::Row::alias);
    std::sort(listed.begin(), listed.end());
    std::sort(aliases.begin(), aliases.end());
    EXPECT_EQ(aliases, listed);
    const auto row = std::find_if(rows.begin(), rows.end(), [&](const test::Row& r) { return r.alias == edited; });
    ASSERT_NE(rows.end(), row);
    EXPECT_EQ(L"c:\\edited.exe", row->path);
}

} // namespace
