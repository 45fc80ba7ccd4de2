// The shortcuts that keep large tables fast must answer exactly as the list
// control itself: the alias index against LVM_FINDITEMW, and rows appended
// together against rows written one message at a time.
#include "aliasdesk_ids.h"
#include "main_table.h"
#include "app_state.h"
#include "dialog_fixture.h"
#include "folder_scan.h"
#include "live_filter.h"
#include "report_table.h"

#include <commctrl.h>

#include <random>

namespace {

// min_length to 4 characters drawn from letters.
std::wstring RandomText(std::mt19937& random, const std::wstring& letters, size_t min_length)
{
    std::uniform_int_distribution<size_t> length(min_length, 4), pick(0, letters.size() - 1);
    std::wstring text(length(random), L' ');
    for (wchar_t& c : text)
        c = letters[pick(random)];
    return text;
}

std::wstring RandomAlias(std::mt19937& random)
{
    return RandomText(random, L"aAbB\x00E9\x00C9\x00DFs_#1\x00AD", 0);
}

int CALLBACK ByLabelLength(LPARAM row1, LPARAM row2, LPARAM list)
{
    auto length = [list](LPARAM row) {
        wchar_t text[64] = {};
        LVITEMW item{};
        item.pszText = text;
        item.cchTextMax = 64;
        SendMessageW(reinterpret_cast<HWND>(list), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
        return static_cast<int>(wcslen(text));
    };
    return length(row2) - length(row1);
}

using ScaleEquivalenceTest = MainDialogTest;

// The alias index against LVM_FINDITEMW, the identity index against the
// rows' item data and the mark count against the marks rows carry, after
// every kind of change in random order.
TEST_F(ScaleEquivalenceTest, TheAliasIndexFindsWhatTheListFinds)
{
    HWND list = Item(IDC_MAIN_LIST);
    std::mt19937 random(42);
    std::uniform_int_distribution<int> action(0, 11);
    for (int step = 0; step < 250; ++step) {
        const int count = GetRowCount(pMainTable);
        std::uniform_int_distribution<int> any_row(0, std::max(0, count - 1));
        switch (action(random)) {
        case 0: // removal
            if (count > 0)
                SendMessageW(list, LVM_DELETEITEM, any_row(random), 0);
            break;
        case 1: // sort
            SendMessageW(list, LVM_SORTITEMSEX, reinterpret_cast<WPARAM>(list),
                         reinterpret_cast<LPARAM>(ByLabelLength));
            break;
        case 2: { // label edit
            if (count == 0)
                break;
            std::wstring text = RandomAlias(random);
            LVITEMW item{};
            item.pszText = text.data();
            SendMessageW(list, LVM_SETITEMTEXTW, any_row(random), reinterpret_cast<LPARAM>(&item));
            break;
        }
        case 3: { // insert in the middle
            std::wstring text = RandomAlias(random);
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = any_row(random);
            item.pszText = text.data();
            SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
            break;
        }
        case 4:
            if (step % 50 == 4)
                DeleteAllRows(pMainTable);
            break;
        case 5: // a mark set or cleared
            if (count > 0) {
                const RowId id = IdOfRow(list, any_row(random));
                SetRowMark(id, kMarkMissing, !HasRowMark(id, kMarkMissing));
            }
            break;
        case 6: // many removals in a row, fewer and more than the identity index keeps
            for (int n = 0; n < (step % 2 ? 40 : 70) && GetRowCount(pMainTable) > 0; ++n)
                SendMessageW(list, LVM_DELETEITEM, static_cast<WPARAM>(random() % GetRowCount(pMainTable)), 0);
            break;
        default: { // rows appended the way scans and loads append them
            std::vector<std::wstring> aliases(3);
            std::vector<AliasRow> rows;
            for (auto& alias : aliases) {
                alias = RandomAlias(random);
                rows.push_back({alias.c_str(), L"c:\\x.exe", nullptr});
            }
            AddAliasRows(rows.data(), rows.size());
        }
        }
        for (int probe = 0; probe < 8; ++probe) {
            const std::wstring alias = RandomAlias(random);
            ASSERT_EQ(FindAlias(alias.c_str(), -1), FindFirstAlias(alias.c_str())) << "step " << step;
        }
        int marked = 0;
        for (int row = 0; row < GetRowCount(pMainTable); ++row) {
            ASSERT_EQ(row, RowOfId(IdOfRow(list, row))) << "step " << step;
            marked += HasRowMark(IdOfRow(list, row), kMarkMissing);
        }
        ASSERT_EQ(marked, CountMarkedRows(kMarkMissing)) << "step " << step;
    }
}

TEST_F(ScaleEquivalenceTest, RowsAppendedTogetherEqualRowsWrittenOneByOne)
{
    // One list gets the rows through InsertRow and SetCellText, the other
    // through one appender: cells and column widths must come out the same.
    HWND one_by_one = Item(IDC_FILTER_LIST);
    std::mt19937 random(7);
    std::vector<test::Row> rows;
    for (int i = 0; i < 200; ++i) {
        std::wstring path(static_cast<size_t>(random() % 60), L'p');
        rows.push_back({RandomAlias(random) + std::to_wstring(i), i % 3 ? L"" : L"/x", path});
    }
    for (size_t i = 0; i < rows.size(); ++i) {
        InsertRow(pFilterTable, static_cast<int>(i), rows[i].alias.c_str());
        SetCellText(pFilterTable, static_cast<int>(i), 2, rows[i].path.c_str());
        SetCellText(pFilterTable, static_cast<int>(i), 1, rows[i].parameter.c_str());
    }
    {
        RowAppender appender(pMainTable, static_cast<int>(rows.size()));
        for (const test::Row& row : rows)
            appender.Append(row.alias.c_str(), row.parameter.c_str(), row.path.c_str());
    }
    EXPECT_EQ(Rows(one_by_one), Rows(Item(IDC_MAIN_LIST)));
    for (int column = 0; column < 3; ++column) {
        EXPECT_EQ(pFilterTable->columns[column].width, pMainTable->columns[column].width) << column;
        EXPECT_EQ(SendMessageW(one_by_one, LVM_GETCOLUMNWIDTH, column, 0),
                  SendMessageW(Item(IDC_MAIN_LIST), LVM_GETCOLUMNWIDTH, column, 0))
            << column;
    }
}

} // namespace

namespace {

std::wstring RandomPattern(std::mt19937& random)
{
    return RandomText(random, L"aAb\x00E9*?*\\:", 1);
}

} // namespace

TEST_F(ScaleEquivalenceTest, AFilterPassListsWhatTheRowByRowSearchFinds)
{
    HWND list = Item(IDC_MAIN_LIST);
    HWND box = Item(IDC_FILTER);
    std::mt19937 random(99);
    std::vector<AliasRow> rows;
    std::vector<std::wstring> texts;
    for (int i = 0; i < 300; ++i) {
        texts.push_back(RandomAlias(random) + RandomAlias(random));
        texts.push_back(L"c:\\" + RandomAlias(random) + L"\\" + RandomAlias(random) + L".exe");
    }
    for (size_t i = 0; i < texts.size(); i += 2)
        rows.push_back({texts[i].c_str(), texts[i + 1].c_str(), i % 6 ? nullptr : L"/p"});
    AddAliasRows(rows.data(), rows.size());

    for (int round = 0; round < 40; ++round) {
        // The table changes between passes the way the user changes it, or
        // stays as it was, and passes by the same column follow each other.
        const int rows_now = GetRowCount(pMainTable);
        switch (random() % 5) {
        case 0:
            SendMessageW(list, LVM_DELETEITEM, random() % rows_now, 0);
            break;
        case 1:
            SendMessageW(list, LVM_SORTITEMSEX, reinterpret_cast<WPARAM>(list),
                         reinterpret_cast<LPARAM>(ByLabelLength));
            break;
        case 2: {
            const std::wstring text = RandomAlias(random);
            SetCellText(pMainTable, static_cast<int>(random() % rows_now), random() % 2 ? 2 : 0, text.c_str());
            break;
        }
        case 3: {
            const std::wstring alias = RandomAlias(random);
            AddAliasRow(alias.c_str(), L"c:\\added.exe", nullptr);
            break;
        }
        default:
            break;
        }
        const int column = round / 2 % 2 ? 2 : 0;
        Click(column == 0 ? IDC_MATCH_ALIAS : IDC_MATCH_PATH);
        const std::wstring pattern = RandomPattern(random);
        SetWindowTextW(box, pattern.substr(0, pattern.size() - 1).c_str());
        SendMessageW(box, EM_SETSEL, pattern.size(), pattern.size()); // type at the end
        SendMessageW(box, WM_CHAR, pattern.back(), 0);
        ASSERT_EQ(pattern, Text(IDC_FILTER));
        Settle();

        std::vector<test::Row> expected;
        for (int row = FindNextMatch(pattern.c_str(), -1, column); row != -1;
             row = FindNextMatch(pattern.c_str(), row, column))
            expected.push_back({Cell(list, row, 0), Cell(list, row, 1), Cell(list, row, 2)});
        ASSERT_EQ(expected, Rows(Item(IDC_FILTER_LIST))) << "round " << round;
    }
}
