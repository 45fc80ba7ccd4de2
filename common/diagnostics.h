// Diagnostics and system queries: debugger output, internal error boxes,
// the Windows generation, the directory of a module and a window's text.
#pragma once

#include <windows.h>

// Formats like swprintf and sends the text to the debugger output.
// The caller supplies its own line ends.
void DebugPrint(const wchar_t* format, ...);

// Formats like swprintf and shows the text in a topmost box captioned "Message".
void ShowMessage(const wchar_t* format, ...);

// 0 version query failed, 1 older than 5.0 or 7.0 and newer, 2 Windows 2000,
// 3 XP / Server 2003, 4 the 6.x family.
int GetOsGeneration();
int OsGenerationOf(DWORD major, DWORD minor);

// Cuts a module path after its last backslash (index 1 or later) and returns
// the kept length including the terminator, or 0 when there is no backslash.
int TrimToDirectory(wchar_t* path);

// The module's directory with its trailing backslash, as TrimToDirectory.
int GetModuleDirectory(HMODULE module, wchar_t* buffer, DWORD capacity);

// The one-argument form fills szModuleDirectory, the program's directory buffer.
extern wchar_t szModuleDirectory[MAX_PATH];
int GetModuleDirectory(HMODULE module);

// Copies the whole text of a window into a buffer allocated to fit.
// Returns 1 and a buffer that the caller frees with free(); 0 for an empty
// text (the out argument untouched) or a failed read (the out argument null).
int GetWindowTextAlloc(HWND window, wchar_t** text);
