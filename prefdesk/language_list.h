// The language combo box: one entry per .\language\*.ini beside the program,
// named by the part of the file name before its first dot.
#pragma once

#include <windows.h>

// Fills the list and selects the stored language: the first entry, in sorted
// order, that begins with the stored file's name, in any letter case. Nothing
// is selected when no language is stored. 1 when the language folder held at
// least one match, 0 when it is missing or held none (the list stays empty).
int FillLanguageList(HWND dlg);

// Save and Apply: ".\Language\" + the selected entry + ".ini" as the stored
// language (".\Language\.ini" when nothing is selected).
void StoreLanguagePath(HWND dlg);
