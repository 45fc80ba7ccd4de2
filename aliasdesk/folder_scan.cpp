#include "folder_scan.h"

#include "alias_store.h"
#include "app_state.h"
#include "file_search.h"
#include "handles.h"
#include "report_table.h"
#include "resource.h"
#include "wide_text.h"
#include "workers.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <memory>

namespace {

constexpr size_t kMaxAliasLength = 250;

HWND MainList()
{
    return pMainTable ? pMainTable->window : nullptr;
}

bool EndsWithExe(const wchar_t* name, size_t length)
{
    return length >= 4 && CompareNoCaseAscii(name + length - 4, L".exe") == 0;
}

int FindFirstRowWithAlias(const wchar_t* alias)
{
    LVFINDINFOW find{};
    find.flags = LVFI_STRING;
    find.psz = alias;
    return static_cast<int>(
        SendMessageW(MainList(), LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

// The alias under which the program is to be listed, or false when a row with
// a taken candidate already lists a program of this folder.
bool ChooseAlias(const wchar_t* directory, const wchar_t* stem, wchar_t* alias)
{
    wcscpy(alias, stem);
    if (!MainList())
        return true;
    const size_t directory_length = wcslen(directory);
    wchar_t* path = nullptr; // one buffer for every path read here; freed below
    int capacity = 0;
    bool free_alias = true;
    for (int counter = 0;; ++counter) {
        const int row = FindFirstRowWithAlias(alias);
        if (row == -1)
            break;
        ReadCellText(pMainTable, row, 2, &path, &capacity);
        // A plain prefix test: no separator is looked at.
        if (path && CompareNoCaseAscii(path, directory, directory_length) == 0) {
            free_alias = false;
            break;
        }
        if (FormatText(alias, MAX_PATH, L"%s_#%d", stem, counter) < 0) {
            free_alias = false; // no room for another counter: not listed
            break;
        }
    }
    free(path);
    return free_alias;
}

struct FoundFile {
    wchar_t* directory;
    wchar_t* file_name;
};

int ListFoundFile(const FoundFile& found)
{
    const size_t length = wcslen(found.file_name);
    if (!EndsWithExe(found.file_name, length))
        return 0;
    LowerAsciiInPlace(found.file_name);
    LowerAsciiInPlace(found.directory);

    wchar_t stem[MAX_PATH] = {};
    wcsncpy(stem, found.file_name, std::min(length - 4, kMaxAliasLength));
    wchar_t alias[MAX_PATH] = {};
    wchar_t path[MAX_PATH] = {};
    // A path that does not fit is not listed rather than listed cut short.
    if (ChooseAlias(found.directory, stem, alias) &&
        FormatText(path, MAX_PATH, L"%s\\%s", found.directory, found.file_name) >= 0)
        AddAliasRow(alias, path, nullptr);
    SetDlgItemInt(hMainDlg, IDC_COUNT, static_cast<UINT>(GetRowCount(pMainTable)), FALSE);
    return 1;
}

bool ScanStopRequested()
{
    return WorkerStopRequested();
}

// A folder typed without a drive or a leading backslash is taken relative to
// the current directory (the program's own), so the table holds full paths.
void ResolveFolder(const wchar_t* typed, wchar_t* full)
{
    const bool rooted = (typed[0] && typed[1] == L':') || typed[0] == L'\\';
    const DWORD length = rooted ? 0 : GetFullPathNameW(typed, MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH)
        wcscpy(full, typed);
}

} // namespace

int OnFoundFile(wchar_t* directory, wchar_t* file_name)
{
    if (!directory || !file_name)
        return 0;
    FoundFile found{directory, file_name};
    // The duplicate test and the append run as one step on the dialog thread.
    auto step = [&found] { return static_cast<LRESULT>(ListFoundFile(found)); };
    return static_cast<int>(RunOnDialogThread(step));
}

int AddAliasRow(const wchar_t* alias, const wchar_t* path, const wchar_t* parameter)
{
    if (!alias)
        return 0;
    auto step = [&]() -> LRESULT {
        const int first = FindAlias(alias, -1);
        if (first != -1 && EqualNoCaseAscii(CellText(pMainTable, first, 2).get(), path) &&
            EqualNoCaseAscii(CellText(pMainTable, first, 1).get(), parameter))
            return 0; // listed already, exactly so
        const int row = GetRowCount(pMainTable);
        InsertRow(pMainTable, row, alias);
        NoteTableChanged();
        if (path && *path)
            SetCellText(pMainTable, row, 2, path);
        if (parameter && *parameter)
            SetCellText(pMainTable, row, 1, parameter);
        return 1;
    };
    return static_cast<int>(RunOnDialogThread(step));
}

unsigned __stdcall ScanWorker(void* param)
{
    std::unique_ptr<ScanArgs> args(static_cast<ScanArgs*>(param));
    HWND dlg = args->dialog;
    SearchFiles(args->folder, L"*.exe", OnFoundFile, ScanStopRequested);
    if (HWND list = MainList()) {
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED;
        state.state = LVIS_SELECTED;
        SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
    }
    EnableWindow(GetDlgItem(dlg, IDC_ADD), TRUE);
    SetDlgItemTextW(dlg, IDC_STATUS, L"Finished!");
    auto end = [dlg]() -> LRESULT {
        EndActivity(dlg, Activity::Scan); // Apply again, unless a load or save still runs
        return 0;
    };
    RunOnDialogThread(end);
    return 0;
}

void StartScan(HWND dlg)
{
    wchar_t folder[MAX_PATH] = {};
    GetDlgItemTextW(dlg, IDC_PATH, folder, MAX_PATH);
    size_t length = wcslen(folder);
    if (length == 0)
        return;
    if (folder[length - 1] == L'\\')
        folder[--length] = L'\0';
    if (CompareNoCaseAscii(folder, szScanFolder, MAX_PATH) == 0)
        return; // the same folder is not scanned twice in a row

    ZeroMemory(szScanFolder, sizeof(szScanFolder));
    wcscpy(szScanFolder, folder);
    SetDlgItemTextW(dlg, IDC_FILTER, L"");
    ShowWindow(GetDlgItem(dlg, IDC_FILTER_LIST), SW_HIDE);
    ShowWindow(GetDlgItem(dlg, IDC_MAIN_LIST), SW_SHOW);

    // Add and Apply are disabled before the scanner starts, so that its own
    // enabling at the end can never come first.
    EnableWindow(GetDlgItem(dlg, IDC_ADD), FALSE);
    BeginActivity(dlg, Activity::Scan);
    SetDlgItemTextW(dlg, IDC_STATUS, L"Processing...");
    MarkModified();

    auto args = std::make_unique<ScanArgs>();
    ResolveFolder(szScanFolder, args->folder);
    args->dialog = dlg;
    if (StartWorker(ScanWorker, args.get())) {
        args.release(); // the worker owns it now
        return;
    }
    EnableWindow(GetDlgItem(dlg, IDC_ADD), TRUE);
    EndActivity(dlg, Activity::Scan);
    SetDlgItemTextW(dlg, IDC_STATUS, L"Could not start the scan.");
}
