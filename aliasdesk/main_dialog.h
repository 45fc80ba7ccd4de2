// The main dialog of the alias editor: "Velkor - Add".
#pragma once

#include <windows.h>

INT_PTR CALLBACK MainDlgProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam);

// Stops the workers (dispatching what they send) and destroys the dialog.
// While a save runs, the dialog closes once it is done, unless it failed
// (the user is told and the dialog stays). A close that arrives while one is
// under way is ignored.
void CloseMainDialog(HWND dlg);
