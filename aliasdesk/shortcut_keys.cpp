#include "shortcut_keys.h"

#include "aliasdesk_ids.h"

#include <commctrl.h>

namespace {

// The characters the two shortcuts leave behind after TranslateMessage.
constexpr WPARAM kCtrlA = 0x01;
constexpr WPARAM kCtrlF = 0x06;

bool CtrlOnly()
{
    return GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0;
}

bool IsDialogList(HWND list)
{
    const int id = GetDlgCtrlID(list);
    return (id == IDC_MAIN_LIST || id == IDC_FILTER_LIST) && GetDlgItem(GetParent(list), IDC_FILTER) != nullptr;
}

void FocusFilterBox(HWND dlg)
{
    HWND box = GetDlgItem(dlg, IDC_FILTER);
    SetFocus(box);
    SendMessageW(box, EM_SETSEL, 0, -1);
}

void SelectAllRows(HWND list)
{
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
}

} // namespace

bool OnListShortcut(HWND list, UINT message, WPARAM wParam)
{
    if (!IsDialogList(list))
        return false;
    if (message == WM_CHAR)
        return wParam == kCtrlA || wParam == kCtrlF; // no incremental search for them
    if (message != WM_KEYDOWN || !CtrlOnly())
        return false;
    if (wParam == 'A') {
        SelectAllRows(list);
        return true;
    }
    if (wParam == 'F') {
        FocusFilterBox(GetParent(list));
        return true;
    }
    return false;
}

bool OnFilterBoxShortcut(HWND box, UINT message, WPARAM wParam)
{
    if (message == WM_CHAR)
        return wParam == kCtrlF; // typed nothing: starts no filter
    if (message != WM_KEYDOWN || wParam != 'F' || !CtrlOnly())
        return false;
    FocusFilterBox(GetParent(box));
    return true;
}
