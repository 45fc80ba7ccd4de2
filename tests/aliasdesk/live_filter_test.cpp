#include "live_filter.h"

#include "aliasdesk_ids.h"
#include "app_state.h"
#include "debug_capture.h"
#include "list_input.h"
#include "main_dialog.h"
#include "main_table.h"
#include "row_removal.h"
#include "replaced_proc.h"
#include "report_table.h"
#include "wait.h"
#include "wide_text.h"
#include "workers.h"

#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix)
{
    if (text.size() < prefix.size())
        return false;
    return std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](wchar_t a, wchar_t b) { return LowerAscii(a) == LowerAscii(b); });
}

bool ContainsNoCase(const std::wstring& text, const std::wstring& part)
{
    for (size_t i = 0; i + part.size() <= text.size(); ++i) {
        if (StartsWithNoCase(text.substr(i), part))
            return true;
    }
    return false;
}

// The words cycle, so each pattern below matches a known share of the rows.
std::vector<test::Row> MakeTable(int count)
{
    const wchar_t* words[] = {L"notepad", L"Nova",   L"NOISE", L"nod",    L"piano",   L"casino", L"snow",
                              L"n",       L"editor", L"paint", L"calc",   L"winword", L"excel",  L"chrome",
                              L"firefox", L"vlc",    L"git",   L"python", L"make",    L"zip"};
    std::vector<test::Row> rows;
    for (int i = 0; i < count; ++i) {
        const std::wstring word = words[i % std::size(words)];
        const std::wstring alias = word + L"_" + std::to_wstring(i);
        const std::wstring folder = i % 2 ? L"D:\\Notes\\" : L"C:\\Tools\\";
        rows.push_back({alias, i % 3 ? L"" : L"-x", folder + word + L"\\" + alias + L".exe"});
    }
    return rows;
}

std::vector<test::Row> Where(const std::vector<test::Row>& rows, const std::function<bool(const test::Row&)>& keep)
{
    std::vector<test::Row> kept;
    std::copy_if(rows.begin(), rows.end(), std::back_inserter(kept), keep);
    return kept;
}

int ColumnWidth(HWND list, int column)
{
    return static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0));
}

// Counts the rows inserted into a list, whoever inserts them.
class InsertCounter {
public:
    explicit InsertCounter(HWND list) : replaced_(list, &Proc)
    {
        inserted = 0;
        kept = replaced_.kept();
    }

    static inline int inserted;

private:
    static LRESULT CALLBACK Proc(HWND list, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == LVM_INSERTITEMW)
            ++inserted;
        return CallWindowProcW(kept, list, message, wParam, lParam);
    }
    static inline WNDPROC kept;
    ReplacedProc replaced_;
};

std::vector<std::wstring> LeaveLines(const DebugCapture& capture)
{
    std::vector<std::wstring> lines;
    for (const std::wstring& line : capture.Lines()) {
        if (line.starts_with(L"leave thread"))
            lines.push_back(line);
    }
    return lines;
}

std::wstring LeaveLine(int ticket)
{
    return L"leave thread, n_thread_id = " + std::to_wstring(ticket) + L"\n";
}

class LiveFilterTest : public ListTest {
protected:
    LiveFilterTest() : ListTest(MakeTable(300)) {}

    // Sends the characters as the message loop would deliver them, without
    // dispatching in between.
    void Type(const std::wstring& keys)
    {
        for (wchar_t c : keys)
            SendMessageW(Item(IDC_FILTER), WM_CHAR, c, 1);
    }

    // One key at a time, each filter finished before the next key.
    void TypeSlowly(const std::wstring& keys)
    {
        for (wchar_t c : keys) {
            Type(std::wstring(1, c));
            Settle();
        }
    }

    // Selects the whole box text and removes it with Backspace.
    void EraseBox()
    {
        SendMessageW(Item(IDC_FILTER), EM_SETSEL, 0, -1);
        Type(L"\b");
        Settle();
    }

    bool FilterListShown() const { return (GetWindowLongPtrW(Item(IDC_FILTER_LIST), GWL_STYLE) & WS_VISIBLE) != 0; }
};

