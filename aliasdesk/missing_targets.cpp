#include "missing_targets.h"

#include "app_state.h"
#include "report_table.h"
#include "workers.h"

#include <commctrl.h>

#include <atomic>
#include <memory>
#include <unordered_set>
#include <vector>

namespace {

std::atomic<unsigned> newest_full_check{0};
std::atomic<int> running_checks{0};

struct Target {
    RowId id;
    std::wstring path;
    TargetState state = TargetState::Unchecked;
};

struct CheckJob {
    unsigned generation = 0; // of a check of every row; 0 for one row's
    std::vector<Target> targets;
};

bool Abandoned(const CheckJob& job)
{
    return WorkerStopRequested() || (job.generation != 0 && job.generation != newest_full_check);
}

HWND MainList()
{
    return pMainTable ? pMainTable->window : nullptr;
}

std::wstring MainPath(int row)
{
    const MallocText text = CellText(pMainTable, row, 2);
    return text ? text.get() : L"";
}

// Reads the main rows' paths in short steps. Rows that move meanwhile (a sort,
// a removal) are read again from the top, each identity once.
void CollectTargets(CheckJob& job)
{
    int cursor = 0;
    unsigned seen = TableChanges();
    std::unordered_set<RowId> taken;
    auto step = [&]() -> LRESULT {
        HWND list = MainList();
        if (!list || Abandoned(job))
            return TRUE;
        if (!RowsKeptSince(seen))
            cursor = 0;
        const StepClock clock;
        const int count = GetRowCount(pMainTable);
        for (; cursor < count && !clock.Spent(); ++cursor) {
            const RowId id = IdOfRow(list, cursor);
            if (taken.insert(id).second)
                job.targets.push_back(Target{id, MainPath(cursor)});
        }
        seen = TableChanges();
        return cursor >= count;
    };
    while (!Abandoned(job) && !RunOnDialogThread(step)) { }
}

void LookAtTargets(CheckJob& job)
{
    QuietCriticalErrors();
    DriveTypes drives;
    for (Target& target : job.targets) {
        if (Abandoned(job))
            return;
        target.state = LookAtTarget(target.path, drives);
    }
}

void Redraw()
{
    for (const ReportTable* table : {pMainTable, pFilterTable}) {
        if (table && table->window)
            InvalidateRect(table->window, nullptr, FALSE);
    }
}

// Dialog thread. A row whose path is no longer the one looked at keeps its
// own mark (its edit asked for a new look); a row that has gone has none.
bool TakeResult(const Target& target)
{
    const bool missing = target.state == TargetState::Missing;
    if (HasRowMark(target.id, kMarkMissing) == missing)
        return false;
    const int row = RowOfId(target.id);
    if (row == -1 || MainPath(row) != target.path)
        return false;
    SetRowMark(target.id, kMarkMissing, missing);
    return true;
}

void TakeResults(const CheckJob& job)
{
    size_t next = 0;
    auto step = [&]() -> LRESULT {
        if (Abandoned(job))
            return TRUE;
        const StepClock clock;
        bool changed = false;
        for (; next < job.targets.size() && !clock.Spent(); ++next)
            changed |= TakeResult(job.targets[next]);
        if (changed)
            Redraw();
        return next >= job.targets.size();
    };
    while (!Abandoned(job) && !RunOnDialogThread(step)) { }
}

unsigned __stdcall CheckWorker(void* param)
{
    std::unique_ptr<CheckJob> job(static_cast<CheckJob*>(param));
    if (job->generation != 0)
        CollectTargets(*job);
    LookAtTargets(*job);
    TakeResults(*job);
    --running_checks;
    return 0;
}

void StartCheck(std::unique_ptr<CheckJob> job)
{
    if (WorkerStopRequested())
        return; // a load ending while the dialog closes
    ++running_checks;
    if (StartWorker(CheckWorker, job.get())) {
        job.release(); // the worker owns it now
        return;
    }
    --running_checks;
}

} // namespace

wchar_t DriveOf(const std::wstring& path)
{
    const size_t start = path.compare(0, 4, L"\\\\?\\") == 0 ? 4 : 0;
    if (path.size() < start + 3 || path[start + 1] != L':' || path[start + 2] != L'\\')
        return 0;
    const wchar_t letter = path[start];
    return (letter >= L'A' && letter <= L'Z') || (letter >= L'a' && letter <= L'z') ? letter : 0;
}

void QuietCriticalErrors()
{
    using SetThreadErrorModeFn = BOOL(WINAPI*)(DWORD, DWORD*);
    static const auto entry = reinterpret_cast<SetThreadErrorModeFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadErrorMode")));
    if (entry)
        entry(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, nullptr);
}

UINT DriveTypes::Of(wchar_t letter)
{
    const int index = (letter | 0x20) - L'a';
    if (known_[index] == 0) {
        const wchar_t root[] = {letter, L':', L'\\', L'\0'};
        known_[index] = GetDriveTypeW(root) + 1;
    }
    return known_[index] - 1;
}

TargetState LookAtTarget(const std::wstring& path, DriveTypes& drives)
{
    const wchar_t drive = DriveOf(path);
    if (!drive)
        return TargetState::Unchecked;
    const UINT type = drives.Of(drive);
    if (type != DRIVE_FIXED && type != DRIVE_REMOVABLE)
        return TargetState::Unchecked;
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        return TargetState::Present;
    const DWORD error = GetLastError();
    // Access denied, a drive not ready and the like say nothing about the file.
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? TargetState::Missing
                                                                          : TargetState::Unchecked;
}

void CheckAllTargets()
{
    auto job = std::make_unique<CheckJob>();
    job->generation = ++newest_full_check;
    StartCheck(std::move(job));
}

void CheckTargetAgain(RowId id)
{
    const int row = RowOfId(id);
    if (row == -1)
        return;
    if (HasRowMark(id, kMarkMissing)) {
        SetRowMark(id, kMarkMissing, false);
        Redraw();
    }
    auto job = std::make_unique<CheckJob>();
    job->targets.push_back(Target{id, MainPath(row)});
    StartCheck(std::move(job));
}

bool IsTargetMissing(RowId id)
{
    return HasRowMark(id, kMarkMissing);
}

int RunningTargetChecks()
{
    return running_checks;
}

