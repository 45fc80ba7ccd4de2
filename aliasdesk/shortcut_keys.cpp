#include "shortcut_keys.h"

#include "aliasdesk_ids.h"
#include "report_table.h"

#include <commctrl.h>

namespace {

constexpr WPARAM kCtrlA = 0x01; // what TranslateMessage makes of Ctrl+A

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

// Each row's change would repaint it: seconds for a long list.
void SelectAllRows(HWND list)
{
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    HoldRedraw(list);
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    ReleaseRedraw(list, true);
}

} // namespace

bool OnListShortcut(HWND list, UINT message, WPARAM wParam)
{
    // Every message of every list passes here: the cheap tests go first.
    if (message == WM_CHAR)
        return wParam == kCtrlA && IsDialogList(list); // no incremental search for it
    if (message != WM_KEYDOWN || wParam != 'A' || !CtrlOnly() || !IsDialogList(list))
        return false;
    SelectAllRows(list);
    return true;
}

bool TakeFilterShortcut(HWND dlg, const MSG& msg)
{
    if (msg.message != WM_KEYDOWN || msg.wParam != 'F' || !CtrlOnly())
        return false;
    if (!dlg || (msg.hwnd != dlg && !IsChild(dlg, msg.hwnd)))
        return false;
    FocusFilterBox(dlg);
    return true;
}
