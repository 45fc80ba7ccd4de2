// The system's Open dialog, for a file the program reads a path from.
#pragma once

#include <windows.h>

#include <string>

// Puts the current directory back when it goes: the Open dialog changes it
// (OFN_NOCHANGEDIR does nothing for it), and the program resolves names in it.
class CurrentDirectoryKept {
public:
    CurrentDirectoryKept();
    ~CurrentDirectoryKept();
    CurrentDirectoryKept(const CurrentDirectoryKept&) = delete;
    CurrentDirectoryKept& operator=(const CurrentDirectoryKept&) = delete;

private:
    wchar_t directory_[MAX_PATH] = {};
    bool kept_ = false;
};

// Shows the Open dialog over owner (filter as OPENFILENAMEW takes it, with a
// name to start from and a folder to open in, either may be empty); the
// chosen file's path, or false when none was chosen.
bool ChooseFileToOpen(HWND owner, const wchar_t* title, const wchar_t* filter, const std::wstring& name,
                      const std::wstring& folder, std::wstring* path);
