// What the tests need to know about the platform they run on.
#pragma once

#include <windows.h>

#include <string>

// True under Wine, which differs from Windows in a few documented places.
bool RunningUnderWine();

// The folder of the running test program, without a trailing backslash.
std::wstring ProgramDir();

// Folders that the build prepares for the tests from outside (for example
// links that a Windows program cannot make under Wine): ProgramDir()\..\fixtures.
std::wstring FixturesDir();

// The prepared folder NAME inside FixturesDir(), or an empty text where it was
// not made (only Unix hosts make them).
std::wstring FixtureFolder(const wchar_t* name);

// The clipboard's text, opened for the owner window; "<clipboard busy>" when
// another program holds it.
std::wstring ClipboardText(HWND owner);
