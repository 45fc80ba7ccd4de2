// The main dialog of the alias editor: "Velkor - Add".
#pragma once

#include <windows.h>

INT_PTR CALLBACK MainDlgProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam);

// Waits for a save that runs; unless it failed (the user is told and the
// dialog stays), stops the workers (dispatching what they send) and destroys
// the dialog. A close that arrives while one is under way is ignored.
void CloseMainDialog(HWND dlg);
