#include "conflicts.h"

#include "app_state.h"
#include "report_table.h"
#include "workers.h"

#include <atomic>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

constexpr UINT_PTR kConflictTimer = 0x434B;
constexpr UINT kStillMs = 100; // a burst of changes (a scan, a load) starts one pass

HWND watched_dialog;
DWORD last_change; // GetTickCount() at the newest change of the table; dialog thread
bool timer_set;
unsigned marked_at = 0; // TableChanges() when the last pass took its marks; dialog thread
std::atomic<unsigned> newest_pass{0};
std::atomic<int> running_passes{0};

struct Entry {
    RowId id = 0;
    std::wstring alias;
    std::wstring path;
    bool alias_repeat = false;
    bool path_repeat = false;
};

struct Pass {
    unsigned generation = 0;
    std::vector<Entry> rows; // top down
    unsigned seen = 0; // TableChanges() when the rows were read
};

bool Abandoned(const Pass& pass)
{
    return WorkerStopRequested() || pass.generation != newest_pass;
}

// Other workers still change the table or read it: a pass waits until the
// table is quiet, so that it is neither done twice nor slows them down.
bool OthersRunning()
{
    return RunningWorkerCount() > running_passes;
}

void CheckWhenStill();

HWND MainList()
{
    return pMainTable ? pMainTable->window : nullptr;
}

// Every row top down, in short steps. "Earlier" is a matter of order: a
// change other than an append begins it again.
void ReadRows(Pass& pass)
{
    int cursor = 0;
    auto step = [&]() -> LRESULT {
        if (Abandoned(pass))
            return TRUE;
        if (OthersRunning()) {
            ++newest_pass; // given up; this one starts again once they are done
            CheckWhenStill();
            return TRUE;
        }
        if (cursor > 0 && !RowsKeptSince(pass.seen)) {
            pass.rows.clear();
            cursor = 0;
        }
        const StepClock clock;
        const int count = GetRowCount(pMainTable);
        wchar_t* cell = nullptr; // one buffer for the step; freed below
        int capacity = 0;
        auto read = [&](int column) -> std::wstring {
            return ReadCellText(pMainTable, cursor, column, &cell, &capacity) ? std::wstring(cell) : std::wstring();
        };
        for (; cursor < count && !clock.Spent(); ++cursor)
            pass.rows.push_back(Entry{IdOfRow(MainList(), cursor), read(0), read(2)});
        free(cell);
        pass.seen = TableChanges();
        return cursor >= count;
    };
    while (!Abandoned(pass) && !RunOnDialogThread(step)) { }
}

// Off the dialog thread: the list's own comparison of labels, and paths as
// compared here.
void FindRepeats(Pass& pass)
{
    // The save keeps an alias's last row: the rows before it are the repeats.
    std::unordered_map<std::string, std::vector<const std::wstring*>> labels; // key -> distinct labels below
    for (auto row = pass.rows.rbegin(); row != pass.rows.rend() && !Abandoned(pass); ++row) {
        std::vector<const std::wstring*>& alike = labels[LabelKey(row->alias.c_str())];
        for (const std::wstring* label : alike)
            row->alias_repeat = row->alias_repeat || lstrcmpiW(label->c_str(), row->alias.c_str()) == 0;
        if (!row->alias_repeat)
            alike.push_back(&row->alias);
    }
    std::unordered_set<std::wstring> paths;
    for (Entry& row : pass.rows) {
        if (Abandoned(pass))
            return;
        const std::wstring path = ComparablePath(row.path);
        row.path_repeat = !path.empty() && !paths.insert(path).second;
    }
}

bool Mark(RowId id, RowMark mark, bool on)
{
    if (HasRowMark(id, mark) == on)
        return false;
    SetRowMark(id, mark, on);
    return true;
}

void Redraw()
{
    for (const ReportTable* table : {pMainTable, pFilterTable}) {
        if (table && table->window)
            InvalidateRect(table->window, nullptr, FALSE);
    }
}

