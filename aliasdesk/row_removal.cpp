#include "row_removal.h"

#include "aliasdesk_ids.h"
#include "app_state.h"
#include "diagnostics.h"
#include "report_table.h"
#include "workers.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <unordered_set>
#include <utility>

namespace {

// Up to this many rows go at once, in the handler itself; more go in steps.
constexpr size_t kRemovedAtOnce = 512;

std::atomic<int> running_removals;

struct Removal {
    HWND dlg = nullptr;
    HWND list = nullptr; // the list the rows were chosen in
    bool filter = false; // list is the filter list: its rows go too
    std::unordered_set<RowId> ids;
    int select_row = -1; // selected in list afterwards; -1 for none
    RowSweep main;
    int filter_cursor = -1; // filter rows from here to the end are done
    int filter_rows_left = -1; // the filter list's rows after the last step
    bool filter_deleted = false; // the current sweep of the filter list deleted a row
};

HWND FilterList()
{
    return pFilterTable ? pFilterTable->window : nullptr;
}

bool Removing(const Removal& job, RowId id)
{
    return job.ids.count(id) != 0;
}

// From the end up, as the main rows go. A filter pass that refilled the list
// meanwhile (its row count is not what the last step left) is looked at
// again; so is a list a sweep deleted from, until one finds nothing left:
// a sort of the filter list moves rows without changing its count.
bool SweepFilterRows(Removal& job, const StepClock& clock)
{
    HWND filter = FilterList();
    if (!filter)
        return true;
    const int count = GetRowCount(pFilterTable);
    if (job.filter_cursor < 0 || count != job.filter_rows_left) {
        job.filter_cursor = count;
        job.filter_deleted = false;
    }
    HoldRedraw(filter);
    while (job.filter_cursor > 0 && !clock.Spent()) {
        --job.filter_cursor;
        if (Removing(job, IdOfRow(filter, job.filter_cursor))) {
            SendMessageW(filter, LVM_DELETEITEM, job.filter_cursor, 0);
            job.filter_deleted = true;
        }
    }
    ReleaseRedraw(filter, false);
    job.filter_rows_left = GetRowCount(pFilterTable);
    if (job.filter_cursor > 0)
        return false;
    if (!job.filter_deleted)
        return true;
    job.filter_cursor = -1; // once more, to find nothing
    return false;
}

void EndRemoval(const Removal& job)
{
    if (job.select_row >= 0)
        SelectRow(job.list, job.select_row); // past the end when the last row went: nothing selected
    SetDlgItemInt(job.dlg, IDC_COUNT, static_cast<UINT>(GetRowCount(pMainTable)), FALSE);
}

// Main rows first: a filter pass that runs meanwhile begins again after each
// of their deletions, and copies none of them once they are gone.
bool RemovalStep(Removal& job, const StepClock& clock)
{
    if (!SweepMainRows(job.main, [&job](RowId id) { return Removing(job, id); }, clock))
        return false;
    if (job.filter && !SweepFilterRows(job, clock))
        return false;
    EndRemoval(job);
    return true;
}

unsigned __stdcall RemovalWorker(void* param)
{
    std::unique_ptr<Removal> job(static_cast<Removal*>(param));
    auto step = [&job]() -> LRESULT {
        const StepClock clock;
        return RemovalStep(*job, clock);
    };
    while (!WorkerStopRequested() && !RunOnDialogThread(step)) { }
    --running_removals;
    return 0;
}

// rows: where the rows stand in job.list now, top down.
void RemoveAtOnce(const Removal& job, const std::vector<int>& rows)
{
    DeleteRowsWithIds(std::vector<RowId>(job.ids.begin(), job.ids.end()));
    if (job.filter) {
        HoldRedraw(job.list);
        for (auto row = rows.rbegin(); row != rows.rend(); ++row)
            SendMessageW(job.list, LVM_DELETEITEM, *row, 0);
        ReleaseRedraw(job.list, true);
    }
    EndRemoval(job);
}

void StartRemoval(std::unique_ptr<Removal> job)
{
    ++running_removals;
    if (StartWorker(RemovalWorker, job.get())) {
        job.release(); // the worker owns it now
        return;
    }
    --running_removals;
    // No thread: better a pause than rows left behind.
    while (!RemovalStep(*job, StepClock::Unbounded())) { }
}

// The selected rows of the list, top down, with the identities they carry.
// Where many are selected, one look at every row costs less than a search
// for each selected one.
void SelectedRows(HWND list, std::vector<int>* rows, std::vector<RowId>* ids)
{
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    const int selected = static_cast<int>(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0));
    if (selected * 16 < count) {
        // Up to the last selected row only: the search past it looks at every row below.
        for (int row = -1; static_cast<int>(rows->size()) < selected &&
             (row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, row, LVNI_SELECTED))) != -1;) {
            rows->push_back(row);
            ids->push_back(IdOfRow(list, row));
        }
        return;
    }
    for (int row = 0; row < count; ++row) {
        LVITEMW item{};
        item.mask = LVIF_PARAM | LVIF_STATE;
        item.stateMask = LVIS_SELECTED;
        item.iItem = row;
        if (SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) && (item.state & LVIS_SELECTED)) {
            rows->push_back(row);
            ids->push_back(item.lParam);
        }
    }
}

// The rows of the list, top down, with the identities they carry: at once,
// or in steps when there are many.
void Remove(HWND dlg, HWND list, const std::vector<int>& rows, const std::vector<RowId>& ids, bool select_after)
{
    auto job = std::make_unique<Removal>();
    job->dlg = dlg;
    job->list = list;
    job->filter = list == FilterList();
    job->ids.insert(ids.begin(), ids.end());
    job->ids.erase(0); // a filter row not copied from the main table stands for no main row
    // The row that moves into the place of the last one removed.
    if (select_after)
        job->select_row = rows.empty() ? 0 : rows.back() - static_cast<int>(rows.size() - 1);
    if (std::max(rows.size(), job->ids.size()) <= kRemovedAtOnce)
        RemoveAtOnce(*job, rows);
    else
        StartRemoval(std::move(job));
}

} // namespace

bool IsMainListShown(HWND dlg)
{
    return (GetWindowLongPtrW(GetDlgItem(dlg, IDC_MAIN_LIST), GWL_STYLE) & WS_VISIBLE) != 0;
}

void RemoveSelectItem(HWND dlg)
{
    HWND list = GetDlgItem(dlg, IsMainListShown(dlg) ? IDC_MAIN_LIST : IDC_FILTER_LIST);
    std::vector<int> rows;
    std::vector<RowId> ids;
    SelectedRows(list, &rows, &ids);
    RemoveRows(dlg, list, rows, ids);
}

void RemoveRows(HWND dlg, HWND list, const std::vector<int>& rows, const std::vector<RowId>& ids)
{
    bRowsRemoved = 1;
    DebugPrint(L"RemoveSelectItem\n");
    ZeroMemory(szScanFolder, sizeof(szScanFolder));
    MarkModified();
    Remove(dlg, list, rows, ids, true);
}

void ClearShownRows(HWND dlg)
{
    HWND list = GetDlgItem(dlg, IsMainListShown(dlg) ? IDC_MAIN_LIST : IDC_FILTER_LIST);
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    std::vector<int> rows(static_cast<size_t>(count));
    std::vector<RowId> ids(rows.size());
    for (int row = 0; row < count; ++row) {
        rows[static_cast<size_t>(row)] = row;
        ids[static_cast<size_t>(row)] = IdOfRow(list, row);
    }
    Remove(dlg, list, rows, ids, false);
}

int RunningRemovals()
{
    return running_removals;
}
