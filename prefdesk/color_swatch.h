// The colour of the command line. It has three holders: settings.ini (what
// the swatch shows, written as soon as the chooser closes), the chooser's
// result (what Save and Apply store) and RestoreColor (what Cancel writes back).
#pragma once

#include <windows.h>

#include <commdlg.h>

extern CHOOSECOLORW ColorChooser;
extern COLORREF RestoreColor;
extern COLORREF CustomColors[16]; // the chooser's custom colours, for this run only

// The stored colour; black when the file or the key is missing.
COLORREF ReadStoredColor();

// At dialog start: the chooser's result and RestoreColor from the file.
void LoadColorHolders();

// Runs the colour chooser from the stored colour, stores its result at once
// (the stored colour again when the user cancels) and repaints the swatch.
void ChooseSwatchColor(HWND dlg);

// A brush of the stored colour for the swatch. One brush is kept and
// replaced only when the stored colour changes; the dialog keeps ownership.
HBRUSH SwatchBrush();

// Deletes the kept brush (when the dialog goes).
void FreeSwatchBrush();
