#include "list_notify.h"

#include "app_state.h"
#include "cell_edit.h"
#include "conflicts.h"
#include "main_table.h"
#include "missing_targets.h"
#include "report_table.h"
#include "row_removal.h"
#include "aliasdesk_ids.h"
#include "wide_text.h"

#include <commctrl.h>

#include <algorithm>
#include <new>
#include <numeric>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

SortContext sortContext;

constexpr COLORREF kEvenRowColor = 0x00F0F0F0;
constexpr COLORREF kOddRowColor = 0x00FFFFFF;

ReportTable* TableOf(UINT_PTR id)
{
    if (id == IDC_MAIN_LIST)
        return pMainTable;
    if (id == IDC_FILTER_LIST)
        return pFilterTable;
    return nullptr;
}

INT_PTR Answer(HWND dlg, LONG_PTR answer)
{
    SetWindowLongPtrW(dlg, DWLP_MSGRESULT, answer);
    return 1;
}

// While a load brings the store's rows in, the rows shown may be about to
// go: an edit of one would vanish with it.
INT_PTR OnBeginLabelEdit(HWND dlg, ReportTable* table, const NMLVDISPINFOW* info)
{
    if (AwaitingReplacement())
        return Answer(dlg, TRUE);
    BeginCellEdit(table, info->item.iItem);
    return Answer(dlg, 0);
}

// The main row gets what the filter cell got, an empty text included, so that
// the two lists never disagree about a row.
void WriteBack(int main_row, const EndedEdit& ended)
{
    if (ended.text)
        SetCellText(pMainTable, main_row, ended.column, ended.text.get());
    else
        StoreCellText(pMainTable, main_row, ended.column, L"");
}

INT_PTR OnEndLabelEdit(HWND dlg, ReportTable* table)
{
    EndedEdit ended;
    const int answer = EndCellEdit(table, &ended);
    if (ended.column == -1)
        return Answer(dlg, 0); // nothing was written
    if (table == pFilterTable) {
        const int main_row = RowOfId(ended.id);
        if (main_row == -1)
            return 0;
        WriteBack(main_row, ended);
    }
    if (ended.column == 2)
        CheckTargetAgain(ended.id);
    if (ended.column == 0)
        CheckAliasAgain(ended.id);
    MarkModified();
    return Answer(dlg, answer);
}

INT_PTR OnKeyDown(HWND dlg, const NMLVKEYDOWN* key)
{
    if (key->wVKey == VK_DELETE)
        RemoveSelectItem(dlg);
    return 1;
}

int CALLBACK ComparePlaces(LPARAM place1, LPARAM place2, LPARAM)
{
    return place1 < place2 ? -1 : (place1 > place2 ? 1 : 0);
}

using PlaceOfId = std::unordered_map<RowId, size_t>;

// The items' data are identities, each with the place it goes to.
int CALLBACK CompareIdPlaces(LPARAM id1, LPARAM id2, LPARAM places)
{
    const auto& place = *reinterpret_cast<const PlaceOfId*>(places);
    const auto first = place.find(id1);
    const auto second = place.find(id2);
    if (first == place.end() || second == place.end())
        return 0;
    return ComparePlaces(static_cast<LPARAM>(first->second), static_cast<LPARAM>(second->second), 0);
}

void SetItemData(HWND list, int row, LPARAM data)
{
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    item.lParam = data;
    SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

// Rows that carry no identity of their own (not copied from the main
// table) get their place as item data for the sort, then their data back.
void SortByPlaceData(HWND list, const std::vector<int>& order, const std::vector<RowId>& ids)
{
    for (size_t place = 0; place < order.size(); ++place)
        SetItemData(list, order[place], static_cast<LPARAM>(place));
    SendMessageW(list, LVM_SORTITEMS, 0, reinterpret_cast<LPARAM>(&ComparePlaces));
    for (size_t place = 0; place < order.size(); ++place)
        SetItemData(list, static_cast<int>(place), ids[static_cast<size_t>(order[place])]);
}

// The rows are ordered with CompareRows before the list moves any of them:
// a list in the middle of a sort may not be read (Wine hands its compare
// callback indices of rows other than those compared), and rows that compare
// equal keep their order, so that two lists that hold rows in one order
// still do afterwards. The list then sorts by each identity's place, so that
// no row's identity changes on the way.
void SortList(ReportTable* table)
{
    if (!table || !table->window)
        return;
    sortContext.table = table;
    try {
        std::vector<int> order(static_cast<size_t>(GetRowCount(table)));
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [](int row1, int row2) {
            return CompareRows(row1, row2, reinterpret_cast<LPARAM>(&sortContext)) < 0;
        });
        std::vector<RowId> ids(order.size());
        for (size_t row = 0; row < ids.size(); ++row)
            ids[row] = IdOfRow(table->window, static_cast<int>(row));
        PlaceOfId places;
        for (size_t place = 0; place < order.size(); ++place)
            places.emplace(ids[static_cast<size_t>(order[place])], place);
        if (places.size() == ids.size() && places.count(0) == 0)
            SendMessageW(table->window, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&places),
                         reinterpret_cast<LPARAM>(&CompareIdPlaces));
        else
            SortByPlaceData(table->window, order, ids);
    } catch (const std::bad_alloc&) {
        // No memory for the order: the list stays as it is.
    }
}

