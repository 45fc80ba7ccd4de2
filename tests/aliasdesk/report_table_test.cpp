#include "report_table.h"

#include "app_state.h"
#include "wait.h"

#include <commctrl.h>
#include <malloc.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>

namespace {

// A report list view of its own, with the three columns of the alias table,
// attached as the main table. Counts the cell fetches that reach the control.
class ReportTableTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        parent_ =
            CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
        list_ = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 780, 580, parent_,
                                nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, list_);
        fetches_ = 0;
        original_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(list_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingProc)));
        AttachReportTable(&table_, list_);
        pMainTable = &table_;
    }

    void TearDown() override
    {
        pMainTable = nullptr;
        free(table_.columns);
        DestroyWindow(parent_);
    }

    void AddAliasColumns()
    {
        ASSERT_EQ(1, AddColumn(&table_, L"alias"));
        ASSERT_EQ(1, AddColumn(&table_, L"parameter"));
        ASSERT_EQ(1, AddColumn(&table_, L"path"));
    }

    void AddRows(std::initializer_list<const wchar_t*> aliases)
    {
        for (const wchar_t* alias : aliases)
            ASSERT_NE(0, InsertRow(&table_, GetRowCount(&table_), alias));
    }

    int ColumnWidth(int column) { return static_cast<int>(SendMessageW(list_, LVM_GETCOLUMNWIDTH, column, 0)); }
    int TextWidth(const wchar_t* text)
    {
        return static_cast<int>(SendMessageW(list_, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text)));
    }
    std::wstring Cell(int row, int column)
    {
        wchar_t* text = nullptr;
        EXPECT_EQ(1, GetCellText(&table_, row, column, &text));
        std::wstring result = text ? text : L"<null>";
        free(text);
        return result;
    }
    void Select(int row)
    {
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED;
        state.state = LVIS_SELECTED;
        SendMessageW(list_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
    }

    static LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == LVM_GETITEMTEXTW)
            ++fetches_;
        return CallWindowProcW(original_, window, message, wParam, lParam);
    }

    static inline int fetches_;
    static inline WNDPROC original_;
    HWND parent_ = nullptr;
    HWND list_ = nullptr;
    ReportTable table_{};
};

