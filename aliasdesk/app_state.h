// Process-wide state of the alias editor, shared by the dialog and its workers.
#pragma once

#include <windows.h>

#include <atomic>

struct ReportTable;

extern wchar_t szConfigPath[MAX_PATH]; // the program's directory followed by config.ini
extern ReportTable* pMainTable; // list 1012
extern ReportTable* pFilterTable; // list 1018

extern std::atomic<int> bModified; // there are unsaved changes; raise it with MarkModified
extern std::atomic<int> bExit; // the saver being started closes the dialog
extern std::atomic<int> bRowsRemoved; // rows were just removed; repaint rows while set

extern wchar_t szScanFolder[MAX_PATH]; // the folder of the last Add, empty when none

// Raises bModified. A save lowers it only if the table did not change
// since the save read it and nothing was marked meanwhile.
void MarkModified();
// How many times MarkModified was called (any thread may read it).
unsigned ModifiedCount();

// Builds szConfigPath from the program's directory; 0 when it does not fit.
int BuildConfigPath(const wchar_t* directory);
