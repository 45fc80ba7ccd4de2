// In-place editing of any cell of the two report lists.
#pragma once

#include "handles.h"
#include "main_table.h"

#include <windows.h>

struct ReportTable;

struct ClickPoint {
    DWORD x; // unsigned 16-bit values, as the mouse message carries them
    DWORD y;
};

// The last left-button press in any list view, client coordinates; set from
// outside for an edit opened without one.
ClickPoint LastListClick();
void SetLastListClick(ClickPoint point);

// The cell edit in progress: one at a time in the whole process.
bool IsCellEditing();
int EditedRow(); // -1 when no edit
int EditedColumn(); // -1 when no edit

// Replaces the window procedure of the system's list-view class for the
// whole process; must run before the dialog creates its lists.
int SuperclassListView();

// Puts the kept class procedure back and forgets the replacement, so that a
// later SuperclassListView can install it again.
void RestoreListViewClass();

LRESULT CALLBACK ListClassProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam);

// Keeps the list's edit box on the edited cell, wherever the list puts it.
LRESULT CALLBACK CellEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam);

// Starts editing the cell under the last click when it lies in label_row,
// the row the list is about to edit; otherwise (an edit started from the
// keyboard) that row's label. The box is filled with the cell's text.
void BeginCellEdit(ReportTable* table, int label_row);

// What an ended edit wrote into its list.
struct EndedEdit {
    int column = -1; // -1 when nothing was written
    RowId id = 0; // the edited row's identity: in the filter list, its main row's
    MallocText text; // null for an empty box
};

// Writes the edit box's text into the edited cell, whether the edit was
// confirmed or left with Escape, and ends the edit. Answers 1 only for
// column 0 of a row still where the edit began, so that the list never
// copies a sub-item's text into the label, nor a label into another row.
// Nothing is written when no edit runs or the edited row has gone.
int EndCellEdit(ReportTable* table, EndedEdit* ended = nullptr);

// Drops the state of an edit that its list took with it when it went.
void ForgetCellEdit();

// Sets a cell as it is, an empty text included; 0 when the cell does not exist.
int StoreCellText(const ReportTable* table, int row, int column, const wchar_t* text);
