#include "live_filter.h"

#include "app_state.h"
#include "diagnostics.h"
#include "main_table.h"
#include "report_table.h"
#include "aliasdesk_ids.h"
#include "wildcard.h"
#include "workers.h"

#include <commctrl.h>

#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

UniqueCriticalSection cs_filter;

namespace {

std::atomic<int> n_last_thread_id; // newest ticket handed to a filter worker
std::atomic<int> n_thread_count; // filter workers started and not yet finished

// Written by the dialog thread before each worker starts, read by the worker.
struct FilterArgs {
    std::atomic<HWND> filter_box;
};

FilterArgs filter_args;
WNDPROC pfnFilterBoxProc;

constexpr int kFirstCellCapacity = 5120; // grows by one path length before the first read

// Guards the start and end of a ticket, which touch both counters at once.
std::atomic_flag ticket_lock;

class TicketLock {
public:
    TicketLock()
    {
        while (ticket_lock.test_and_set(std::memory_order_acquire))
            SwitchToThread();
    }
    ~TicketLock() { ticket_lock.clear(std::memory_order_release); }
    TicketLock(const TicketLock&) = delete;
    TicketLock& operator=(const TicketLock&) = delete;
};

// The first worker after a quiet spell gets ticket 1.
int TakeTicket()
{
    TicketLock guard;
    if (n_thread_count == 0)
        n_last_thread_id = 0;
    ++n_thread_count;
    return ++n_last_thread_id;
}

void ReturnTicket()
{
    TicketLock guard;
    --n_thread_count;
}

bool MustStop(int n_thread_id)
{
    return n_thread_id < n_last_thread_id || WorkerStopRequested();
}

HWND MainList()
{
    return pMainTable ? pMainTable->window : nullptr;
}

HWND FilterList()
{
    return pFilterTable ? pFilterTable->window : nullptr;
}

void ShowFullView(HWND dlg)
{
    ShowWindow(GetDlgItem(dlg, IDC_FILTER_LIST), SW_HIDE);
    ShowWindow(GetDlgItem(dlg, IDC_MAIN_LIST), SW_SHOW);
    SelectRow(MainList(), 0);
    SelectRow(FilterList(), 0);
}

// A filter pass works on the dialog thread a slice at a time (StepClock)
// and checks its ticket between slices: a pass costs a few dozen messages,
// not several per row.
struct FilterPassState {
    int n_thread_id;
    const wchar_t* pattern;
    int pattern_length;
    int column;
    unsigned changes_seen; // TableChanges() when the rows listed so far were read
    int next_row; // the first main row not yet looked at
};

enum class Slice { More, Done, Moved };

// The texts of the filtered column as the passes read them, top down, kept
// while the main rows stand as they were (rows appended meanwhile are read
// when reached): typing one more character then does not read every cell of
// a long list again. Dialog thread only.
struct ColumnTexts {
    unsigned changes_seen = 0;
    int column = -1;
    std::vector<std::wstring> by_row;
};

ColumnTexts column_texts;

// The row's text in the column; false when the cell could not be read.
// cell and capacity: the slice's buffer for reads from the list.
bool ColumnText(int row, int column, wchar_t** cell, int* capacity, const wchar_t** text)
{
    ColumnTexts& kept = column_texts;
    if (!RowsKeptSince(kept.changes_seen) || kept.column != column) {
        kept.by_row.clear();
        kept.column = column;
    }
    kept.changes_seen = TableChanges();
    if (static_cast<size_t>(row) < kept.by_row.size()) {
        *text = kept.by_row[static_cast<size_t>(row)].c_str();
        return true;
    }
    if (!ReadCellText(pMainTable, row, column, cell, capacity))
        return false;
    *text = *cell;
    if (static_cast<size_t>(row) == kept.by_row.size()) // a pass that began after the change
        kept.by_row.emplace_back(*cell);
    return true;
}

// Empties the filter list from its end, a slice at a time; true when empty.
bool EmptyFilterList(int n_thread_id)
{
    auto step = [n_thread_id]() -> LRESULT {
        if (MustStop(n_thread_id))
            return FALSE;
        const StepClock clock;
        return DeleteRowsDownFrom(pFilterTable, GetRowCount(pFilterTable), clock) == 0;
    };
    while (!RunOnDialogThread(step)) {
        if (MustStop(n_thread_id))
            return false;
    }
    return true;
}

// Looks at main rows from pass.next_row on and copies those that match to
// the end of the filter list, until the slice is spent.
Slice FilterSlice(FilterPassState& pass)
{
    auto step = [&pass]() -> LRESULT {
        if (MustStop(pass.n_thread_id))
            return static_cast<LRESULT>(Slice::More); // the worker gives up at its next check
        if (!RowsKeptSince(pass.changes_seen))
            return static_cast<LRESULT>(Slice::Moved); // rows copied already may have moved or changed
        const StepClock clock;
        const int rows = GetRowCount(pMainTable);
        // One buffer for the slice, freed below. It starts small: every read
        // clears the whole buffer, and cells longer than it make it grow.
        wchar_t* cell = nullptr;
        int capacity = 0;
        {
            RowAppender appender(pFilterTable);
            for (; pass.next_row < rows && !clock.Spent(); ++pass.next_row) {
                const wchar_t* text = nullptr;
                if (!ColumnText(pass.next_row, pass.column, &cell, &capacity, &text))
                    break;
                if (!WildcardMatch(text, static_cast<int>(wcslen(text)), pass.pattern, pass.pattern_length, 0, L'x'))
                    continue;
                appender.Append(CellText(pMainTable, pass.next_row, 0).get(),
                                CellText(pMainTable, pass.next_row, 1).get(),
                                CellText(pMainTable, pass.next_row, 2).get(), IdOfRow(MainList(), pass.next_row));
            }
        }
        free(cell);
        pass.changes_seen = TableChanges();
        SelectRow(FilterList(), 0); // the first match is selected while the list fills
        return static_cast<LRESULT>(pass.next_row >= rows ? Slice::Done : Slice::More);
    };
    return static_cast<Slice>(RunOnDialogThread(step));
}

// The main list's columns take the widths the filter list grew to.
void CopyColumnWidths()
{
    for (int column = 0; column < 3; ++column) {
        const LRESULT width = SendMessageW(FilterList(), LVM_GETCOLUMNWIDTH, column, 0);
        SendMessageW(MainList(), LVM_SETCOLUMNWIDTH, column, MAKELPARAM(width & 0xFFFF, 0));
    }
}

// Fills the filter list with the matching main rows, in the main list's
// order; true when the search ran to its end. A change to the main rows
// other than an append (a sort, a removal, an edit) during the pass starts
// it again from the top.
bool FilterPass(HWND dlg, const wchar_t* pattern, int column, int n_thread_id)
{
    ShowWindow(GetDlgItem(dlg, IDC_MAIN_LIST), SW_HIDE);
    ShowWindow(GetDlgItem(dlg, IDC_FILTER_LIST), SW_SHOW);
    FilterPassState pass{n_thread_id, pattern, static_cast<int>(wcslen(pattern)), column, 0, 0};
    for (;;) {
        pass.changes_seen = TableChanges();
        pass.next_row = 0;
        if (!EmptyFilterList(n_thread_id))
            return false;
        Slice slice = Slice::More;
        while (slice == Slice::More) {
            if (MustStop(n_thread_id))
                return false;
            slice = FilterSlice(pass);
        }
        if (slice == Slice::Done)
            return true;
    }
}

// Runs under cs_filter, past the door.
void FilterByBoxText(HWND box, int n_thread_id)
{
    const HWND dlg = GetParent(box);
    const int column = SendDlgItemMessageW(dlg, IDC_MATCH_ALIAS, BM_GETCHECK, 0, 0) == BST_CHECKED ? 0 : 2;
    wchar_t* text = nullptr;
    if (!GetWindowTextAlloc(box, &text)) {
        ShowFullView(dlg);
        EmptyFilterList(n_thread_id); // hidden now: what the last pass left goes too
        ReturnTicket();
        return;
    }
    const MallocText pattern(text); // GetWindowTextAlloc hands the text to us
    if (FilterPass(dlg, pattern.get(), column, n_thread_id))
        CopyColumnWidths();
    ReturnTicket();
    DebugPrint(L"leave thread, n_thread_id = %d\n", n_thread_id);
}

} // namespace

