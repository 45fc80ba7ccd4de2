#include "cell_edit.h"

#include "alias_index.h"
#include "diagnostics.h"

#include <commctrl.h>

ClickPoint ptLastClick;
int bEditing;
int n_edit_row = -1;
int n_edit_column = -1;

namespace {

WNDPROC pfnKeptListClassProc;
HWND hClassReplacementWnd; // hidden list view, only there to reach the class

} // namespace

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
    const LRESULT result = CallWindowProcW(pfnKeptListClassProc, list, message, wParam, lParam);
    NoteMainListMessage(list, message, wParam, lParam, result);
    return result;
}
