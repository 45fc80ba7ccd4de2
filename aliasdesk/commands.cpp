#include "commands.h"

#include "alias_store.h"
#include "app_state.h"
#include "folder_scan.h"
#include "live_filter.h"
#include "main_dialog.h"
#include "report_table.h"
#include "aliasdesk_ids.h"

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

namespace {

void Browse(HWND dlg)
{
    // The folder browser needs COM on this thread for as long as it is shown.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

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

    if (SUCCEEDED(com))
        CoUninitialize();
}

// Removes the filter list's rows from the main list; both stand in the same
// order, so each search starts where the previous match was.
void ClearShownRows(HWND dlg)
{
    const int shown = GetRowCount(pFilterTable);
    int previous = 0;
    for (int i = 0; i < shown; ++i) {
        wchar_t* alias = nullptr;
        GetCellText(pFilterTable, i, 0, &alias);
        const int row = FindAlias(alias, previous - 1);
        free(alias);
        if (row == -1)
            continue; // no longer listed: nothing of the main list goes for it
        SendMessageW(pMainTable->window, LVM_DELETEITEM, row, 0);
        SetDlgItemInt(dlg, IDC_COUNT, GetRowCount(pMainTable), FALSE);
        previous = row;
    }
    SendMessageW(pFilterTable->window, LVM_DELETEALLITEMS, 0, 0);
}

void Clear(HWND dlg)
{
    if (IsMainListShown(dlg)) {
        DeleteAllRows(pMainTable);
        SetDlgItemInt(dlg, IDC_COUNT, 0, FALSE);
    } else if (pMainTable && pFilterTable) {
        ClearShownRows(dlg);
    }
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

void Reload(HWND dlg)
{
    if (IsStoreBusy())
        return;
    NoteTableChanged();
    ZeroMemory(szScanFolder, sizeof(szScanFolder));
    SetDlgItemTextW(dlg, IDC_FILTER, L"");
    ShowWindow(GetDlgItem(dlg, IDC_FILTER_LIST), SW_HIDE);
    ShowWindow(GetDlgItem(dlg, IDC_MAIN_LIST), SW_SHOW);
    StartLoad(dlg, GetRowCount(pMainTable)); // the loader empties the list first
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
        CloseMainDialog(dlg); // quits without saving
        return TRUE;
    default:
        return FALSE;
    }
}
