// Finds the first row of the main list that carries an alias, as a search
// of the list from the top (LVM_FINDITEMW with LVFI_STRING) would, without
// walking the list: the scan and the load ask once for every program, and a
// walk per program made them quadratic.
//
// The index lives on the dialog thread. The main list's class procedure
// reports every change: rows appended at the end are added, anything else
// (removals, sorts, label changes, inserts in the middle) marks the index
// stale, and the next search rebuilds it from the list.
#pragma once

#include <windows.h>

// The first row whose label equals alias the way the list compares labels,
// or -1. Dialog thread only.
int FindFirstAlias(const wchar_t* alias);

// From the main list's class procedure, after the list handled message.
void NoteMainListMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam, LRESULT result);

// A label changed without a message to the list (an in-place edit).
void InvalidateAliasIndex();

// Counts the changes that move main rows to other indices (removals, sorts,
// inserts above the end); a reader that walks the rows by index across
// several steps starts again when it changes. Any thread may read it.
unsigned MainListMoves();

// Counts every change to the main list's rows or texts; a reader that keeps
// texts it read from the list keeps them while it stays the same. Dialog
// thread only.
unsigned MainListChanges();