TEST_F(ReportTableTest, AttachTurnsOnFullRowSelectLabelTipsAndDoubleBufferingOnly)
{
    const auto styles = static_cast<DWORD>(SendMessageW(list_, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    EXPECT_EQ(static_cast<DWORD>(LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP | LVS_EX_DOUBLEBUFFER), styles);
    EXPECT_EQ(list_, table_.window);
    EXPECT_EQ(0, table_.column_count);
    EXPECT_EQ(nullptr, table_.columns);
}

TEST_F(ReportTableTest, ColumnsStartAtTheirHeaderWidthPlusTwenty)
{
    AddAliasColumns();
    ASSERT_EQ(3, table_.column_count);
    const wchar_t* headers[] = {L"alias", L"parameter", L"path"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(TextWidth(headers[i]) + 20, ColumnWidth(i)) << i;
        EXPECT_EQ(i, table_.columns[i].index);
        EXPECT_EQ(0u, table_.columns[i].flags);
        EXPECT_EQ(ColumnWidth(i), table_.columns[i].width);

        wchar_t text[32] = {};
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_SUBITEM | LVCF_FMT;
        column.pszText = text;
        column.cchTextMax = 32;
        SendMessageW(list_, LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
        EXPECT_STREQ(headers[i], text);
        EXPECT_EQ(i + 1, column.iSubItem) << "sub-item is the position + 1";
        EXPECT_EQ(LVCFMT_LEFT, column.fmt & LVCFMT_JUSTIFYMASK);
    }
    EXPECT_EQ(0, AddColumn(&table_, nullptr));
    EXPECT_EQ(3, table_.column_count);
}

TEST_F(ReportTableTest, ColumnsGrowWithTheirWidestTextAndNeverShrink)
{
    AddAliasColumns();
    const wchar_t* wide = L"c:\\program files\\a rather long folder name\\program.exe";
    AddRows({L"a"});
    ASSERT_NE(0, SetCellText(&table_, 0, 2, wide));
    EXPECT_EQ(TextWidth(wide) + 10, ColumnWidth(2));

    ASSERT_NE(0, SetCellText(&table_, 0, 2, L"x"));
    EXPECT_EQ(TextWidth(wide) + 10, ColumnWidth(2)) << "a narrower text leaves the width";

    // A width dragged by hand is overwritten by the next write to the column.
    SendMessageW(list_, LVM_SETCOLUMNWIDTH, 2, 5);
    ASSERT_NE(0, SetCellText(&table_, 0, 2, L"y"));
    EXPECT_EQ(TextWidth(wide) + 10, ColumnWidth(2));

    DeleteAllRows(&table_);
    EXPECT_EQ(TextWidth(wide) + 10, table_.columns[2].width) << "widths survive DeleteAllRows";
}

TEST_F(ReportTableTest, EmptyTextIsNeverWrittenThroughSetCellText)
{
    AddAliasColumns();
    AddRows({L"a"});
    ASSERT_NE(0, SetCellText(&table_, 0, 1, L"/x"));
    EXPECT_EQ(0, SetCellText(&table_, 0, 1, L""));
    EXPECT_EQ(0, SetCellText(&table_, 0, 1, nullptr));
    EXPECT_EQ(L"/x", Cell(0, 1));
}

TEST_F(ReportTableTest, InsertRowTakesAnEmptyLabelButNotANullOne)
{
    AddAliasColumns();
    EXPECT_NE(0, InsertRow(&table_, 0, L""));
    EXPECT_EQ(0, InsertRow(&table_, 0, nullptr));
    EXPECT_EQ(1, GetRowCount(&table_));
    EXPECT_EQ(L"", Cell(0, 0));
}

TEST_F(ReportTableTest, InsertRowBeyondTheLastRowAppends)
{
    AddAliasColumns();
    AddRows({L"first", L"second"});
    ASSERT_NE(0, InsertRow(&table_, 99, L"third"));
    ASSERT_NE(0, InsertRow(&table_, 0, L"zeroth"));
    EXPECT_EQ(4, GetRowCount(&table_));
    EXPECT_EQ(L"zeroth", Cell(0, 0));
    EXPECT_EQ(L"third", Cell(3, 0));
}

TEST_F(ReportTableTest, GetCellTextGrowsInStepsOfOnePath)
{
    AddAliasColumns();
    AddRows({L"a", L"b"});
    const std::wstring text259(259, L'p');
    const std::wstring text258(258, L'q');
    ASSERT_NE(0, SetCellText(&table_, 0, 2, text259.c_str()));
    ASSERT_NE(0, SetCellText(&table_, 1, 2, text258.c_str()));

    wchar_t* text = nullptr;
    fetches_ = 0;
    ASSERT_EQ(1, GetCellText(&table_, 0, 2, &text));
    EXPECT_EQ(2, fetches_) << "259 characters fill the first buffer";
    EXPECT_EQ(text259, text);
    EXPECT_EQ(520 * sizeof(wchar_t), _msize(text));
    free(text);

    fetches_ = 0;
    ASSERT_EQ(1, GetCellText(&table_, 1, 2, &text));
    EXPECT_EQ(1, fetches_);
    EXPECT_EQ(text258, text);
    EXPECT_EQ(260 * sizeof(wchar_t), _msize(text));
    free(text);
}

TEST_F(ReportTableTest, ReadCellTextKeepsAndGrowsTheCallersBuffer)
{
    AddAliasColumns();
    AddRows({L"a", L"b"});
    const std::wstring long_text(600, L'z');
    ASSERT_NE(0, SetCellText(&table_, 1, 2, long_text.c_str()));

    wchar_t* buffer = nullptr;
    int capacity = 0;
    fetches_ = 0;
    ASSERT_EQ(1, ReadCellText(&table_, 0, 0, &buffer, &capacity));
    EXPECT_EQ(260, capacity) << "no buffer and capacity 0: 260 characters before the first fetch";
    EXPECT_EQ(1, fetches_);
    EXPECT_STREQ(L"a", buffer);

    ASSERT_EQ(1, ReadCellText(&table_, 1, 2, &buffer, &capacity));
    EXPECT_EQ(780, capacity);
    EXPECT_EQ(long_text, buffer);

    ASSERT_EQ(1, ReadCellText(&table_, 0, 0, &buffer, &capacity));
    EXPECT_EQ(780, capacity) << "the capacity never shrinks";
    EXPECT_STREQ(L"a", buffer);
    free(buffer);

    buffer = nullptr;
    capacity = 100;
    ASSERT_EQ(1, ReadCellText(&table_, 0, 0, &buffer, &capacity));
    EXPECT_EQ(360, capacity);
    free(buffer);
}

TEST_F(ReportTableTest, MissingRowsAndColumnsReadAsEmptyText)
{
    AddAliasColumns();
    AddRows({L"a"});
    EXPECT_EQ(L"", Cell(5, 0));
    EXPECT_EQ(L"", Cell(0, 7));
}

TEST_F(ReportTableTest, FindAliasComparesWholeLabelsWithoutCaseFromAfterTheStartRow)
{
    AddAliasColumns();
    AddRows({L"notepad", L"Setup", L"setupx", L"setup"});
    EXPECT_EQ(1, FindAlias(L"SETUP", -1));
    EXPECT_EQ(3, FindAlias(L"setup", 1)) << "the start row itself is not looked at";
    EXPECT_EQ(-1, FindAlias(L"setup", 3)) << "no wrapping round";
    EXPECT_EQ(-1, FindAlias(L"note", -1)) << "a label that merely begins with the alias is no match";
    EXPECT_EQ(-1, FindAlias(nullptr, -1));
}

TEST_F(ReportTableTest, DeleteSelectedRowsReportsTheIndexOfTheLastDeletedRow)
{
    AddAliasColumns();
    AddRows({L"r0", L"r1", L"r2", L"r3", L"r4", L"r5", L"r6", L"r7", L"r8"});
    Select(2);
    Select(3);
    Select(7);
    int last = -99;
    EXPECT_EQ(1, DeleteSelectedRows(&last));
    EXPECT_EQ(5, last);
    EXPECT_EQ(6, GetRowCount(&table_));
    const wchar_t* left[] = {L"r0", L"r1", L"r4", L"r5", L"r6", L"r8"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(left[i], Cell(i, 0));

    last = -99;
    EXPECT_EQ(1, DeleteSelectedRows(&last));
    EXPECT_EQ(-99, last) << "nothing selected: the out argument stays";
    EXPECT_EQ(1, DeleteSelectedRows(nullptr));
}

TEST_F(ReportTableTest, WorkerThreadsReachTheControlByMessage)
{
    AddAliasColumns();
    std::wstring seen;
    bool done = false;
    std::thread worker([&] {
        InsertRow(&table_, 0, L"from a worker");
        SetCellText(&table_, 0, 2, L"c:\\w.exe");
        wchar_t* text = nullptr;
        GetCellText(&table_, 0, 2, &text);
        seen = text ? text : L"";
        free(text);
        done = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return done; }));
    worker.join();
    EXPECT_EQ(L"c:\\w.exe", seen);
    EXPECT_EQ(L"from a worker", Cell(0, 0));
}

TEST(ReportTableWithoutWindow, EveryOperationFails)
{
    ReportTable table{};
    AttachReportTable(&table, nullptr);
    pMainTable = &table;
    wchar_t sentinel = L'?';
    wchar_t* text = &sentinel;
    int capacity = 0;
    int last = -5;
    EXPECT_EQ(0, AddColumn(&table, L"alias"));
    EXPECT_EQ(0, InsertRow(&table, 0, L"a"));
    EXPECT_EQ(0, SetCellText(&table, 0, 0, L"a"));
    EXPECT_EQ(0, GetRowCount(&table));
    EXPECT_EQ(0, ReadCellText(&table, 0, 0, &text, &capacity));
    EXPECT_EQ(0, GetCellText(&table, 0, 0, &text));
    EXPECT_EQ(&sentinel, text) << "the out argument stays untouched";
    EXPECT_EQ(-1, FindAlias(L"a", -1));
    EXPECT_EQ(0, DeleteSelectedRows(&last));
    EXPECT_EQ(-5, last);
    DeleteAllRows(&table);
    pMainTable = nullptr;
}

TEST(ReportTableLifetime, FreeReleasesTheRecordsButNotTheControl)
{
    HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", LVS_REPORT, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    auto* table = static_cast<ReportTable*>(calloc(1, sizeof(ReportTable)));
    ASSERT_EQ(table, AttachReportTable(table, list));
    ASSERT_EQ(1, AddColumn(table, L"alias"));
    FreeReportTable(table);
    EXPECT_TRUE(IsWindow(list));
    EXPECT_EQ(1, Header_GetItemCount(ListView_GetHeader(list)));
    DestroyWindow(list);
    FreeReportTable(nullptr);
}

} // namespace
