#include "folder_scan.h"

#include "alias_store.h"
#include "app_state.h"
#include "file_search.h"
#include "handles.h"
#include "main_table.h"
#include "missing_targets.h"
#include "report_table.h"
#include "aliasdesk_ids.h"
#include "wide_text.h"
#include "workers.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <deque>
#include <memory>
#include <mutex>
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
    SetDlgItemInt(WorkersDialog(), IDC_COUNT, static_cast<UINT>(GetRowCount(pMainTable)), FALSE);
}

// Matches gathered by the walk and listed together on the dialog thread, so
// that a program costs no message of its own. The walk hands them over when
// a batch is full; between batches a timer of the dialog lists what waits,
// so that a program found shows within a tick whatever the walk does next.
// The first batches are small so that the first programs show at once.
constexpr size_t kFirstBatchFiles = 64;
constexpr size_t kBatchFiles = 1024;
constexpr UINT_PTR kFlushTimer = 0x5343;
constexpr UINT kFlushIntervalMs = 50;

// One scan at a time: Add is disabled while one runs.
struct FoundQueue {
    std::mutex lock;
    std::deque<std::pair<std::wstring, std::wstring>> files; // (directory, name), in walk order
    size_t limit = kFirstBatchFiles; // the walker's side only
    size_t found = 0; // the walker's side only
};

FoundQueue found;

size_t QueuedFiles()
{
    std::lock_guard<std::mutex> guard(found.lock);
    return found.files.size();
}

bool TakeQueued(std::pair<std::wstring, std::wstring>* file)
{
    std::lock_guard<std::mutex> guard(found.lock);
    if (found.files.empty())
        return false;
    *file = std::move(found.files.front());
    found.files.pop_front();
    return true;
}

// Lists queued matches on the dialog thread until the step's clock is spent;
// true when none is left.
bool ListQueuedStep()
{
    if (QueuedFiles() == 0)
        return true;
    {
        const StepClock clock;
        RowAppender appender(pMainTable);
        std::pair<std::wstring, std::wstring> file;
        while (!clock.Spent() && TakeQueued(&file))
            ListFoundFile(appender, file.first.data(), file.second.data());
    }
    ShowCount();
    return QueuedFiles() == 0;
}

void CALLBACK FlushTimerProc(HWND, UINT, UINT_PTR, DWORD)
{
    if (!AwaitingReplacement())
        ListQueuedStep();
}

enum class Listing { More, Done, Held };

// From the walker: lists everything queued, a step at a time. While a load
// brings the store's rows in, what is listed already is not known: the matches wait.
void ListQueued()
{
    auto step = []() -> LRESULT {
        if (AwaitingReplacement())
            return static_cast<LRESULT>(Listing::Held);
        return static_cast<LRESULT>(ListQueuedStep() ? Listing::Done : Listing::More);
    };
    while (!WorkerStopRequested()) {
        const auto listing = static_cast<Listing>(RunOnDialogThread(step));
        if (listing == Listing::Done)
            return;
        if (listing == Listing::Held)
            Sleep(10);
    }
}

int QueueFoundFile(wchar_t* directory, wchar_t* file_name)
{
    size_t queued = 0;
    {
        std::lock_guard<std::mutex> guard(found.lock);
        found.files.emplace_back(directory, file_name);
        queued = found.files.size();
        ++found.found;
    }
    if (queued >= found.limit) {
        ListQueued();
        found.limit = std::min(found.limit * 2, kBatchFiles);
    }
    return 1;
}

std::atomic<ScanEntryHook> scan_entry_hook{nullptr};

bool ScanStopRequested()
{
    if (const ScanEntryHook hook = scan_entry_hook.load())
        hook(found.found);
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

int ListProgram(const std::wstring& path, const std::wstring& name, const wchar_t* parameter)
{
    const size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos || name.size() < 4 || path.size() >= MAX_PATH)
        return 0;
    std::wstring lowered = path;
    LowerAsciiInPlace(lowered.data());
    const std::wstring directory = lowered.substr(0, slash);
    std::wstring stem = name.substr(0, std::min(name.size() - 4, kMaxAliasLength));
    LowerAsciiInPlace(stem.data());
    auto step = [&]() -> LRESULT {
        wchar_t alias[MAX_PATH] = {};
        if (!ChooseAlias(directory.c_str(), stem.c_str(), alias))
            return 0;
        RowAppender appender(pMainTable);
        return AppendAliasRow(appender, alias, lowered.c_str(), parameter);
    };
    return static_cast<int>(RunOnDialogThread(step));
}

void SetScanEntryHook(ScanEntryHook hook)
{
    scan_entry_hook = hook;
}

unsigned __stdcall ScanWorker(void* param)
{
    std::unique_ptr<ScanArgs> args(static_cast<ScanArgs*>(param));
    HWND dlg = args->dialog;
    SearchFiles(args->folder, L"*.exe", QueueFoundFile, ScanStopRequested);
    ListQueued();
    {
        std::lock_guard<std::mutex> guard(found.lock);
        found.files.clear(); // what a stopped scan left
        found.limit = kFirstBatchFiles;
        found.found = 0;
    }
    if (HWND list = MainList())
        SelectRow(list, 0);
    // Add comes back in the step that ends this scan: a scan started from it
    // must find its own timer set, and its own status.
    auto end = [dlg]() -> LRESULT {
        KillTimer(dlg, kFlushTimer);
        EnableWindow(GetDlgItem(dlg, IDC_ADD), TRUE);
        SetDlgItemTextW(dlg, IDC_STATUS, L"Finished!");
        EndActivity(dlg, Activity::Scan); // Apply again, unless a load or save still runs
        CheckAllTargets(); // programs may have gone while the walk went on
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
    SetTimer(dlg, kFlushTimer, kFlushIntervalMs, &FlushTimerProc);
    if (StartWorker(ScanWorker, args.get())) {
        args.release(); // the worker owns it now
        return;
    }
    KillTimer(dlg, kFlushTimer);
    EnableWindow(GetDlgItem(dlg, IDC_ADD), TRUE);
    EndActivity(dlg, Activity::Scan);
    SetDlgItemTextW(dlg, IDC_STATUS, L"Could not start the scan.");
}
