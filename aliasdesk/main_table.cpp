#include "main_table.h"

#include "app_state.h"
#include "report_table.h"
#include "wide_text.h"
#include "workers.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <type_traits>
#include <unordered_map>

namespace {

// More deletions than this since the identity index was built, and it is
// built again when next asked: each one costs a look through those kept.
constexpr size_t kDeletionsKept = 64;

// Everything kept about the main list's rows. Written on the dialog thread
// (the class procedure runs there); the two counters may be read anywhere.
struct TableAccount {
    RowId last_id = 0;
    std::atomic<unsigned> changes{0};
    std::atomic<unsigned> reshaped_at{0}; // changes at the last change other than an append
    int filling_from = -1; // rows from here on are being appended by this unit, -1 when none
    RowId doomed_up_to = 0; // Reload empties the rows up to this one
    bool replacing = false; // a load has not brought all its rows in yet

    // Identity -> the row it stood in when the index was built (or appended
    // since), with the places deleted since in ascending order: a deletion
    // then costs no rebuild.
    bool ids_valid = false;
    std::unordered_map<RowId, int> row_of_id;
    std::vector<int> deleted_places;

    // Sort key (as the list's own comparison sees a label) -> the identities
    // of the rows with that label, in any order. It follows every change but
    // a label it cannot read; identities of rows gone are dropped when met.
    bool aliases_valid = false;
    std::unordered_map<std::string, std::vector<RowId>> ids_by_key;

