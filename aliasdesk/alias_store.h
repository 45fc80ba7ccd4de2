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
// tells the user (a worker must not sit in a message box while the dialog
// closes). The failure waits in the store until it was told.
constexpr UINT WM_STORE_FAILED = WM_APP + 2;
enum StoreFailure {
    kHistoryUnreadable = 1,
    kSaveFailed = 2,
    kConfigUnreadable = 3,
    kSavePending = 4, // committed, to be completed at the next start
    kCommitPending = 5, // an earlier save could not be completed yet
};

// Posted to the main dialog by an OK save that wrote the table as it stood;
// wParam and lParam are TableChanges() and ModifiedCount() when it was read.
constexpr UINT WM_SAVED_FOR_CLOSE = WM_APP + 3;

unsigned __stdcall LoadWorker(void* dialog);
unsigned __stdcall SaveWorker(void* args); // takes ownership of args (allocated with new)

// Start-up and Reload: loads the saved aliases into the main table. Both
// files are read whole first; a load that fails changes nothing. Reload's
// load then replaces the rows the table holds at the click, emptying them a
// slice at a time (a long list emptied at once would hold the dialog);
// rows a scan appends meanwhile stay.
void StartLoad(HWND dlg, bool reload = false);
// OK and Apply: saves the main table; exit closes the dialog afterwards,
// when the files hold the table as it then stands.
void StartSave(HWND dlg, int exit);
// A load or a save is running: no other may start.
bool IsStoreBusy();
// A save is writing the files. Dialog thread only.
bool IsSaving();
// The dialog was closed while a save runs: it is disabled, and closes once
// the save is done; a save that failed says so and the dialog stays. Dialog thread.
void CloseAfterSave(HWND dlg);
// Whether the files a save just wrote hold the table as it stands, given
// TableChanges() and ModifiedCount() when it was read. Dialog thread.
bool FilesHoldTheTableNow(unsigned changes, unsigned marked);

// What keeps the store buttons disabled: Apply while anything changes the
// table or its files, OK and Reload while the files are being read or written.
enum class Activity { Load, Save, Scan };
void BeginActivity(HWND dlg, Activity activity);
void EndActivity(HWND dlg, Activity activity);

// Forgets every running activity; for a dialog that is starting.
void ResetStoreState();

// The dialog's handler of WM_STORE_FAILED: tells the failure that waits, if any.
void ReportStoreFailure(HWND dlg);

// OK found the table changed since its save read it: the dialog stays open
// with the change unsaved, and says so.
void ShowNotClosed(HWND dlg);
