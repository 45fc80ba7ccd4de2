// Moved programs: the Locate box of a row whose program has gone. A worker
// looks for files of the program's name under the remembered scan folder and
// under the old path's nearest folder that still exists; the box lists them
// as they come, or lets the user browse for the program. The chosen path
// replaces the row's path as one edit.
#pragma once

#include "main_table.h"

#include <windows.h>

#include <string>

// The most folders one search lists.
constexpr int kLocateFolderLimit = 20000;

// The nearest folder of the path that exists: its own folder or the first
// parent that does, without a trailing backslash ("c:" for a drive's root);
// empty when none does.
std::wstring NearestExistingFolder(const std::wstring& path);

// Shows the Locate box for the main row carrying the identity, over the
// dialog, and writes the path chosen in it into the row, lowered as the scan
// lowers paths, unless the row has gone meanwhile. Dialog thread.
void LocateProgram(HWND dlg, RowId id);

// For tests: another limit than kLocateFolderLimit (0 puts it back), and a
// hook the worker calls each time it asks whether to stop (null for none).
void SetLocateFolderLimit(int folders);
using LocateStopHook = void (*)();
void SetLocateStopHook(LocateStopHook hook);