int NewestFilterTicket()
{
    return n_last_thread_id;
}

int RunningFilterWorkers()
{
    return n_thread_count;
}

void InstallFilterEditProc(HWND filter_box)
{
    pfnFilterBoxProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(filter_box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FilterEditProc)));
}

LRESULT CALLBACK FilterEditProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam)
{
    const bool ready = pMainTable && pFilterTable && cs_filter;
    if (message != WM_CHAR || !ready)
        return CallWindowProcW(pfnFilterBoxProc, box, message, wParam, lParam);

    // The box applies the character first, so the worker reads the new text.
    CallWindowProcW(pfnFilterBoxProc, box, message, wParam, lParam);
    filter_args.filter_box = box;
    // The worker empties the filter list itself, a slice at a time: emptying
    // a long list here would hold the dialog for as long as it takes.
    StartWorker(&FilterWorker, &filter_args);
    return 0;
}

unsigned __stdcall FilterWorker(void* argument)
{
    const HWND box = static_cast<FilterArgs*>(argument)->filter_box;
    const int n_thread_id = TakeTicket();
    CriticalSectionLock lock(cs_filter.get());
    if (MustStop(n_thread_id)) {
        ReturnTicket(); // a newer worker started, or the dialog is closing
        return 0;
    }
    FilterByBoxText(box, n_thread_id);
    return 0;
}

int FindNextMatch(const wchar_t* pattern, int start_row, int column, int n_thread_id)
{
    const int rows = GetRowCount(pMainTable);
    if (!pattern || rows == 0 || start_row >= rows)
        return -1;

    const int pattern_length = static_cast<int>(wcslen(pattern));
    wchar_t* cell = nullptr; // one buffer for the whole search, freed below
    int capacity = kFirstCellCapacity;
    int found = -1;
    for (int row = start_row < 0 ? 0 : start_row + 1; row < rows; ++row) {
        if (n_thread_id != 0 && MustStop(n_thread_id)) {
            found = kSearchAbandoned;
            break;
        }
        if (!ReadCellText(pMainTable, row, column, &cell, &capacity))
            break;
        if (WildcardMatch(cell, static_cast<int>(wcslen(cell)), pattern, pattern_length, 0, L'x')) {
            found = row;
            break;
        }
    }
    free(cell);
    return found;
}
