// Acting on the desktop: starting programs and opening documents, hooks by
// exported name, key state and focus under a point. No state between calls.
#pragma once

#include <windows.h>

#ifndef ERROR_ELEVATION_REQUIRED // missing from MinGW's headers
#define ERROR_ELEVATION_REQUIRED 740L
#endif

// A target ending in ".exe" (any letter case) is started with CreateProcessW
// and waited for up to timeout_ms (INFINITE, or 0 for no wait); any other
// target is opened through the shell's "open" verb. The working directory
// is the target's folder, up to its last backslash; a target without one
// runs in the caller's current directory. A program's command line is its
// quoted path, then a blank and the parameters when there are any (null:
// none, and no blank). A program that needs elevation is started once more
// through the shell's "open" verb, which asks for it. 1 started or opened,
// 0 not.
int LaunchProgram(const wchar_t* target, const wchar_t* parameters, WORD show, DWORD timeout_ms);

// Starts the target through the shell's verb ("runas" asks for elevation)
// in the target's folder, with owner as the parent of what the shell shows;
// nothing is waited for. 1 started, 0 not, with GetLastError telling why
// (ERROR_CANCELLED: the user declined).
int LaunchWithVerb(HWND owner, const wchar_t* verb, const wchar_t* target, const wchar_t* parameters, WORD show);

// For tests: a function in the place of CreateProcessW, as one that fails
// with ERROR_ELEVATION_REQUIRED; null puts CreateProcessW back.
using CreateProcessFunction = decltype(&CreateProcessW);
void SetCreateProcessForTest(CreateProcessFunction function);

// Whether the key or button is down now. VK_LBUTTON and VK_RBUTTON name the
// user's primary and secondary buttons, also when the system swaps them.
int IsKeyDown(int vk);

// Installs the hook procedure that the module exports under name. 1 and the
// handle in *hook when installed; 0 otherwise, with *hook untouched unless
// the system refused the hook (then null).
int InstallHookByName(HMODULE module, int hook_type, const char* name, DWORD thread_id, HHOOK* hook);

// Brings the window under the screen point to the foreground and focuses
// it; returns the window that had the focus before, or null.
HWND FocusWindowAtPoint(int x, int y);
