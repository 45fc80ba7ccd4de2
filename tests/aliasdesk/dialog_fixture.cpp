#include "dialog_fixture.h"

#include "aliasdesk_ids.h"
#include "app_state.h"
#include "cell_edit.h"
#include "main_dialog.h"
#include "wait.h"
#include "workers.h"

#include <commctrl.h>

#include <utility>

void MainDialogTest::SetUp()
{
    ASSERT_FALSE(dir_.path().empty());
    ASSERT_TRUE(SetCurrentDirectoryW(dir_.path().c_str()));
    ASSERT_EQ(1, BuildConfigPath((dir_.path() + L"\\").c_str()));

    Open();
}

void MainDialogTest::Open()
{
    ASSERT_EQ(1, SuperclassListView());
    ASSERT_TRUE(Create(IDD_MAIN, MainDlgProc));
    WaitForWorkers(); // the start-up load
    PumpPending();
}

void MainDialogTest::Restart()
{
    ASSERT_TRUE(Close());
    Open();
}

HWND MainDialogTest::StatusTipWindow() const
{
    struct Search {
        HWND owner;
        HWND tip;
    } search{dlg_, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM param) -> BOOL {
            auto* found = reinterpret_cast<Search*>(param);
            wchar_t name[64] = {};
            GetClassNameW(window, name, 64);
            if (GetWindow(window, GW_OWNER) != found->owner || lstrcmpiW(name, TOOLTIPS_CLASSW) != 0)
                return TRUE;
            found->tip = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = dlg_;
    tool.uId = reinterpret_cast<UINT_PTR>(Item(IDC_STATUS));
    if (!search.tip || !SendMessageW(search.tip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)))
        return nullptr;
    return search.tip;
}

std::wstring MainDialogTest::StatusTip() const
{
    HWND tip = StatusTipWindow();
    if (!tip)
        return L"<no tip>";
    NMTTDISPINFOW info{};
    info.hdr = {tip, reinterpret_cast<UINT_PTR>(Item(IDC_STATUS)), TTN_GETDISPINFOW};
    SendMessageW(dlg_, WM_NOTIFY, info.hdr.idFrom, reinterpret_cast<LPARAM>(&info));
    return info.lpszText ? info.lpszText : L"<no text>";
}

void MainDialogTest::Settle()
{
    WaitForWorkers();
    PumpPending();
}

void MainDialogTest::TearDown()
{
    EXPECT_TRUE(Close());
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    SetCurrentDirectoryW(temp); // lets the test folder go
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

int MainDialogTest::Count(HWND list)
{
    return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

std::vector<test::Row> MainDialogTest::Rows(HWND list)
{
    std::vector<test::Row> rows;
    const int count = Count(list);
    for (int i = 0; i < count; ++i)
        rows.push_back({Cell(list, i, 0), Cell(list, i, 1), Cell(list, i, 2)});
    return rows;
}

void MainDialogTest::AppendRow(HWND list, const test::Row& row)
{
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = Count(list);
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

namespace {

WNDPROC kept_dialog_proc;
int steps_left;
std::function<bool()> step_condition; // instead of a count when set
bool reply_before_action;
std::function<void()> between_steps;

} // namespace

BetweenWorkerSteps::BetweenWorkerSteps(HWND dlg) : replaced_(dlg, &Proc)
{
    kept_dialog_proc = replaced_.kept();
}

BetweenWorkerSteps::~BetweenWorkerSteps()
{
    between_steps = nullptr;
}

void BetweenWorkerSteps::After(int steps, std::function<void()> action, bool reply_first)
{
    steps_left = steps;
    step_condition = nullptr;
    reply_before_action = reply_first;
    between_steps = std::move(action);
}

void BetweenWorkerSteps::When(std::function<bool()> done, std::function<void()> action, bool reply_first)
{
    After(0, std::move(action), reply_first);
    step_condition = std::move(done);
}

bool BetweenWorkerSteps::PumpUntilActed()
{
    return PumpUntil([this] { return !Pending(); });
}

bool BetweenWorkerSteps::Pending() const
{
    return static_cast<bool>(between_steps);
}

LRESULT CALLBACK BetweenWorkerSteps::Proc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    const WNDPROC kept = kept_dialog_proc; // the action may close the dialog
    const LRESULT result = CallWindowProcW(kept, dlg, message, wParam, lParam);
    if (message != WM_RUN_ON_DIALOG || !between_steps)
        return result;
    if (step_condition ? !step_condition() : --steps_left != 0)
        return result;
    if (reply_before_action)
        ReplyMessage(result);
    std::exchange(between_steps, nullptr)();
    return result;
}
