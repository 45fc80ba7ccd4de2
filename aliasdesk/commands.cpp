#include "commands.h"

#include "alias_store.h"
#include "app_state.h"
#include "folder_scan.h"
#include "main_table.h"
#include "report_table.h"
#include "row_removal.h"
#include "aliasdesk_ids.h"

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

namespace {

void Browse(HWND dlg)
{
    // COM is on for as long as the dialog lives.
    BROWSEINFOW info{};
    info.hwndOwner = dlg;
    info.lpszTitle = L"Select folder to start...";
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_RETURNFSANCESTORS;
    PIDLIST_ABSOLUTE folder = SHBrowseForFolderW(&info);

    wchar_t path[MAX_PATH] = {};
    if (folder)
        SHGetPathFromIDListW(folder, path);
    SetDlgItemTextW(dlg, IDC_PATH, path); // a cancelled browse empties the path box
    CoTaskMemFree(folder);
}

void Clear(HWND dlg)
{
    ClearShownRows(dlg);
    ZeroMemory(szScanFolder, sizeof(szScanFolder));
    MarkModified();
}

// OK saves what changed and closes; without changes it closes at once.
void SaveAndClose(HWND dlg)
{
    if (bModified)
        StartSave(dlg, 1);
    else
        SendMessageW(dlg, WM_CLOSE, 0, 0);
}

void Apply(HWND dlg)
{
    if (bModified)
        StartSave(dlg, 0);
}

// The rows go, the view and the scan folder are reset only once both files
// were read: a load that fails changes nothing.
void Reload(HWND dlg)
{
    if (!IsStoreBusy())
        StartLoad(dlg, true);
}

void MatchBy(HWND dlg, int checked, int unchecked)
{
    CheckDlgButton(dlg, checked, BST_CHECKED);
    CheckDlgButton(dlg, unchecked, BST_UNCHECKED);
    SetFocus(GetDlgItem(dlg, IDC_FILTER));
}

} // namespace

BOOL OnCommand(int id, HWND dlg)
{
    switch (id) {
    case IDC_OK:
        SaveAndClose(dlg);
        return TRUE;
    case IDC_APPLY:
        Apply(dlg);
        return TRUE;
    case IDC_RELOAD:
        Reload(dlg);
        return TRUE;
    case IDC_ADD:
        StartScan(dlg);
        return TRUE;
    case IDC_BROWSE:
        Browse(dlg);
        return TRUE;
    case IDC_CLEAR:
        Clear(dlg);
        return TRUE;
    case IDC_MATCH_ALIAS:
        MatchBy(dlg, IDC_MATCH_ALIAS, IDC_MATCH_PATH);
        return TRUE;
    case IDC_MATCH_PATH:
        MatchBy(dlg, IDC_MATCH_PATH, IDC_MATCH_ALIAS);
        return TRUE;
    case IDC_REMOVE:
        RemoveSelectItem(dlg);
        return TRUE;
    case IDC_CANCEL:
        SendMessageW(dlg, WM_CLOSE, 0, 0); // quits without saving
        return TRUE;
    default:
        return FALSE;
    }
}
