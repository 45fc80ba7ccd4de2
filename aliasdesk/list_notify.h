// The two report lists' notifications: cell edits, header clicks that sort
// both lists, the Delete key and the striped rows.
#pragma once

#include <windows.h>

#include <atomic>

struct ReportTable;

struct SortContext {
    ReportTable* table;
    int column;
    int ascending; // shared by every column and both lists; flips on every header click
};

// The next header click sorts ascending again, as after start.
void ResetSortDirection();

// Handles WM_NOTIFY for the dialog; 1 when handled (any answer is stored as
// the dialog's message result), 0 for everything else, every other control's
// notifications included.
INT_PTR OnListNotify(HWND dlg, NMHDR* header);

// Orders two rows of the context's table (a SortContext) by the context's
// column and direction, reading both cells anew.
int CALLBACK CompareRows(LPARAM row1, LPARAM row2, LPARAM context);

// Sorts the filter list, then the main list, by the column, flipping the
// shared direction. An edit in progress is ended first, so that its text
// lands in the row it was typed for.
void SortBothLists(int column);

// Lets go of the bold font the lists' rows in conflict are drawn with.
void ForgetBoldFont();