TEST_F(LiveFilterTest, LettersListTheAliasesThatBeginWithThem)
{
    DebugCapture capture;
    TypeSlowly(L"no");

    EXPECT_EQ(L"no", Text(IDC_FILTER));
    EXPECT_FALSE(IsMainListShown(dlg_));
    EXPECT_TRUE(FilterListShown());
    const std::vector<test::Row> expected =
        Where(rows_, [](const test::Row& r) { return StartsWithNoCase(r.alias, L"no"); });
    ASSERT_EQ(60u, expected.size());
    EXPECT_EQ(expected, Rows(Item(IDC_FILTER_LIST)));
    EXPECT_EQ(std::vector<int>{0}, SelectedRows(Item(IDC_FILTER_LIST)));
    EXPECT_EQ(rows_, Rows(Item(IDC_MAIN_LIST))) << "the main list is only read";

    // Each key came after a quiet spell, so each worker had ticket 1.
    EXPECT_EQ((std::vector<std::wstring>{LeaveLine(1), LeaveLine(1)}), LeaveLines(capture));
    EXPECT_EQ(0, RunningFilterWorkers());
}

TEST_F(LiveFilterTest, ALeadingStarSearchesAnywhereAndAStarAloneListsAll)
{
    TypeSlowly(L"*no");
    EXPECT_EQ(Where(rows_, [](const test::Row& r) { return ContainsNoCase(r.alias, L"no"); }),
              Rows(Item(IDC_FILTER_LIST)));

    EraseBox();
    TypeSlowly(L"*");
    EXPECT_EQ(rows_, Rows(Item(IDC_FILTER_LIST)));

    TypeSlowly(L"q");
    EXPECT_TRUE(Rows(Item(IDC_FILTER_LIST)).empty()) << "no alias holds a q";
    EXPECT_TRUE(FilterListShown());
}

TEST_F(LiveFilterTest, PathMatchingStartsAtTheDriveLetter)
{
    TypeSlowly(L"notes");
    EXPECT_TRUE(Rows(Item(IDC_FILTER_LIST)).empty()) << "no alias begins with notes";

    // The choice of column waits for the next key.
    Click(IDC_MATCH_PATH);
    Settle();
    EXPECT_EQ(0, RunningWorkerCount());
    EXPECT_TRUE(Rows(Item(IDC_FILTER_LIST)).empty());
    TypeSlowly(L"\\");
    EXPECT_TRUE(FilterListShown());
    EXPECT_TRUE(Rows(Item(IDC_FILTER_LIST)).empty()) << "the path begins with its drive letter";

    const std::vector<test::Row> on_d =
        Where(rows_, [](const test::Row& r) { return StartsWithNoCase(r.path, L"d:\\notes"); });
    ASSERT_EQ(150u, on_d.size());
    EraseBox();
    Type(L"*notes");
    Settle();
    EXPECT_EQ(on_d, Rows(Item(IDC_FILTER_LIST)));

    EraseBox();
    Type(L"d:\\NOTES\\n");
    Settle();
    EXPECT_EQ(Where(on_d, [](const test::Row& r) { return StartsWithNoCase(r.path, L"d:\\notes\\n"); }),
              Rows(Item(IDC_FILTER_LIST)));
}

TEST_F(LiveFilterTest, BackspaceToEmptyShowsTheMainListWithItsFirstRowSelected)
{
    TypeSlowly(L"n");
    ASSERT_TRUE(FilterListShown());
    DebugCapture capture;

    TypeSlowly(L"\b");
    EXPECT_EQ(L"", Text(IDC_FILTER));
    EXPECT_TRUE(IsMainListShown(dlg_));
    EXPECT_FALSE(FilterListShown());
    EXPECT_EQ(std::vector<int>{0}, SelectedRows(Item(IDC_MAIN_LIST)));
    EXPECT_TRUE(Rows(Item(IDC_FILTER_LIST)).empty());
    EXPECT_TRUE(LeaveLines(capture).empty()) << "an empty box writes no line";
}

TEST_F(LiveFilterTest, ChangesWithoutACharacterDoNotFilterAgain)
{
    TypeSlowly(L"n");
    const std::vector<test::Row> shown = Rows(Item(IDC_FILTER_LIST));
    ASSERT_FALSE(shown.empty());

    // The Delete key takes the last character without a character message.
    SendMessageW(Item(IDC_FILTER), EM_SETSEL, 0, 0);
    SendMessageW(Item(IDC_FILTER), WM_KEYDOWN, VK_DELETE, 0x01530001);
    SendMessageW(Item(IDC_FILTER), WM_KEYUP, VK_DELETE, static_cast<LPARAM>(0xC1530001u));
    Settle();
    EXPECT_EQ(L"", Text(IDC_FILTER));
    EXPECT_TRUE(FilterListShown());
    EXPECT_EQ(shown, Rows(Item(IDC_FILTER_LIST)));

    // Nor does text that the program sets.
    SetDlgItemTextW(dlg_, IDC_FILTER, L"*");
    Settle();
    EXPECT_EQ(shown, Rows(Item(IDC_FILTER_LIST)));
    EXPECT_EQ(0, RunningWorkerCount());
}

