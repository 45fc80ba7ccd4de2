// The folder scan: a worker walks a folder for programs and lists each new
// one under an alias derived from its file name.
#pragma once

#include <windows.h>

struct ScanArgs {
    wchar_t folder[MAX_PATH]; // the scanner's own copy: Clear or Reload may empty the remembered one
    HWND dialog;
};

// Body of the scan thread; takes ownership of args (allocated with new).
unsigned __stdcall ScanWorker(void* args);

// Called for every match of the walk: derives a unique lower-case alias and
// lists the program. 0 for a rejected match, 1 otherwise.
int OnFoundFile(wchar_t* directory, wchar_t* file_name);

// Add: starts a scan of the folder in the path box unless it is empty or the
// folder scanned last.
void StartScan(HWND dlg);
