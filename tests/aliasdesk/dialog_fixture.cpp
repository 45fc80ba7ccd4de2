#include "dialog_fixture.h"

#include "app_state.h"
#include "cell_edit.h"
#include "main_dialog.h"
#include "pump.h"
#include "aliasdesk_ids.h"
#include "workers.h"

#include <commctrl.h>

#include <ostream>

void PrintTo(const Row& row, std::ostream* os)
{
    auto narrow = [](const std::wstring& s) {
        std::string out;
        for (wchar_t c : s)
            out += c < 128 ? static_cast<char>(c) : '?';
        return out;
    };
    *os << "{" << narrow(row.alias) << " | " << narrow(row.parameter) << " | " << narrow(row.path) << "}";
}

void MainDialogTest::SetUp()
{
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    ASSERT_FALSE(dir_.path().empty());
    ASSERT_TRUE(SetCurrentDirectoryW(dir_.path().c_str()));
    ASSERT_EQ(1, BuildConfigPath((dir_.path() + L"\\").c_str()));

    Open();
}

void MainDialogTest::Open()
{
    ASSERT_EQ(1, SuperclassListView());
    dlg_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDlgProc, 0);
    ASSERT_NE(nullptr, dlg_);
    ShowWindow(dlg_, SW_SHOW);
    UpdateWindow(dlg_);
    WaitForWorkers(); // the start-up load
    PumpPending();
}

void MainDialogTest::Restart()
{
    if (IsOpen())
        SendMessageW(dlg_, WM_CLOSE, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return !IsOpen(); }));
    PumpPending();
    Open();
}

void MainDialogTest::Settle()
{
    WaitForWorkers();
    PumpPending();
}

void MainDialogTest::TearDown()
{
    if (IsOpen())
        SendMessageW(dlg_, WM_CLOSE, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsOpen(); }));
    PumpPending();
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    SetCurrentDirectoryW(temp); // lets the test folder go
}

std::wstring MainDialogTest::Text(int id) const
{
    wchar_t text[1024] = {};
    GetDlgItemTextW(dlg_, id, text, 1024);
    return text;
}

void MainDialogTest::Click(int id)
{
    SendMessageW(dlg_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
}

std::wstring MainDialogTest::Cell(HWND list, int row, int column)
{
    wchar_t text[2048] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 2048;
    SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

std::vector<Row> MainDialogTest::Rows(HWND list)
{
    std::vector<Row> rows;
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
        rows.push_back({Cell(list, i, 0), Cell(list, i, 1), Cell(list, i, 2)});
    return rows;
}

void MainDialogTest::AppendRow(HWND list, const Row& row)
{
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = const_cast<wchar_t*>(row.alias.c_str());
    const int index = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    const std::wstring* cells[] = {&row.parameter, &row.path};
    for (int column = 1; column <= 2; ++column) {
        LVITEMW cell{};
        cell.iSubItem = column;
        cell.pszText = const_cast<wchar_t*>(cells[column - 1]->c_str());
        SendMessageW(list, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&cell));
    }
}

void MainDialogTest::Select(HWND list, int row, bool selected)
{
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED;
    state.state = selected ? LVIS_SELECTED : 0;
    SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
}

std::vector<int> MainDialogTest::SelectedRows(HWND list)
{
    std::vector<int> rows;
    int row = -1;
    while ((row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, row, LVNI_SELECTED))) != -1)
        rows.push_back(row);
    return rows;
}
