#include "list_input.h"

#include "list_notify.h"
#include "wait.h"
#include "workers.h"

#include <commctrl.h>

namespace {

HWND EditBoxOf(HWND list)
{
    return reinterpret_cast<HWND>(SendMessageW(list, LVM_GETEDITCONTROL, 0, 0));
}

bool marker_seen;

LRESULT CALLBACK MarkerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_APP)
        marker_seen = true;
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND MarkerWindow()
{
    static HWND window = [] {
        WNDCLASSW window_class{};
        window_class.lpfnWndProc = MarkerProc;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.lpszClassName = L"ListInputMarker";
        RegisterClassW(&window_class);
        return CreateWindowW(L"ListInputMarker", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    }();
    return window;
}

// Posted messages come in order: the input was taken once a message posted
// after it has arrived.
void PumpPosted()
{
    marker_seen = false;
    PostMessageW(MarkerWindow(), WM_APP, 0, 0);
    PumpUntil([] { return marker_seen; });
}

} // namespace

RECT CellRect(HWND list, int row, int column)
{
    RECT cell{};
    ListView_GetSubItemRect(list, row, column, LVIR_LABEL, &cell);
    return cell;
}

void ClickAt(HWND window, POINT point)
{
    const LPARAM where = MAKELPARAM(point.x, point.y);
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, where);
    PostMessageW(window, WM_LBUTTONUP, 0, where);
    PumpPosted();
}

void ClickCell(HWND list, int row, int column)
{
    const RECT cell = CellRect(list, row, column);
    ClickAt(list, POINT{(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2});
}

void ClickHeader(HWND list, int column)
{
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    RECT item{};
    SendMessageW(header, HDM_GETITEMRECT, column, reinterpret_cast<LPARAM>(&item));
    ClickAt(header, POINT{(item.left + item.right) / 2, (item.top + item.bottom) / 2});
}

void PressKey(HWND window, UINT vk)
{
    SetFocus(window);
    const UINT scan = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
    PostMessageW(window, WM_KEYDOWN, vk, 1 | (scan << 16));
    PostMessageW(window, WM_KEYUP, vk, static_cast<LPARAM>(1u | (scan << 16) | 0xC0000000u));
    PumpPosted();
}

HWND WaitForEditBox(HWND list)
{
    HWND edit = nullptr;
    PumpUntil([&] {
        edit = EditBoxOf(list);
        return edit && IsWindowVisible(edit);
    });
    return edit;
}

HWND OpenEditByClicks(HWND list, int row, int column)
{
    SetFocus(list);
    ClickCell(list, row, column);
    PumpFor(GetDoubleClickTime() + 100);
    if (HWND edit = EditBoxOf(list))
        return edit; // the row was selected before: the first click did it
    ClickCell(list, row, column);
    return WaitForEditBox(list);
}

void EndEdit(HWND list, const wchar_t* text, UINT vk)
{
    HWND edit = EditBoxOf(list);
    if (!edit)
        return;
    SetWindowTextW(edit, text);
    PressKey(edit, vk);
    PumpUntil([&] { return EditBoxOf(list) == nullptr; });
}

RECT RectInList(HWND list, HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, list, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void TypeAndSettle(HWND box, const std::wstring& keys)
{
    for (wchar_t c : keys)
        SendMessageW(box, WM_CHAR, c, 1);
    WaitForWorkers();
    PumpPending();
}

void ListTest::SetUp()
{
    MainDialogTest::SetUp();
    if (HasFatalFailure())
        return;
    WaitForWorkers(); // the start-up load found no files
    SetForegroundWindow(dlg_);
    ResetSortDirection(); // the direction lives as long as the process
    if (!start_rows_.empty())
        Fill(start_rows_);
}

void ListTest::Fill(const std::vector<test::Row>& rows)
{
    rows_ = rows;
    SendMessageW(Main(), WM_SETREDRAW, FALSE, 0); // setting up, not under test
    for (const test::Row& row : rows_)
        AppendRow(Main(), row);
    SendMessageW(Main(), WM_SETREDRAW, TRUE, 0);
    SetDlgItemInt(dlg_, IDC_COUNT, static_cast<UINT>(rows_.size()), FALSE);
}