TEST_F(LiveFilterTest, FastTypingEndsWithTheRowsOfTheFinalText)
{
    DebugCapture capture;
    InsertCounter counter(Item(IDC_FILTER_LIST));

    // n, o, x, two Backspaces and o again: six workers for the final text "no".
    Type(L"nox\b\bo");
    // Not dispatching: every worker holds its ticket before any may fill the list.
    PollUntil([] { return NewestFilterTicket() >= 6; }, kHangGuardMs, 1);
    ASSERT_EQ(6, NewestFilterTicket());
    Settle();

    const std::vector<test::Row> expected =
        Where(rows_, [](const test::Row& r) { return StartsWithNoCase(r.alias, L"no"); });
    EXPECT_EQ(expected, Rows(Item(IDC_FILTER_LIST)));
    EXPECT_EQ(static_cast<int>(expected.size()), InsertCounter::inserted) << "older workers gave up before any row";
    EXPECT_EQ(0, RunningFilterWorkers());

    // Only workers that passed the door write a line, and a worker passes it
    // only while it holds the newest ticket: the tickets rise and end with 6.
    const std::vector<std::wstring> lines = LeaveLines(capture);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(LeaveLine(6), lines.back());
    const std::wstring prefix = L"leave thread, n_thread_id = ";
    int previous = 0;
    for (const std::wstring& line : lines) {
        const int ticket = std::stoi(line.substr(prefix.size()));
        EXPECT_EQ(LeaveLine(ticket), line);
        EXPECT_GT(ticket, previous);
        previous = ticket;
    }

    // The next key after the quiet spell starts again at ticket 1.
    capture.Clear();
    TypeSlowly(L"t");
    EXPECT_EQ(std::vector<std::wstring>{LeaveLine(1)}, LeaveLines(capture));
    EXPECT_EQ(Where(rows_, [](const test::Row& r) { return StartsWithNoCase(r.alias, L"not"); }),
              Rows(Item(IDC_FILTER_LIST)));
}

TEST_F(LiveFilterTest, ACompletePassGivesTheMainListTheFilterListsColumnWidths)
{
    HWND main_list = Item(IDC_MAIN_LIST);
    HWND filter_list = Item(IDC_FILTER_LIST);
    const int header_width = ColumnWidth(main_list, 2);

    TypeSlowly(L"n");
    ASSERT_GT(ColumnWidth(filter_list, 2), header_width) << "the paths are wider than their header";
    for (int column = 0; column < 3; ++column) {
        SCOPED_TRACE(column);
        EXPECT_EQ(ColumnWidth(filter_list, column), ColumnWidth(main_list, column));
    }
}

TEST_F(LiveFilterTest, RemoveInTheFilteredViewTakesTheSameAliasesFromTheMainList)
{
    TypeSlowly(L"no");
    HWND filter_list = Item(IDC_FILTER_LIST);
    std::vector<test::Row> shown = Rows(filter_list);
    Select(filter_list, 0, false);
    Select(filter_list, 1);
    Select(filter_list, 3);
    wcscpy(szScanFolder, L"c:\\tools");
    DebugCapture capture;

    Click(IDC_REMOVE);

    std::vector<test::Row> remaining = rows_;
    std::erase(remaining, shown[1]);
    std::erase(remaining, shown[3]);
    EXPECT_EQ(remaining, Rows(Item(IDC_MAIN_LIST)));
    shown.erase(shown.begin() + 3);
    shown.erase(shown.begin() + 1);
    EXPECT_EQ(shown, Rows(filter_list));
    EXPECT_EQ(std::vector<int>{2}, SelectedRows(filter_list)) << "the row that moved into the last removed place";
    EXPECT_EQ(L"298", Text(IDC_COUNT));
    EXPECT_TRUE(FilterListShown());
    EXPECT_EQ(1, bModified.load());
    EXPECT_EQ(1, bRowsRemoved.load());
    EXPECT_STREQ(L"", szScanFolder);
    EXPECT_EQ(std::vector<std::wstring>{L"RemoveSelectItem\n"}, capture.Lines());
}

