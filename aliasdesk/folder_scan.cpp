#include "folder_scan.h"

#include "alias_index.h"
#include "alias_store.h"
#include "app_state.h"
#include "file_search.h"
#include "handles.h"
#include "report_table.h"
#include "aliasdesk_ids.h"
#include "wide_text.h"
#include "workers.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <string>
#include <utility>
#include <vector>

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
        const int row = FindFirstAlias(alias);
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

int AppendAliasRow(RowAppender& appender, const wchar_t* alias, const wchar_t* path, const wchar_t* parameter)
{
    const int first = FindFirstAlias(alias);
    if (first != -1 && EqualNoCaseAscii(CellText(pMainTable, first, 2).get(), path) &&
        EqualNoCaseAscii(CellText(pMainTable, first, 1).get(), parameter))
        return 0; // listed already, exactly so
    appender.Append(alias, parameter, path);
    NoteTableChanged();
    return 1;
}

// Derives the alias of one match and lists it; runs on the dialog thread.
int ListFoundFile(RowAppender& appender, wchar_t* directory, wchar_t* file_name)
{
    const size_t length = wcslen(file_name);
    if (!EndsWithExe(file_name, length))
        return 0;
    LowerAsciiInPlace(file_name);
    LowerAsciiInPlace(directory);

    wchar_t stem[MAX_PATH] = {};
    wcsncpy(stem, file_name, std::min(length - 4, kMaxAliasLength));
    wchar_t alias[MAX_PATH] = {};
    wchar_t path[MAX_PATH] = {};
    // A path that does not fit is not listed rather than listed cut short.
    if (ChooseAlias(directory, stem, alias) && FormatText(path, MAX_PATH, L"%s\\%s", directory, file_name) >= 0)
        AppendAliasRow(appender, alias, path, nullptr);
    return 1;
}

void ShowCount()
{
    SetDlgItemInt(hMainDlg, IDC_COUNT, static_cast<UINT>(GetRowCount(pMainTable)), FALSE);
}

// Matches gathered by the walk and handed to the dialog thread together, so
// that a program costs no message of its own. A batch goes when it is full or
// has waited long enough for the count label to follow the walk. The first
// batches are small so that the first programs show at once.
constexpr size_t kFirstBatchFiles = 64;
constexpr size_t kBatchFiles = 1024;
constexpr ULONGLONG kBatchWaitMs = 100;

struct FoundBatch {
    std::vector<std::pair<std::wstring, std::wstring>> files; // (directory, name)
    ULONGLONG first_found = 0;
    size_t limit = kFirstBatchFiles;
};

thread_local FoundBatch* current_batch;

void ListBatch(FoundBatch& batch)
{
    if (batch.files.empty())
        return;
    // Listed in steps of bounded length, so the dialog answers in between.
    size_t next = 0;
    auto step = [&batch, &next]() -> LRESULT {
        const StepClock clock;
        RowAppender appender(pMainTable, static_cast<int>(batch.files.size() - next));
        for (; next < batch.files.size() && !clock.Spent(); ++next)
            ListFoundFile(appender, batch.files[next].first.data(), batch.files[next].second.data());
        return 1;
    };
    while (next < batch.files.size() && !WorkerStopRequested() && RunOnDialogThread(step)) { }
    ShowCount();
    batch.files.clear();
    batch.limit = std::min(batch.limit * 2, kBatchFiles);
}

int QueueFoundFile(wchar_t* directory, wchar_t* file_name)
{
    FoundBatch& batch = *current_batch;
    if (batch.files.empty())
        batch.first_found = GetTickCount64();
    batch.files.emplace_back(directory, file_name);
    if (batch.files.size() >= batch.limit || GetTickCount64() - batch.first_found >= kBatchWaitMs)
        ListBatch(batch);
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
    // The duplicate test and the append run as one step on the dialog thread.
    auto step = [&]() -> LRESULT {
        RowAppender appender(pMainTable);
        return ListFoundFile(appender, directory, file_name);
    };
    const int listed = static_cast<int>(RunOnDialogThread(step));
    if (listed)
        ShowCount();
    return listed;
}

int AddAliasRow(const wchar_t* alias, const wchar_t* path, const wchar_t* parameter)
{
    if (!alias)
        return 0;
    auto step = [&]() -> LRESULT {
        RowAppender appender(pMainTable);
        return AppendAliasRow(appender, alias, path, parameter);
    };
    return static_cast<int>(RunOnDialogThread(step));
}

int AddAliasRows(const AliasRow* rows, size_t count)
{
    auto step = [&]() -> LRESULT {
        RowAppender appender(pMainTable, static_cast<int>(count));
        int appended = 0;
        for (size_t i = 0; i < count; ++i) {
            if (rows[i].alias)
                appended += AppendAliasRow(appender, rows[i].alias, rows[i].path, rows[i].parameter);
        }
        return appended;
    };
    return static_cast<int>(RunOnDialogThread(step));
}

unsigned __stdcall ScanWorker(void* param)
{
    std::unique_ptr<ScanArgs> args(static_cast<ScanArgs*>(param));
    HWND dlg = args->dialog;
    FoundBatch batch;
    current_batch = &batch;
    SearchFiles(args->folder, L"*.exe", QueueFoundFile, ScanStopRequested);
    if (!WorkerStopRequested())
        ListBatch(batch);
    current_batch = nullptr;
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
