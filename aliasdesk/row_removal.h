// Removing rows: the Remove button, the Delete key, the context menu's
// Remove and Clear. Rows are named by identity, so a removal acts on exactly
// the rows it was asked for, whatever moves meanwhile. Many rows go in steps
// of bounded length on a worker, so that the dialog answers meanwhile.
#pragma once

#include "main_table.h"

#include <windows.h>

#include <vector>

// Which list the user sees: the main list, or the filter list over it. Read
// from the control's own style, so a hidden or minimised dialog answers alike.
bool IsMainListShown(HWND dlg);

// Removes the selected rows of whichever list is shown, keeping both in step.
void RemoveSelectItem(HWND dlg);

// Removes rows of the list (the main or the filter list): rows, where they
// stand now, top down, and ids, the identities of the main rows to go (those
// rows carry them, and maybe more). In the filter list the filter rows go
// too; afterwards the row that moved into the place of the last one removed
// is selected in the list.
void RemoveRows(HWND dlg, HWND list, const std::vector<int>& rows, const std::vector<RowId>& ids);

// Clear: the whole main table in the full view; in the filtered view the
// main rows the filter list shows, and the filter list itself.
void ClearShownRows(HWND dlg);

// Removals still going on; a save waits for them.
int RunningRemovals();
