// The folder scan: a worker walks a folder for programs and lists each new
// one under an alias derived from its file name.
#pragma once

#include <windows.h>

#include <string>

struct ScanArgs {
    wchar_t folder[MAX_PATH]; // the scanner's own copy: Clear or Reload may empty the remembered one
    HWND dialog;
};

// Body of the scan thread; takes ownership of args (allocated with new).
unsigned __stdcall ScanWorker(void* args);

// Called for every match of the walk: derives a unique lower-case alias and
// lists the program. 0 for a rejected match, 1 otherwise.
int OnFoundFile(wchar_t* directory, wchar_t* file_name);

// A program listed as the scan lists a match, outside a scan: its path
// lowered, its alias made from name (its file name, or a shortcut's name,
// with its four-character extension) by the scan's rules; the parameter as
// given. 1 when a row was appended. Dialog thread.
int ListProgram(const std::wstring& path, const std::wstring& name, const wchar_t* parameter);

// Add: starts a scan of the folder in the path box unless it is empty or the
// folder scanned last.
void StartScan(HWND dlg);

// For tests: a function the walker calls before each entry it looks at, with
// the number of programs it has found so far, so that a test can hold the
// walk where it chooses. Null (the default): none.
using ScanEntryHook = void (*)(size_t found);
void SetScanEntryHook(ScanEntryHook hook);
