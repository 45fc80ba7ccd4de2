#include "main_table.h"

#include "app_state.h"
#include "diagnostics.h"
#include "report_table.h"
#include "aliasdesk_ids.h"
#include "wide_text.h"
#include "workers.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <type_traits>
#include <unordered_map>

namespace {

// Everything kept about the main list's rows. Written on the dialog thread
// (the class procedure runs there); the two counters may be read anywhere.
struct TableAccount {
    RowId last_id = 0;
    std::atomic<unsigned> changes{0};
    std::atomic<unsigned> reshaped_at{0}; // changes at the last change other than an append
    int filling_from = -1; // rows from here on are being appended by this unit, -1 when none

    // Both indexes follow appends and are rebuilt from the list after anything else.
    bool aliases_valid = false;
    // Sort key (as the list's own comparison sees a label) -> rows, top to bottom.
    std::unordered_map<std::string, std::vector<int>> rows_by_key;
    bool ids_valid = false;
    std::unordered_map<RowId, int> row_of_id;
};

TableAccount account;

HWND MainList()
{
    return pMainTable ? pMainTable->window : nullptr;
}

HWND FilterList()
{
    return pFilterTable ? pFilterTable->window : nullptr;
}

// Labels the list takes as equal have equal keys: the list compares with the
// user's locale, ignoring case.
std::string KeyOf(const wchar_t* text)
{
    const int size = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, text, -1, nullptr, 0);
    std::string key(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size > 0)
        LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, text, -1,
                     reinterpret_cast<wchar_t*>(key.data()), size);
    return key;
}

// Swapped out rather than cleared: clearing costs the whole bucket array
// every time, and a removal of many rows reshapes once per row.
template <typename Map> void Drop(Map& map)
{
    if (!map.empty())
        Map().swap(map);
}

void Reshaped()
{
    account.reshaped_at = account.changes.load();
    account.aliases_valid = false;
    account.ids_valid = false;
    Drop(account.rows_by_key);
    Drop(account.row_of_id);
}

void Appended(int row, const wchar_t* label, RowId id)
{
    if (account.aliases_valid) {
        if (label)
            account.rows_by_key[KeyOf(label)].push_back(row);
        else
            account.aliases_valid = false;
    }
    if (account.ids_valid)
        account.row_of_id[id] = row;
}

void RebuildAliases()
{
    Drop(account.rows_by_key);
    const int count = GetRowCount(pMainTable);
    wchar_t* label = nullptr; // one buffer for every label; freed below
    int capacity = 0;
    for (int row = 0; row < count; ++row) {
        if (ReadCellText(pMainTable, row, 0, &label, &capacity))
            account.rows_by_key[KeyOf(label)].push_back(row);
    }
    free(label);
    account.aliases_valid = true;
}

void RebuildIds()
{
    Drop(account.row_of_id);
    const int count = GetRowCount(pMainTable);
    account.row_of_id.reserve(static_cast<size_t>(count));
    for (int row = 0; row < count; ++row)
        account.row_of_id[IdOfRow(MainList(), row)] = row;
    account.ids_valid = true;
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
    ++account.changes;
    if (row != GetRowCount(pMainTable) - 1) {
        Reshaped();
        return row;
    }
    const wchar_t* label = nullptr;
    if constexpr (std::is_same_v<Item, LVITEMW>) {
        if ((item.mask & LVIF_TEXT) && item.pszText != LPSTR_TEXTCALLBACKW)
            label = item.pszText;
    }
    Appended(static_cast<int>(row), label, item.lParam);
    return row;
}

// A set that changes neither text nor identity (state alone) changes no row.
bool ChangesRow(UINT message, WPARAM wParam, LPARAM lParam, int* row)
{
    const auto* item = reinterpret_cast<const LVITEMW*>(lParam);
    if (!item)
        return false;
    if (message == LVM_SETITEMTEXTW || message == LVM_SETITEMTEXTA) {
        *row = static_cast<int>(wParam);
        return true;
    }
    *row = item->iItem;
    return (item->mask & (LVIF_TEXT | LVIF_PARAM)) != 0;
}

void NoteSet(UINT message, WPARAM wParam, LPARAM lParam, LRESULT result)
{
    int row = -1;
    if (!result || !ChangesRow(message, wParam, lParam, &row))
        return;
    ++account.changes;
    // The cells of a row this unit is appending are part of the append.
    if (account.filling_from == -1 || row < account.filling_from)
        Reshaped();
}

int SelectedCount(HWND list)
{
    return list ? static_cast<int>(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0)) : 0;
}

std::vector<int> SelectedRows(HWND list)
{
    std::vector<int> rows;
    for (int row = -1; list && (row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, row, LVNI_SELECTED))) != -1;)
        rows.push_back(row);
    return rows;
}

void ShowCount(HWND dlg)
{
    SetDlgItemInt(dlg, IDC_COUNT, static_cast<UINT>(GetRowCount(pMainTable)), FALSE);
}