// The lists' font made bold, for the rows in conflict; made again when the
// lists' font changes (a move to another DPI).
struct BoldFont {
    HFONT made_from = nullptr;
    UniqueGdiObject font;
};
BoldFont bold_font;

HGDIOBJ BoldFontFor(HWND list)
{
    const auto font = reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0));
    if (!bold_font.font || font != bold_font.made_from) {
        LOGFONTW face{};
        GetObjectW(font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT), sizeof(face), &face);
        face.lfWeight = FW_BOLD;
        bold_font.font.reset(CreateFontIndirectW(&face));
        bold_font.made_from = font;
    }
    return bold_font.font.get();
}

void EndEditOf(const ReportTable* table)
{
    if (table && table->window)
        SendMessageW(table->window, LVM_CANCELEDITLABEL, 0, 0);
}

INT_PTR OnCustomDraw(HWND dlg, NMLVCUSTOMDRAW* draw)
{
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        // A removal moves the rows below it up without drawing them again, so
        // they keep the stripe of their old place: the first paint after it
        // asks for every row once. Once, or the paint would never end.
        if (bRowsRemoved.exchange(0))
            InvalidateRect(draw->nmcd.hdr.hwndFrom, nullptr, FALSE);
        return Answer(dlg, CDRF_NOTIFYITEMDRAW);
    case CDDS_ITEMPREPAINT: {
        draw->clrTextBk = (draw->nmcd.dwItemSpec & 1) ? kOddRowColor : kEvenRowColor;
        const RowId id = IdOfRow(draw->nmcd.hdr.hwndFrom, static_cast<int>(draw->nmcd.dwItemSpec));
        if (IsTargetMissing(id))
            draw->clrText = GetSysColor(COLOR_GRAYTEXT);
        // Bold stays readable in the grey of a missing program, and on both stripes.
        if (HasAnyRowMark(id, kConflictMarks))
            SelectObject(draw->nmcd.hdc, BoldFontFor(draw->nmcd.hdr.hwndFrom));
        return Answer(dlg, CDRF_NEWFONT);
    }
    default:
        return 0;
    }
}

} // namespace

INT_PTR OnListNotify(HWND dlg, NMHDR* header)
{
    ReportTable* table = TableOf(header->idFrom);
    if (!table)
        return 0;
    switch (header->code) {
    case LVN_BEGINLABELEDITW:
        return OnBeginLabelEdit(dlg, table, reinterpret_cast<const NMLVDISPINFOW*>(header));
    case LVN_ENDLABELEDITW:
        return OnEndLabelEdit(dlg, table);
    case LVN_KEYDOWN:
        return OnKeyDown(dlg, reinterpret_cast<const NMLVKEYDOWN*>(header));
    case LVN_COLUMNCLICK:
        SortBothLists(reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem);
        return 1;
    case NM_CUSTOMDRAW:
        return OnCustomDraw(dlg, reinterpret_cast<NMLVCUSTOMDRAW*>(header));
    case LVN_DELETEALLITEMS:
        // Nothing listens for the rows one by one; emptying a long list
        // would otherwise cost a notification per row.
        return Answer(dlg, TRUE);
    default:
        return 0;
    }
}

int CALLBACK CompareRows(LPARAM row1, LPARAM row2, LPARAM context)
{
    const auto* sort = reinterpret_cast<const SortContext*>(context);
    if (!sort)
        return 0;
    const MallocText first = CellText(sort->table, static_cast<int>(row1), sort->column);
    const MallocText second = CellText(sort->table, static_cast<int>(row2), sort->column);
    const int order = CompareNoCaseAscii(first ? first.get() : L"", second ? second.get() : L"");
    return sort->ascending ? order : -order;
}

void ResetSortDirection()
{
    sortContext.ascending = 0;
}

void SortBothLists(int column)
{
    EndEditOf(pFilterTable);
    EndEditOf(pMainTable);
    sortContext.column = column;
    sortContext.ascending = sortContext.ascending ? 0 : 1;
    SortList(pFilterTable);
    SortList(pMainTable);
}

void ForgetBoldFont()
{
    bold_font.font.reset();
    bold_font.made_from = nullptr;
}