    std::unordered_map<RowId, unsigned> marks; // rows with at least one mark
    int marked[32] = {}; // by mark bit: rows carrying it
};

TableAccount account;

HWND MainList()
{
    return pMainTable ? pMainTable->window : nullptr;
}

std::string KeyOf(const wchar_t* text)
{
    return LabelKey(text);
}

TableListener table_listener;

// Every change of the rows passes here.
void Changed()
{
    ++account.changes;
    if (table_listener)
        table_listener();
}

// Swapped out rather than cleared: clearing costs the whole bucket array.
template <typename Container> void Drop(Container& container)
{
    if (!container.empty())
        Container().swap(container);
}

void Reshaped()
{
    account.reshaped_at = account.changes.load();
}

int MarksIndex(unsigned mark)
{
    int bit = 0;
    while ((1u << bit) != mark)
        ++bit;
    return bit;
}

void ForgetIds()
{
    account.ids_valid = false;
    Drop(account.row_of_id);
    Drop(account.deleted_places);
}

void ForgetAliases()
{
    account.aliases_valid = false;
    Drop(account.ids_by_key);
}

void ForgetMarks(RowId id)
{
    const auto found = account.marks.find(id);
    if (found == account.marks.end())
        return;
    for (int bit = 0; bit < 32; ++bit) {
        if (found->second & (1u << bit))
            --account.marked[bit];
    }
    account.marks.erase(found);
}

void ForgetAllMarks()
{
    Drop(account.marks);
    std::fill(std::begin(account.marked), std::end(account.marked), 0);
}

void RebuildIds()
{
    ForgetIds();
    const int count = GetRowCount(pMainTable);
    account.row_of_id.reserve(static_cast<size_t>(count));
    for (int row = 0; row < count; ++row)
        account.row_of_id[IdOfRow(MainList(), row)] = row;
    account.ids_valid = true;
}

void RebuildAliases()
{
    ForgetAliases();
    const int count = GetRowCount(pMainTable);
    wchar_t* label = nullptr; // one buffer for every label; freed below
    int capacity = 0;
    for (int row = 0; row < count; ++row) {
        if (ReadCellText(pMainTable, row, 0, &label, &capacity))
            account.ids_by_key[KeyOf(label)].push_back(IdOfRow(MainList(), row));
    }
    free(label);
    account.aliases_valid = true;
}

// The place in the index of the row that stands at row now.
int PlaceOfRow(int row)
{
    int place = row;
    for (int deleted : account.deleted_places) {
        if (deleted > place)
            break;
        ++place;
    }
    return place;
}

void Appended(int row, const wchar_t* label, RowId id)
{
    if (account.ids_valid)
        account.row_of_id[id] = row + static_cast<int>(account.deleted_places.size());
    if (!account.aliases_valid)
        return;
    if (label)
        account.ids_by_key[KeyOf(label)].push_back(id);
    else
        ForgetAliases();
}

void Deleting(int row)
{
    const RowId id = IdOfRow(MainList(), row);
    if (id == 0)
        return; // no such row: nothing goes
    ForgetMarks(id);
    if (!account.ids_valid)
        return;
    if (account.deleted_places.size() >= kDeletionsKept) {
        ForgetIds();
        return;
    }
    const int place = PlaceOfRow(row);
    account.deleted_places.insert(
        std::upper_bound(account.deleted_places.begin(), account.deleted_places.end(), place), place);
    account.row_of_id.erase(id);
}

bool LabelEquals(int row, const wchar_t* alias)
{
    const MallocText label = CellText(pMainTable, row, 0);
    return label && lstrcmpiW(label.get(), alias) == 0;
}

// An insert: the row gets its identity here, whatever the sender put into the item.
template <typename Item> LRESULT Insert(WNDPROC kept, HWND list, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto* sent = reinterpret_cast<const Item*>(lParam);
    if (!sent)
        return CallWindowProcW(kept, list, message, wParam, lParam);
    Item item = *sent;
    item.mask |= LVIF_PARAM;
    item.lParam = ++account.last_id;
    const LRESULT row = CallWindowProcW(kept, list, message, wParam, reinterpret_cast<LPARAM>(&item));
    if (row == -1)
        return row;
    Changed();
    const wchar_t* label = nullptr;
    if constexpr (std::is_same_v<Item, LVITEMW>) {
        if ((item.mask & LVIF_TEXT) && item.pszText != LPSTR_TEXTCALLBACKW)
            label = item.pszText;
    }
    if (row != GetRowCount(pMainTable) - 1) {
        Reshaped();
        ForgetIds(); // the rows below moved down
        if (account.aliases_valid && label)
            account.ids_by_key[KeyOf(label)].push_back(item.lParam);
        else
            ForgetAliases();
        return row;
    }
    Appended(static_cast<int>(row), label, item.lParam);
    return row;
}

// What a set message changes: the row, and whether its label or identity.
struct SetTarget {
    int row = -1;
    bool changes_row = false; // a state alone changes no row
    bool label = false;
    bool identity = false;
    const wchar_t* new_label = nullptr; // null when it cannot be read here
};

SetTarget TargetOfSet(UINT message, WPARAM wParam, const LVITEMW* item)
{
    SetTarget target;
    const bool text_set = message == LVM_SETITEMTEXTW || message == LVM_SETITEMTEXTA;
    target.row = text_set ? static_cast<int>(wParam) : item->iItem;
    target.changes_row = text_set || (item->mask & (LVIF_TEXT | LVIF_PARAM));
    target.label = (text_set || (item->mask & LVIF_TEXT)) && item->iSubItem == 0;
    target.identity = !text_set && (item->mask & LVIF_PARAM);
    const bool wide = message == LVM_SETITEMTEXTW || message == LVM_SETITEMW;
    if (target.label && wide && item->pszText != LPSTR_TEXTCALLBACKW)
        target.new_label = item->pszText ? item->pszText : L"";
    return target;
}

// The label of a row changed: its identity moves to the new label's key.
void Relabelled(RowId id, const std::string& old_key, const wchar_t* new_label)
{
    std::vector<RowId>& ids = account.ids_by_key[old_key];
    ids.erase(std::remove(ids.begin(), ids.end(), id), ids.end());
    if (new_label)
        account.ids_by_key[KeyOf(new_label)].push_back(id);
    else
        ForgetAliases();
}

// A set: the alias index follows a new label, and the identities follow a
// new item data; other columns and states change nothing that is kept.
LRESULT Set(WNDPROC kept, HWND list, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto* item = reinterpret_cast<const LVITEMW*>(lParam);
    if (!item)
        return CallWindowProcW(kept, list, message, wParam, lParam);
    const SetTarget target = TargetOfSet(message, wParam, item);
    const RowId id = target.label || target.identity ? IdOfRow(list, target.row) : 0;
    std::string old_key;
    if (target.label && account.aliases_valid) {
        const MallocText label = CellText(pMainTable, target.row, 0);
        old_key = KeyOf(label ? label.get() : L"");
    }
    const LRESULT result = CallWindowProcW(kept, list, message, wParam, lParam);
    if (!result || !target.changes_row)
        return result;
    Changed();
    // The cells of a row this unit is appending are part of the append.
    if (account.filling_from == -1 || target.row < account.filling_from)
        Reshaped();
    if (target.identity) {
        ForgetIds();
        ForgetAliases();
        ForgetMarks(id);
    } else if (target.label && account.aliases_valid) {
        Relabelled(id, old_key, target.new_label);
    }
    return result;
}

LRESULT Delete(WNDPROC kept, HWND list, UINT message, WPARAM wParam, LPARAM lParam)
{
    const bool all = message == LVM_DELETEALLITEMS;
    if (!all)
        Deleting(static_cast<int>(wParam));
    const LRESULT result = CallWindowProcW(kept, list, message, wParam, lParam);
    if (all) {
        ForgetIds();
        ForgetAliases();
        ForgetAllMarks();
        account.ids_valid = account.aliases_valid = true; // of a list with no rows
    }
    Changed();
    Reshaped();
    return result;
}

bool Doomed(RowId id)
{
    return id != 0 && id <= account.doomed_up_to;
}

// A doomed row counts as listed until the load has ended.
bool Unlisted(RowId id)
{
    return !account.replacing && Doomed(id);
}

} // namespace

