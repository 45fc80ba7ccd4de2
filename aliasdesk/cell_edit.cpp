#include "cell_edit.h"

#include "app_state.h"
#include "diagnostics.h"
#include "main_table.h"
#include "report_table.h"
#include "shortcut_keys.h"

#include <commctrl.h>

#include <utility>

namespace {

ClickPoint ptLastClick;
int bEditing;
int n_edit_row = -1;
int n_edit_column = -1;
RECT rcEditCell; // the edited cell, list client coordinates

WNDPROC pfnKeptListClassProc;
HWND hClassReplacementWnd; // hidden list view, only there to reach the class

WNDPROC pfnKeptEditProc; // null when no edit runs
HWND hEditBox; // the box whose procedure was replaced
// The edited row is known by the identity it carries, since rows may move or
// go while the user types (a filter pass that starts again refills its list).
RowId n_edit_id;

bool IsEditableColumn(const ReportTable* table, int column)
{
    return column >= 0 && column < table->column_count;
}

// The column under the last click, when the click lay in the given row.
int ClickedColumn(const ReportTable* table, int row)
{
    LVHITTESTINFO hit{};
    hit.pt.x = static_cast<LONG>(ptLastClick.x);
    hit.pt.y = static_cast<LONG>(ptLastClick.y);
    SendMessageW(table->window, LVM_SUBITEMHITTEST, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&hit));
    if (hit.iItem != row || !IsEditableColumn(table, hit.iSubItem))
        return 0;
    return hit.iSubItem;
}

RECT CellRect(HWND list, int row, int column)
{
    RECT cell{};
    cell.top = column;
    cell.left = LVIR_LABEL;
    SendMessageW(list, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cell));
    return cell;
}

// -1 when the edited row has left the list. A row without an identity
// (not copied from the main table) is taken where it was.
int EditedRowNow(const ReportTable* table)
{
    if (n_edit_id == 0)
        return n_edit_row < GetRowCount(table) ? n_edit_row : -1;
    if (IdOfRow(table->window, n_edit_row) == n_edit_id)
        return n_edit_row; // still in its place
    if (table == pMainTable)
        return RowOfId(n_edit_id);
    LVFINDINFOW find{};
    find.flags = LVFI_PARAM;
    find.lParam = n_edit_id;
    return static_cast<int>(
        SendMessageW(table->window, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

// Gives the box its own procedure back and clears the edit state.
void ClearEditState()
{
    if (pfnKeptEditProc && IsWindow(hEditBox))
        SetWindowLongPtrW(hEditBox, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pfnKeptEditProc));
    rcEditCell = RECT{};
    pfnKeptEditProc = nullptr;
    hEditBox = nullptr;
    bEditing = 0;
    n_edit_id = 0;
    n_edit_row = -1;
    n_edit_column = -1;
}

} // namespace

ClickPoint LastListClick()
{
    return ptLastClick;
}

void SetLastListClick(ClickPoint point)
{
    ptLastClick = point;
}

bool IsCellEditing()
{
    return bEditing != 0;
}

int EditedRow()
{
    return n_edit_row;
}

int EditedColumn()
{
    return n_edit_column;
}

int SuperclassListView()
{
    if (hClassReplacementWnd) {
        ShowMessage(L"Aready subclassed (superclassed)!\n");
        return 0;
    }
    hClassReplacementWnd = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", WS_CAPTION | LVS_REPORT, 0, 0, 0, 0,
                                           nullptr, nullptr, nullptr, nullptr);
    if (!hClassReplacementWnd)
        return 0;
    const auto current = reinterpret_cast<WNDPROC>(GetClassLongPtrW(hClassReplacementWnd, GCLP_WNDPROC));
    if (current != ListClassProc) {
        pfnKeptListClassProc = reinterpret_cast<WNDPROC>(
            SetClassLongPtrW(hClassReplacementWnd, GCLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListClassProc)));
    }
    return 1;
}