void RemoveFromMainList(HWND dlg, int rows)
{
    const int selected = SelectedCount(MainList());
    int last_deleted = 0;
    DeleteSelectedRows(&last_deleted);
    SelectRow(MainList(), last_deleted); // past the end when the last row went: nothing selected
    SetDlgItemInt(dlg, IDC_COUNT, static_cast<UINT>(rows - selected), FALSE);
}

// Each filter row takes exactly the main row it was copied from, found by
// its identity; a row whose main row has gone takes none with it.
void RemoveFromFilterList(HWND dlg)
{
    const HWND filter = FilterList();
    const std::vector<int> rows = SelectedRows(filter);
    std::vector<RowId> ids;
    for (int row : rows)
        ids.push_back(IdOfRow(filter, row));
    RemoveRowsWithIds(std::move(ids));
    for (auto row = rows.rbegin(); row != rows.rend(); ++row)
        SendMessageW(filter, LVM_DELETEITEM, *row, 0);
    ShowCount(dlg);
    // The row that moved into the place of the last one removed, or row 0.
    SelectRow(filter, rows.empty() ? 0 : rows.back() - static_cast<int>(rows.size() - 1));
}

} // namespace

int AppendAliasRow(RowAppender& appender, const wchar_t* alias, const wchar_t* path, const wchar_t* parameter)
{
    const int first = FindFirstAlias(alias);
    if (first != -1 && EqualNoCaseAscii(CellText(pMainTable, first, 2).get(), path) &&
        EqualNoCaseAscii(CellText(pMainTable, first, 1).get(), parameter))
        return 0; // listed already, exactly so
    account.filling_from = GetRowCount(pMainTable);
    appender.Append(alias, parameter, path);
    account.filling_from = -1;
    return 1;
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

int FindFirstAlias(const wchar_t* alias)
{
    if (!alias || !MainList())
        return -1;
    if (!account.aliases_valid)
        RebuildAliases();
    const auto found = account.rows_by_key.find(KeyOf(alias));
    if (found == account.rows_by_key.end())
        return -1;
    for (int row : found->second) {
        if (LabelEquals(row, alias))
            return row;
    }
    return -1;
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
    return found == account.row_of_id.end() ? -1 : found->second;
}

void RemoveRowsWithIds(std::vector<RowId> ids)
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
    ReleaseRedraw(list, false);
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

void EmptyRowsUpTo(RowId last_id)
{
    if (last_id <= 0)
        return;
    int cursor = -1; // rows from here to the end are done
    unsigned seen = 0;
    auto step = [&]() -> LRESULT {
        HWND list = MainList();
        if (!list)
            return TRUE;
        // From the end: a deletion then moves no row still to be looked at. A
        // change other than an append may have moved any row: look again.
        if (cursor < 0 || !RowsKeptSince(seen))
            cursor = GetRowCount(pMainTable);
        const StepClock clock;
        HoldRedraw(list);
        while (cursor > 0 && !clock.Spent()) {
            --cursor;
            if (IdOfRow(list, cursor) <= last_id)
                SendMessageW(list, LVM_DELETEITEM, cursor, 0);
        }
        ReleaseRedraw(list, false);
        seen = TableChanges();
        return cursor == 0;
    };
    while (!WorkerStopRequested() && !RunOnDialogThread(step)) { }
}

bool IsMainListShown(HWND dlg)
{
    return (GetWindowLongPtrW(GetDlgItem(dlg, IDC_MAIN_LIST), GWL_STYLE) & WS_VISIBLE) != 0;
}

void RemoveSelectItem(HWND dlg)
{
    bRowsRemoved = 1;
    DebugPrint(L"RemoveSelectItem\n");
    if (IsMainListShown(dlg))
        RemoveFromMainList(dlg, GetRowCount(pMainTable));
    else
        RemoveFromFilterList(dlg);
    ZeroMemory(szScanFolder, sizeof(szScanFolder));
    MarkModified();
}

void ClearShownRows(HWND dlg)
{
    if (IsMainListShown(dlg)) {
        DeleteAllRows(pMainTable);
        SetDlgItemInt(dlg, IDC_COUNT, 0, FALSE);
        return;
    }
    const HWND filter = FilterList();
    const int shown = GetRowCount(pFilterTable);
    std::vector<RowId> ids;
    ids.reserve(static_cast<size_t>(shown));
    for (int row = 0; row < shown; ++row)
        ids.push_back(IdOfRow(filter, row));
    RemoveRowsWithIds(std::move(ids));
    if (filter)
        SendMessageW(filter, LVM_DELETEALLITEMS, 0, 0);
    ShowCount(dlg);
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
    case LVM_SETITEMTEXTA: {
        const LRESULT result = CallWindowProcW(kept, list, message, wParam, lParam);
        NoteSet(message, wParam, lParam, result);
        return result;
    }
    case LVM_DELETEITEM:
    case LVM_DELETEALLITEMS:
    case LVM_SORTITEMS:
    case LVM_SORTITEMSEX: {
        const LRESULT result = CallWindowProcW(kept, list, message, wParam, lParam);
        ++account.changes;
        Reshaped();
        return result;
    }
    default:
        return CallWindowProcW(kept, list, message, wParam, lParam);
    }
}

void ResetMainTable()
{
    ++account.changes;
    Reshaped();
    account.filling_from = -1;
}