std::string LabelKey(const wchar_t* label)
{
    const int size = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, label, -1, nullptr, 0);
    std::string key(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size > 0)
        LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, label, -1,
                     reinterpret_cast<wchar_t*>(key.data()), size);
    return key;
}

namespace {

void Append(RowAppender& appender, const wchar_t* alias, const wchar_t* path, const wchar_t* parameter)
{
    account.filling_from = GetRowCount(pMainTable);
    appender.Append(alias, parameter, path);
    account.filling_from = -1;
}

// Whether a listed row has this alias and this path.
bool ListsAliasAt(const wchar_t* alias, const wchar_t* path)
{
    if (!account.aliases_valid)
        RebuildAliases();
    const auto found = account.ids_by_key.find(KeyOf(alias));
    if (found == account.ids_by_key.end())
        return false;
    for (RowId id : found->second) {
        const int row = RowOfId(id);
        if (row != -1 && !Unlisted(id) && LabelEquals(row, alias) &&
            EqualNoCaseAscii(CellText(pMainTable, row, 2).get(), path))
            return true;
    }
    return false;
}

std::wstring FreeAlias(const wchar_t* stem)
{
    for (int counter = 0;; ++counter) {
        std::wstring alias = std::wstring(stem) + L"_#" + std::to_wstring(counter);
        if (FindFirstAlias(alias.c_str()) == -1)
            return alias;
    }
}

} // namespace

int AppendAliasRow(RowAppender& appender, const wchar_t* alias, const wchar_t* path, const wchar_t* parameter)
{
    const int first = FindFirstAlias(alias);
    if (first != -1 && EqualNoCaseAscii(CellText(pMainTable, first, 2).get(), path) &&
        EqualNoCaseAscii(CellText(pMainTable, first, 1).get(), parameter))
        return 0; // listed already, exactly so
    Append(appender, alias, path, parameter);
    return 1;
}