int CALLBACK LaterFirst(LPARAM first, LPARAM second, LPARAM)
{
    return first > second ? -1 : (first < second ? 1 : 0);
}

TEST_F(LiveFilterTest, RemoveInTheFilteredViewNeverTakesAWrongMainRow)
{
    TypeSlowly(L"no");
    HWND main_list = Item(IDC_MAIN_LIST);
    HWND filter_list = Item(IDC_FILTER_LIST);
    const std::vector<test::Row> shown = Rows(filter_list);

    // The main row of filter row 1 has gone; the rest stand in reverse order,
    // out of the filter list's order.
    const auto gone = std::find(rows_.begin(), rows_.end(), shown[1]);
    ASSERT_NE(rows_.end(), gone);
    SendMessageW(main_list, LVM_DELETEITEM, gone - rows_.begin(), 0);
    SendMessageW(main_list, LVM_SORTITEMS, 0, reinterpret_cast<LPARAM>(&LaterFirst));
    std::vector<test::Row> main_rows = Rows(main_list);

    Select(filter_list, 0);
    Select(filter_list, 1);
    Select(filter_list, 2);
    Click(IDC_REMOVE);

    std::vector<test::Row> expected = main_rows;
    std::erase(expected, shown[0]);
    std::erase(expected, shown[2]);
    EXPECT_EQ(expected, Rows(main_list));
    EXPECT_EQ(std::vector<test::Row>(shown.begin() + 3, shown.end()), Rows(filter_list));
    EXPECT_EQ(std::to_wstring(expected.size()), Text(IDC_COUNT)) << "the label counts the main list's rows";
}

TEST_F(LiveFilterTest, RemoveInTheFullViewSelectsTheRowThatMovedIntoTheLastPlace)
{
    HWND main_list = Item(IDC_MAIN_LIST);
    for (int row : {2, 3, 7})
        Select(main_list, row);
    Click(IDC_REMOVE);

    std::vector<test::Row> expected = rows_;
    expected.erase(expected.begin() + 7);
    expected.erase(expected.begin() + 2, expected.begin() + 4);
    EXPECT_EQ(expected, Rows(main_list));
    EXPECT_EQ(std::vector<int>{5}, SelectedRows(main_list));
    EXPECT_EQ(L"297", Text(IDC_COUNT));
    EXPECT_TRUE(IsMainListShown(dlg_));

    // The last row has no successor: nothing stays selected.
    Select(main_list, 5, false);
    Select(main_list, 296);
    Click(IDC_REMOVE);
    expected.pop_back();
    EXPECT_EQ(expected, Rows(main_list));
    EXPECT_TRUE(SelectedRows(main_list).empty());
    EXPECT_EQ(L"296", Text(IDC_COUNT));
}

TEST_F(LiveFilterTest, RemoveWithNothingSelectedSelectsTheFirstRowAndStillCounts)
{
    wcscpy(szScanFolder, L"c:\\tools");
    SetDlgItemInt(dlg_, IDC_COUNT, 7, FALSE);
    Click(IDC_REMOVE);
    EXPECT_EQ(rows_, Rows(Item(IDC_MAIN_LIST)));
    EXPECT_EQ(std::vector<int>{0}, SelectedRows(Item(IDC_MAIN_LIST)));
    EXPECT_EQ(L"300", Text(IDC_COUNT));
    EXPECT_EQ(1, bModified.load());
    EXPECT_STREQ(L"", szScanFolder);

    TypeSlowly(L"pi");
    Select(Item(IDC_FILTER_LIST), 0, false);
    Click(IDC_REMOVE);
    EXPECT_EQ(rows_, Rows(Item(IDC_MAIN_LIST)));
    EXPECT_EQ(std::vector<int>{0}, SelectedRows(Item(IDC_FILTER_LIST)));
}

