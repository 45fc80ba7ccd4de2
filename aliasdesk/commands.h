// The buttons of the main dialog.
#pragma once

#include <windows.h>

// Handles the command id (the low word of wParam); TRUE for the ids it knows.
BOOL OnCommand(int id, HWND dlg);