void RestoreListViewClass()
{
    if (!hClassReplacementWnd || !pfnKeptListClassProc)
        return;
    SetClassLongPtrW(hClassReplacementWnd, GCLP_WNDPROC, reinterpret_cast<LONG_PTR>(pfnKeptListClassProc));
    DestroyWindow(hClassReplacementWnd);
    hClassReplacementWnd = nullptr;
    // The kept procedure stays: lists created while the class was replaced still call through it.
}

LRESULT CALLBACK ListClassProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (OnListShortcut(list, message, wParam))
        return 0;
    switch (message) {
    case WM_LBUTTONDOWN:
        ptLastClick.x = LOWORD(lParam);
        ptLastClick.y = HIWORD(lParam);
        break;
    case WM_PAINT:
        // Keeps the list from painting its own label over the cell being edited.
        if (bEditing && n_edit_row != -1) {
            RECT label{};
            label.left = LVIR_LABEL;
            if (SendMessageW(list, LVM_GETITEMRECT, n_edit_row, reinterpret_cast<LPARAM>(&label)))
                ValidateRect(list, &label);
        }
        break;
    default:
        break;
    }
    return CallListProc(pfnKeptListClassProc, list, message, wParam, lParam);
}

LRESULT CALLBACK CellEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_WINDOWPOSCHANGING) {
        auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
        if (pos->cx != 0) {
            pos->x = rcEditCell.left;
            pos->y = rcEditCell.top;
            pos->cx = rcEditCell.right - rcEditCell.left;
            pos->cy = rcEditCell.bottom - rcEditCell.top;
            pos->flags &= ~(SWP_NOMOVE | SWP_NOSIZE);
        }
    }
    const WNDPROC kept = pfnKeptEditProc;
    if (!kept)
        return DefWindowProcW(edit, message, wParam, lParam);
    if (message == WM_NCDESTROY)
        ClearEditState(); // the box went without ending the edit: nothing of it is written
    return CallWindowProcW(kept, edit, message, wParam, lParam);
}

void BeginCellEdit(ReportTable* table, int label_row)
{
    if (!table || !table->window || bEditing || label_row < 0 || label_row >= GetRowCount(table))
        return;
    HWND list = table->window;
    HWND edit = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETEDITCONTROL, 0, 0));
    if (!edit)
        return;
    const int column = ClickedColumn(table, label_row);
    rcEditCell = CellRect(list, label_row, column);
    hEditBox = edit;
    pfnKeptEditProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CellEditProc)));

    const MallocText text = CellText(table, label_row, column);
    SetWindowTextW(edit, text ? text.get() : L"");
    n_edit_id = IdOfRow(list, label_row);
    bEditing = 1;
    n_edit_row = label_row;
    n_edit_column = column;
}

int EndCellEdit(ReportTable* table, EndedEdit* ended)
{
    if (!pfnKeptEditProc || !table || !table->window)
        return 0;
    wchar_t* box_text = nullptr;
    GetWindowTextAlloc(hEditBox, &box_text);
    MallocText text(box_text); // GetWindowTextAlloc hands the text to us

    const int row = EditedRowNow(table);
    const int column = n_edit_column;
    // The list writes the label into the row the edit began in: only while
    // the edited row still stands there may it be let do so.
    const bool in_place = row == n_edit_row;
    const bool written = row != -1 && StoreCellText(table, row, column, text ? text.get() : L"");
    ClearEditState();
    if (!written)
        return 0;
    if (ended) {
        ended->column = column;
        ended->id = IdOfRow(table->window, row);
        ended->text = std::move(text);
    }
    return column == 0 && in_place ? 1 : 0;
}

void ForgetCellEdit()
{
    ClearEditState();
}

int StoreCellText(const ReportTable* table, int row, int column, const wchar_t* text)
{
    if (!table || !table->window || !text || !IsEditableColumn(table, column))
        return 0;
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(text);
    return static_cast<int>(SendMessageW(table->window, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item)));
}
