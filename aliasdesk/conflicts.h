// Rows in conflict: a row whose alias a later row repeats (a save keeps one
// section per alias, with the last row's values: this row would be lost),
// or whose path repeats an earlier row's path. After every change of the table, once it
// has been still for a moment, a pass reads the rows in short steps, compares
// them off the dialog thread and marks the repeats by identity.
#pragma once

#include "main_table.h"

#include <windows.h>

#include <string>

// The path as paths are compared here: '/' read as '\', "." and ".."
// resolved without asking the disk, letters A to Z lowered.
std::wstring ComparablePath(const std::wstring& path);

// Watches the main table of the dialog for changes; StopWatchingConflicts
// before the dialog goes. Dialog thread.
void WatchConflicts(HWND dlg);
void StopWatchingConflicts();

// Starts a pass over the whole table at once; a newer one supersedes it.
// Dialog thread.
void CheckConflicts();

// The row's alias was just changed: its own alias mark follows at once,
// before the pass that the change starts. Dialog thread.
void CheckAliasAgain(RowId id);

// Passes that have not ended yet.
int RunningConflictChecks();

// Whether the marks describe the table as it stands: no change came since
// the last pass took its marks. Dialog thread.
bool ConflictMarksCurrent();
