#include "alias_index.h"

#include "app_state.h"
#include "report_table.h"

#include <commctrl.h>

#include <atomic>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

struct AliasIndex {
    bool valid = false;
    // Sort key (as the list's own comparison sees a label) -> rows, top to bottom.
    std::unordered_map<std::string, std::vector<int>> rows_by_key;
};

AliasIndex index;
std::atomic<unsigned> main_list_moves;
unsigned main_list_changes; // dialog thread only

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

void Rebuild()
{
    index.rows_by_key.clear();
    const int count = GetRowCount(pMainTable);
    wchar_t* label = nullptr; // one buffer for every label; freed below
    int capacity = 0;
    for (int row = 0; row < count; ++row) {
        if (ReadCellText(pMainTable, row, 0, &label, &capacity))
            index.rows_by_key[KeyOf(label)].push_back(row);
    }
    free(label);
    index.valid = true;
}

bool LabelEquals(int row, const wchar_t* alias)
{
    const MallocText label = CellText(pMainTable, row, 0);
    return label && lstrcmpiW(label.get(), alias) == 0;
}

const wchar_t* InsertedText(LPARAM lParam)
{
    const auto* item = reinterpret_cast<const LVITEMW*>(lParam);
    return item && (item->mask & LVIF_TEXT) && item->pszText != LPSTR_TEXTCALLBACKW ? item->pszText : nullptr;
}

bool ChangesLabel(LPARAM lParam)
{
    const auto* item = reinterpret_cast<const LVITEMW*>(lParam);
    return item && item->iSubItem == 0;
}

} // namespace

int FindFirstAlias(const wchar_t* alias)
{
    if (!alias || !pMainTable || !pMainTable->window)
        return -1;
    if (!index.valid)
        Rebuild();
    const auto found = index.rows_by_key.find(KeyOf(alias));
    if (found == index.rows_by_key.end())
        return -1;
    for (int row : found->second) {
        if (LabelEquals(row, alias))
            return row;
    }
    return -1;
}

void InvalidateAliasIndex()
{
    ++main_list_changes;
    index.valid = false;
    // Swapped out rather than cleared: clearing costs the whole bucket array
    // every time, and a removal of many rows invalidates once per row.
    if (!index.rows_by_key.empty())
        decltype(index.rows_by_key)().swap(index.rows_by_key);
}

unsigned MainListMoves()
{
    return main_list_moves;
}

unsigned MainListChanges()
{
    return main_list_changes;
}

void NoteMainListMessage(HWND list, UINT message, WPARAM, LPARAM lParam, LRESULT result)
{
    if (!pMainTable || list != pMainTable->window)
        return;
    switch (message) {
    case LVM_INSERTITEMW:
    case LVM_INSERTITEMA:
    case LVM_SETITEMW:
    case LVM_SETITEMTEXTW:
    case LVM_SETITEMA:
    case LVM_SETITEMTEXTA:
    case LVM_DELETEITEM:
    case LVM_DELETEALLITEMS:
    case LVM_SORTITEMS:
    case LVM_SORTITEMSEX:
        ++main_list_changes;
        break;
    default:
        return;
    }
    switch (message) {
    case LVM_INSERTITEMW:
    case LVM_INSERTITEMA: {
        const int row = static_cast<int>(result);
        if (row == -1)
            return;
        const bool appended = row == GetRowCount(pMainTable) - 1;
        if (!appended)
            ++main_list_moves;
        const wchar_t* text = message == LVM_INSERTITEMW ? InsertedText(lParam) : nullptr;
        if (index.valid && appended && text)
            index.rows_by_key[KeyOf(text)].push_back(row);
        else
            InvalidateAliasIndex();
        return;
    }
    case LVM_SETITEMW:
    case LVM_SETITEMTEXTW:
        if (ChangesLabel(lParam))
            InvalidateAliasIndex();
        return;
    case LVM_SETITEMA:
    case LVM_SETITEMTEXTA:
        InvalidateAliasIndex();
        return;
    case LVM_DELETEITEM:
    case LVM_DELETEALLITEMS:
    case LVM_SORTITEMS:
    case LVM_SORTITEMSEX:
        ++main_list_moves;
        InvalidateAliasIndex();
        return;
    default:
        return;
    }
}