// In one step: marks hold only while the rows stand as they were read (rows
// appended since are the next pass's). Otherwise that change started a pass
// of its own, which decides.
void TakeMarks(const Pass& pass)
{
    auto step = [&pass]() -> LRESULT {
        if (Abandoned(pass) || !RowsKeptSince(pass.seen))
            return 0;
        marked_at = pass.seen;
        bool changed = false;
        for (const Entry& row : pass.rows) {
            changed |= Mark(row.id, kMarkAliasRepeat, row.alias_repeat);
            changed |= Mark(row.id, kMarkPathRepeat, row.path_repeat);
        }
        if (changed)
            Redraw();
        return 0;
    };
    RunOnDialogThread(step);
}

unsigned __stdcall ConflictWorker(void* param)
{
    std::unique_ptr<Pass> pass(static_cast<Pass*>(param));
    ReadRows(*pass);
    FindRepeats(*pass);
    TakeMarks(*pass);
    --running_passes;
    return 0;
}

void CALLBACK ConflictTimerProc(HWND dlg, UINT, UINT_PTR timer, DWORD)
{
    if (GetTickCount() - last_change < kStillMs || OthersRunning())
        return; // the timer asks again
    KillTimer(dlg, timer);
    timer_set = false;
    CheckConflicts();
}

// Every row a load or scan appends changes the table: only the time is
// noted, and the timer is set once.
void CheckWhenStill()
{
    last_change = GetTickCount();
    if (watched_dialog && !timer_set)
        timer_set = SetTimer(watched_dialog, kConflictTimer, kStillMs, &ConflictTimerProc) != 0;
}

} // namespace

std::wstring ComparablePath(const std::wstring& path)
{
    std::wstring text = path;
    for (wchar_t& c : text)
        c = c == L'/' ? L'\\' : (c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c);
    const size_t lead = text.compare(0, 2, L"\\\\") == 0 ? 2 : (text.compare(0, 1, L"\\") == 0 ? 1 : 0);
    std::vector<std::wstring> parts;
    size_t fixed = 0; // parts ".." never climbs above: a drive, or a share's server and name
    for (size_t at = lead; at <= text.size();) {
        const size_t end = std::min(text.find(L'\\', at), text.size());
        std::wstring part = text.substr(at, end - at);
        at = end + 1;
        if (part.empty() || part == L".")
            continue;
        if (part == L"..") {
            if (parts.size() > fixed)
                parts.pop_back();
            continue;
        }
        parts.push_back(std::move(part));
        if (parts.size() == 1)
            fixed = lead == 2 ? 2 : (parts[0].back() == L':' ? 1 : 0);
    }
    std::wstring compared = text.substr(0, lead);
    for (size_t i = 0; i < parts.size(); ++i)
        compared += (i ? L"\\" : L"") + parts[i];
    return compared;
}

void WatchConflicts(HWND dlg)
{
    watched_dialog = dlg;
    SetTableListener(&CheckWhenStill);
}

void StopWatchingConflicts()
{
    SetTableListener(nullptr);
    if (watched_dialog)
        KillTimer(watched_dialog, kConflictTimer);
    timer_set = false;
    watched_dialog = nullptr;
}

void CheckConflicts()
{
    if (WorkerStopRequested())
        return; // the dialog is closing
    auto pass = std::make_unique<Pass>();
    pass->generation = ++newest_pass;
    ++running_passes;
    if (StartWorker(ConflictWorker, pass.get())) {
        pass.release(); // the worker owns it now
        return;
    }
    --running_passes;
}

void CheckAliasAgain(RowId id)
{
    const int row = RowOfId(id);
    if (row == -1)
        return;
    const MallocText alias = CellText(pMainTable, row, 0);
    const int last = FindLastAlias(alias ? alias.get() : L"");
    if (Mark(id, kMarkAliasRepeat, last != -1 && last > row))
        Redraw();
}

int RunningConflictChecks()
{
    return running_passes;
}

bool ConflictMarksCurrent()
{
    return marked_at == TableChanges();
}
