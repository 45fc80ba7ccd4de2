// The settings dialog: "Velkor - Setting".
#pragma once

#include <windows.h>

INT_PTR CALLBACK SettingsDlgProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam);