void ImportAliasRows(const AliasRow* rows, size_t count, ImportCounts* counts)
{
    auto step = [&]() -> LRESULT {
        RowAppender appender(pMainTable, static_cast<int>(count));
        for (size_t i = 0; i < count; ++i) {
            const AliasRow& row = rows[i];
            if (!row.alias)
                continue;
            if (ListsAliasAt(row.alias, row.path)) {
                ++counts->skipped;
                continue;
            }
            const bool taken = FindFirstAlias(row.alias) != -1;
            Append(appender, taken ? FreeAlias(row.alias).c_str() : row.alias, row.path, row.parameter);
            ++counts->added;
            counts->renamed += taken;
        }
        return 0;
    };
    RunOnDialogThread(step);
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

namespace {

int FindAliasRow(const wchar_t* alias, bool last)
{
    if (!alias || !MainList())
        return -1;
    if (!account.aliases_valid)
        RebuildAliases();
    const auto found = account.ids_by_key.find(KeyOf(alias));
    if (found == account.ids_by_key.end())
        return -1;
    int chosen = -1;
    std::vector<RowId>& ids = found->second;
    for (size_t i = 0; i < ids.size();) {
        const int row = RowOfId(ids[i]);
        if (row == -1) {
            ids[i] = ids.back(); // gone for good: identities are never given twice
            ids.pop_back();
            continue;
        }
        if (!Unlisted(ids[i]) && (chosen == -1 || (last ? row > chosen : row < chosen)) && LabelEquals(row, alias))
            chosen = row;
        ++i;
    }
    return chosen;
}

} // namespace

int FindFirstAlias(const wchar_t* alias)
{
    return FindAliasRow(alias, false);
}

int FindLastAlias(const wchar_t* alias)
{
    return FindAliasRow(alias, true);
}

RowId IdOfRow(HWND list, int row)
{
    if (!list || row < 0)
        return 0;
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    return SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) ? item.lParam : 0;
}

int RowOfId(RowId id)
{
    if (id == 0 || !MainList())
        return -1;
    if (!account.ids_valid)
        RebuildIds();
    const auto found = account.row_of_id.find(id);
    if (found == account.row_of_id.end())
        return -1;
    const std::vector<int>& deleted = account.deleted_places;
    return found->second - static_cast<int>(std::lower_bound(deleted.begin(), deleted.end(), found->second) -
                                            deleted.begin());
}

unsigned TableChanges()
{
    return account.changes;
}

bool RowsKeptSince(unsigned changes)
{
    return static_cast<int>(account.reshaped_at.load() - changes) <= 0;
}

RowId NewestRowId()
{
    return account.last_id;
}

void SetRowMark(RowId id, RowMark mark, bool on)
{
    const int bit = MarksIndex(mark);
    unsigned& marks = account.marks[id];
    const bool had = (marks & mark) != 0;
    if (on && !had && RowOfId(id) != -1) {
        marks |= mark;
        ++account.marked[bit];
    } else if (!on && had) {
        marks &= ~static_cast<unsigned>(mark);
        --account.marked[bit];
    }
    if (marks == 0)
        account.marks.erase(id);
}

bool HasRowMark(RowId id, RowMark mark)
{
    const auto found = account.marks.find(id);
    return found != account.marks.end() && (found->second & mark) != 0;
}

int CountMarkedRows(RowMark mark)
{
    return account.marked[MarksIndex(mark)];
}

bool HasAnyRowMark(RowId id, unsigned marks)
{
    const auto found = account.marks.find(id);
    return found != account.marks.end() && (found->second & marks) != 0;
}

bool ShowsMarkedRow(HWND list, unsigned marks)
{
    int marked = 0;
    for (int bit = 0; bit < 32; ++bit)
        marked += (marks & (1u << bit)) ? account.marked[bit] : 0;
    if (!list || marked == 0)
        return false;
    if (list == MainList())
        return true;
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        if (HasAnyRowMark(IdOfRow(list, row), marks))
            return true;
    }
    return false;
}