TEST_F(LiveFilterTest, FindNextMatchWalksTheMainTableAfterTheStartRow)
{
    EXPECT_EQ(0, FindNextMatch(L"no", -1, 0));
    EXPECT_EQ(1, FindNextMatch(L"no", 0, 0));
    EXPECT_EQ(3, FindNextMatch(L"no", 2, 0));
    EXPECT_EQ(20, FindNextMatch(L"no", 3, 0));
    EXPECT_EQ(4, FindNextMatch(L"*an", -1, 0));
    EXPECT_EQ(1, FindNextMatch(L"d:", -1, 2));
    EXPECT_EQ(0, FindNextMatch(L"*", -7, 0)) << "a start before the first row starts at the top";
    EXPECT_EQ(-1, FindNextMatch(L"*", 299, 0));
    EXPECT_EQ(-1, FindNextMatch(L"*", 300, 0));
    EXPECT_EQ(-1, FindNextMatch(L"zz", -1, 0));
    EXPECT_EQ(-1, FindNextMatch(nullptr, -1, 0));
}

TEST_F(LiveFilterTest, ClosingStopsARunningPassAtItsNextStep)
{
    SendMessageW(Item(IDC_MAIN_LIST), LVM_DELETEALLITEMS, 0, 0);
    Fill(MakeTable(20000)); // far more than one step of a pass takes
    InsertCounter counter(Item(IDC_FILTER_LIST));
    DebugCapture capture;
    BetweenWorkerSteps steps(dlg_);
    int before_close = -1;
    // Closed right after the pass's second step (the first listed rows), the
    // worker answered and about to send its next step.
    steps.After(2, [&] {
        before_close = InsertCounter::inserted;
        SendMessageW(dlg_, WM_CLOSE, 0, 0);
    }, true);

    Type(L"*");
    ASSERT_TRUE(PumpUntil([&] { return !IsOpen(); }));
    EXPECT_GT(before_close, 0) << "rows were listed before the close";
    EXPECT_EQ(0, RunningWorkerCount());
    EXPECT_EQ(0, RunningFilterWorkers());
    EXPECT_FALSE(cs_filter);
    EXPECT_EQ(nullptr, pMainTable);
    EXPECT_EQ(before_close, InsertCounter::inserted) << "no row after the close";
    EXPECT_LT(InsertCounter::inserted, 20000);
    EXPECT_EQ(std::vector<std::wstring>{LeaveLine(1)}, LeaveLines(capture));
}

TEST_F(LiveFilterTest, ClosingLetsWorkersWaitingForTheLockGiveUp)
{
    InsertCounter counter(Item(IDC_FILTER_LIST));
    DebugCapture capture;

    Type(L"*ab");
    PollUntil([] { return NewestFilterTicket() >= 3; }, kHangGuardMs, 1);
    SendMessageW(dlg_, WM_CLOSE, 0, 0);

    EXPECT_FALSE(IsOpen());
    EXPECT_EQ(0, RunningWorkerCount());
    EXPECT_EQ(0, RunningFilterWorkers());
    EXPECT_FALSE(cs_filter);
    EXPECT_EQ(0, InsertCounter::inserted);
    EXPECT_LE(LeaveLines(capture).size(), 1u) << "only a worker that passed the door writes a line";
}

TEST_F(MainDialogTest, ClearAfterFilteringRemovesExactlyTheShownRows)
{
    WaitForWorkers();
    std::vector<test::Row> rows;
    for (const wchar_t* alias :
         {L"alpha", L"notepad", L"beta", L"gamma", L"Nova", L"delta", L"epsilon", L"nod", L"zeta", L"eta"}) {
        rows.push_back({alias, L"", std::wstring(L"c:\\") + alias + L".exe"});
        AppendRow(Item(IDC_MAIN_LIST), rows.back());
    }
    SetDlgItemInt(dlg_, IDC_COUNT, 10, FALSE);
    SendMessageW(Item(IDC_FILTER), WM_CHAR, L'n', 1);
    SendMessageW(Item(IDC_FILTER), WM_CHAR, L'o', 1);
    Settle();
    ASSERT_EQ(3u, Rows(Item(IDC_FILTER_LIST)).size());

    Click(IDC_CLEAR);
    EXPECT_EQ(Where(rows, [](const test::Row& r) { return !StartsWithNoCase(r.alias, L"no"); }),
              Rows(Item(IDC_MAIN_LIST)));
    EXPECT_TRUE(Rows(Item(IDC_FILTER_LIST)).empty());
    EXPECT_EQ(L"7", Text(IDC_COUNT));
    EXPECT_EQ(L"no", Text(IDC_FILTER));
}

} // namespace
