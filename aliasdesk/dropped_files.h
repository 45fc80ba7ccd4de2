// Files dragged from Explorer onto the dialog: a folder fills the path box
// and starts Add, as typing it and clicking Add would; programs and
// shortcuts dropped on either list are listed as the scan lists them.
#pragma once

#include <windows.h>

#include <string>

// Lets the dialog take drops, also from Explorer when the program runs with
// higher rights than it. Dialog start.
void AcceptDroppedFiles(HWND dlg);

// The dialog's WM_DROPFILES; lets go of the drop.
BOOL OnDropFiles(HWND dlg, HDROP drop);

// A shortcut's target and arguments, read without any window and without
// looking for a target that has moved. false when it cannot be read.
bool ReadShortcut(const wchar_t* link, std::wstring* target, std::wstring* arguments);
