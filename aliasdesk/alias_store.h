// The alias store: the workers that load the main table from config.ini and
// history.dat and save it back, and the buttons that follow them.
#pragma once

#include "main_table.h"

#include <windows.h>

#include <atomic>

struct SaveArgs {
    HWND dialog;
    std::atomic<int>* exit_flag; // read once when the save starts: nonzero closes the dialog after it
};

// Posted to the main dialog when the store could not do its work; the dialog
// tells the user (a worker must not sit in a message box while the dialog closes).
constexpr UINT WM_STORE_FAILED = WM_APP + 2;
enum StoreFailure { kHistoryUnreadable = 1, kSaveFailed = 2, kConfigUnreadable = 3 };

unsigned __stdcall LoadWorker(void* dialog);
unsigned __stdcall SaveWorker(void* args); // takes ownership of args (allocated with new)

// Start-up and Reload: loads the saved aliases into the main table, after
// deleting the rows that entered no later than the row carrying empty_to
// (what Reload found listed; 0 for none). The loader deletes them a slice at
// a time: a long list emptied at once would hold the dialog for as long as
// it takes.
void StartLoad(HWND dlg, RowId empty_to = 0);
// OK and Apply: saves the main table; exit closes the dialog afterwards.
void StartSave(HWND dlg, int exit);
// A load or a save is running: no other may start.
bool IsStoreBusy();
// A save is writing the files. Dialog thread only.
bool IsSaving();

// What keeps the store buttons disabled: Apply while anything changes the
// table or its files, OK and Reload while the files are being read or written.
enum class Activity { Load, Save, Scan };
void BeginActivity(HWND dlg, Activity activity);
void EndActivity(HWND dlg, Activity activity);

// Forgets every running activity; for a dialog that is starting.
void ResetStoreState();

// The dialog's handler of WM_STORE_FAILED.
void ReportStoreFailure(HWND dlg, WPARAM failure, LPARAM error);