int SelectMarkedRows(HWND list, unsigned marks)
{
    if (!list)
        return 0;
    // Each change of a row's state repaints it: seconds for a long list.
    HoldRedraw(list);
    LVITEMW none{};
    none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    int selected = 0;
    for (int row = 0; row < count; ++row) {
        if (!HasAnyRowMark(IdOfRow(list, row), marks))
            continue;
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = selected == 0 ? LVIS_SELECTED | LVIS_FOCUSED : LVIS_SELECTED;
        SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
        if (selected++ == 0)
            SendMessageW(list, LVM_ENSUREVISIBLE, row, FALSE);
    }
    ReleaseRedraw(list, true);
    return selected;
}

void SetTableListener(TableListener listener)
{
    table_listener = listener;
}

bool SweepMainRows(RowSweep& sweep, const RowTest& doomed, const StepClock& clock)
{
    HWND list = MainList();
    if (!list)
        return true;
    // From the end: a deletion then moves no row still to be looked at. A
    // change other than an append may have moved any row: look again.
    if (sweep.cursor < 0 || !RowsKeptSince(sweep.seen))
        sweep.cursor = GetRowCount(pMainTable);
    HoldRedraw(list);
    while (sweep.cursor > 0 && !clock.Spent()) {
        --sweep.cursor;
        if (doomed(IdOfRow(list, sweep.cursor)))
            SendMessageW(list, LVM_DELETEITEM, sweep.cursor, 0);
    }
    ReleaseRedraw(list, false);
    sweep.seen = TableChanges();
    return sweep.cursor == 0;
}

void DeleteRowsWithIds(const std::vector<RowId>& ids)
{
    HWND list = MainList();
    if (!list)
        return;
    std::vector<int> rows;
    for (RowId id : ids) {
        const int row = RowOfId(id);
        if (row != -1)
            rows.push_back(row);
    }
    // From the bottom up, so that no deletion moves a row still to go.
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    HoldRedraw(list);
    for (int row : rows)
        SendMessageW(list, LVM_DELETEITEM, row, 0);
    ReleaseRedraw(list, true);
}

void DoomRowsUpTo(RowId last_id)
{
    account.doomed_up_to = last_id;
    account.replacing = true;
}

bool AwaitingReplacement()
{
    return account.replacing;
}

void EndReplacement()
{
    account.replacing = false;
}

void SpareDoomedRows()
{
    account.doomed_up_to = 0;
    account.replacing = false;
}

void EmptyDoomedRows()
{
    RowSweep sweep;
    auto step = [&sweep]() -> LRESULT {
        if (account.doomed_up_to == 0)
            return TRUE;
        const StepClock clock;
        if (!SweepMainRows(sweep, Doomed, clock))
            return FALSE;
        account.doomed_up_to = 0;
        return TRUE;
    };
    while (!WorkerStopRequested() && !RunOnDialogThread(step)) { }
}

LRESULT CallListProc(WNDPROC kept, HWND list, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!list || list != MainList())
        return CallWindowProcW(kept, list, message, wParam, lParam);
    switch (message) {
    case LVM_INSERTITEMW:
        return Insert<LVITEMW>(kept, list, message, wParam, lParam);
    case LVM_INSERTITEMA:
        return Insert<LVITEMA>(kept, list, message, wParam, lParam);
    case LVM_SETITEMW:
    case LVM_SETITEMA:
    case LVM_SETITEMTEXTW:
    case LVM_SETITEMTEXTA:
        return Set(kept, list, message, wParam, lParam);
    case LVM_DELETEITEM:
    case LVM_DELETEALLITEMS:
        return Delete(kept, list, message, wParam, lParam);
    case LVM_SORTITEMS:
    case LVM_SORTITEMSEX: {
        const LRESULT result = CallWindowProcW(kept, list, message, wParam, lParam);
        ForgetIds(); // the labels stay with their identities
        Changed();
        Reshaped();
        return result;
    }
    default:
        return CallWindowProcW(kept, list, message, wParam, lParam);
    }
}

void ResetMainTable()
{
    ++account.changes; // no listener: the dialog is starting
    Reshaped();
    ForgetIds();
    ForgetAliases();
    ForgetAllMarks();
    account.filling_from = -1;
    account.doomed_up_to = 0;
    account.replacing = false;
}
