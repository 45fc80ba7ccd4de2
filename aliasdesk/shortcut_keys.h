// Ctrl+F (to the filter box) and Ctrl+A (every row of a list), taken where
// the keys arrive: the lists' class procedure and the filter box's procedure.
#pragma once

#include <windows.h>

// For a message of one of the dialog's report lists; true when the message
// was a shortcut (or the character it leaves behind) and was used up here.
bool OnListShortcut(HWND list, UINT message, WPARAM wParam);

// The same for the filter box.
bool OnFilterBoxShortcut(HWND box, UINT message, WPARAM wParam);
