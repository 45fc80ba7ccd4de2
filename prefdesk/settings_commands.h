// The buttons of the settings dialog.
#pragma once

#include <windows.h>

// WM_COMMAND, by the control id in the low word; Escape (id 2) and every
// other id are ignored. Always 1.
INT_PTR OnSettingsCommand(HWND dlg, WPARAM wParam, LPARAM lParam);

// At dialog start: the stored hot key, cut to its low bytes, into the control.
void LoadHotKey(HWND dlg);
