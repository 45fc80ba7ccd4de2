// In-place editing of any cell of the two report lists.
#pragma once

#include <windows.h>

struct ClickPoint {
    DWORD x; // unsigned 16-bit values, as the mouse message carries them
    DWORD y;
};

extern ClickPoint ptLastClick; // last left-button press in any list view, client coordinates
extern int bEditing;
extern int n_edit_row; // -1 when no edit
extern int n_edit_column; // -1 when no edit

// Replaces the window procedure of the system's list-view class for the
// whole process; must run before the dialog creates its lists.
int SuperclassListView();

// Puts the kept class procedure back and forgets the replacement, so that a
// later SuperclassListView can install it again.
void RestoreListViewClass();

LRESULT CALLBACK ListClassProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam);
