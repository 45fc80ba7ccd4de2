#include "main_dialog.h"

#include "alias_store.h"
#include "app_state.h"
#include "cell_edit.h"
#include "commands.h"
#include "conflicts.h"
#include "context_menu.h"
#include "dialog_layout.h"
#include "dpi_scale.h"
#include "dropped_files.h"
#include "list_notify.h"
#include "live_filter.h"
#include "main_table.h"
#include "missing_targets.h"
#include "program_versions.h"
#include "report_table.h"
#include "single_copy.h"
#include "status_tip.h"
#include "aliasdesk_ids.h"
#include "workers.h"

#include <commctrl.h>
#include <objbase.h>

#include <cstdlib>
#include <utility>

namespace {

UniqueIcon smallIcon;
bool bClosing;
bool bComEntered; // the folder browser and Explorer's folder window need COM on this thread

ReportTable* CreateTable(HWND dlg, int list_id)
{
    auto* table = static_cast<ReportTable*>(calloc(1, sizeof(ReportTable)));
    if (!AttachReportTable(table, GetDlgItem(dlg, list_id)))
        return nullptr;
    AddColumn(table, L"alias");
    AddColumn(table, L"parameter");
    AddColumn(table, L"path");
    return table;
}

void ResetSharedState(HWND dlg)
{
    SetWorkersDialog(dlg);
    bModified = 0;
    bExit = 0;
    bRowsRemoved = 0;
    szScanFolder[0] = L'\0';
    bClosing = false;
    ResetStoreState();
    ResetMainTable();
}

BOOL OnInitDialog(HWND dlg)
{
    ResetSharedState(dlg);
    bComEntered = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
    StartLayout(dlg);
    SetDlgItemTextA(dlg, IDC_VERSION, ALIASDESK_VERSION_TEXT);

    SetSmallIconForDpi(dlg, IDI_ALIASDESK, WindowDpi(dlg), smallIcon);

    HWND group = GetDlgItem(dlg, IDC_GROUP);
    SetWindowLongPtrW(group, GWL_STYLE, GetWindowLongPtrW(group, GWL_STYLE) | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);

    pMainTable = CreateTable(dlg, IDC_MAIN_LIST);
    pFilterTable = CreateTable(dlg, IDC_FILTER_LIST);
    StartLoad(dlg);
    InstallFilterEditProc(GetDlgItem(dlg, IDC_FILTER));
    WatchConflicts(dlg);
    AcceptDroppedFiles(dlg);
    AttachStatusTip(dlg);

    CheckDlgButton(dlg, IDC_MATCH_ALIAS, BST_CHECKED);
    CheckDlgButton(dlg, IDC_MATCH_PATH, BST_UNCHECKED);
    cs_filter = MakeCriticalSection(); // last: the filter starts nothing without it
    return TRUE;
}

BOOL OnDpiChanged(HWND dlg, UINT dpi, const RECT* suggested)
{
    FollowDpi(dlg, dpi, *suggested);
    SetSmallIconForDpi(dlg, IDI_ALIASDESK, dpi, smallIcon);
    return TRUE;
}

INT_PTR OnNotify(HWND dlg, NMHDR* header)
{
    if (OnStatusTipNotify(dlg, header))
        return TRUE;
    return OnListNotify(dlg, header);
}

// After the children: nothing that might still use COM or the font is left.
BOOL OnNcDestroy()
{
    EndLayout();
    if (std::exchange(bComEntered, false))
        CoUninitialize();
    return FALSE;
}

// Everything the dialog holds goes here, whichever way it was closed.
BOOL OnDestroy(HWND dlg)
{
    StopWatchingConflicts();
    cs_filter.reset(); // the workers have ended: closing waited for them
    FreeReportTable(pFilterTable);
    pFilterTable = nullptr;
    FreeReportTable(pMainTable);
    pMainTable = nullptr;
    RestoreListViewClass();
    ForgetCellEdit();
    ForgetBoldFont();
    smallIcon.reset();
    ForgetFolderDialog(dlg);
    SetWorkersDialog(nullptr);
    PostQuitMessage(0);
    return TRUE;
}

} // namespace

// A save that runs is let finish first: when it failed, the user is told and
// the dialog stays, to save again or to close without saving.
void CloseMainDialog(HWND dlg)
{
    if (bClosing)
        return;
    if (IsSaving()) {
        CloseAfterSave(dlg);
        return;
    }
    bClosing = true;
    SetFocus(dlg); // an open edit ends now, and what its end starts is stopped with the rest
    StopWorkers();
    DestroyWindow(dlg);
}

namespace {

// OK closes only when its save left the files holding the table as it stands:
// nothing changed it since, and no edit box holds text the table has not.
BOOL OnSavedForClose(HWND dlg, unsigned changes, unsigned marked)
{
    if (FilesHoldTheTableNow(changes, marked) && !bModified && !IsCellEditing())
        CloseMainDialog(dlg);
    else
        ShowNotClosed(dlg);
    return TRUE;
}

} // namespace

INT_PTR CALLBACK MainDlgProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dlg);
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), dlg);
    case WM_CONTEXTMENU:
        return OnContextMenu(dlg, reinterpret_cast<HWND>(wParam), lParam);
    case WM_NOTIFY:
        return OnNotify(dlg, reinterpret_cast<NMHDR*>(lParam));
    case WM_SIZE:
        return OnSize(dlg, wParam);
    case WM_SIZING:
        return OnSizing(dlg, reinterpret_cast<RECT*>(lParam));
    case WM_GETMINMAXINFO:
        return OnGetMinMaxInfo(dlg, reinterpret_cast<MINMAXINFO*>(lParam));
    case kWmGetDpiScaledSize:
        return OnGetDpiScaledSize(dlg, static_cast<UINT>(wParam), reinterpret_cast<SIZE*>(lParam));
    case WM_DPICHANGED:
        return OnDpiChanged(dlg, HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
    case WM_NCDESTROY:
        return OnNcDestroy();
    case WM_NCHITTEST:
        bRowsRemoved = 0; // the mouse over the dialog ends the repainting after a removal
        return FALSE;
    case WM_RUN_ON_DIALOG:
        SetWindowLongPtrW(dlg, DWLP_MSGRESULT, RunDialogStep(wParam, lParam));
        return TRUE;
    case WM_DROPFILES:
        return OnDropFiles(dlg, reinterpret_cast<HDROP>(wParam));
    case WM_STORE_FAILED:
        ReportStoreFailure(dlg);
        return TRUE;
    case WM_SAVED_FOR_CLOSE:
        return OnSavedForClose(dlg, static_cast<unsigned>(wParam), static_cast<unsigned>(lParam));
    case WM_CLOSE:
        CloseMainDialog(dlg);
        return TRUE;
    case WM_DESTROY:
        return OnDestroy(dlg);
    default:
        return FALSE;
    }
}
