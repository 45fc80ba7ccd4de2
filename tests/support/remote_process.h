// Drives a real program from outside: starts it from a folder of the test's
// choice, finds its windows, and reads what the list views of another
// process hold (list-view messages carry pointers, so their records live in
// memory allocated inside the target).
#pragma once

#include "window_watch.h"

#include <windows.h>

#include <string>
#include <vector>

class RemoteProgram {
public:
    // Copies nothing; starts exe with the given current directory.
    RemoteProgram(const std::wstring& exe, const std::wstring& current_dir, const wchar_t* environment = nullptr);
    // Reaches the program that owns the window, which it leaves running.
    explicit RemoteProgram(HWND window);
    ~RemoteProgram(); // ends a program it started if that still runs
    RemoteProgram(const RemoteProgram&) = delete;
    RemoteProgram& operator=(const RemoteProgram&) = delete;

    bool started() const { return process_ != nullptr; }
    DWORD pid() const { return pid_; }
    HANDLE process() const { return process_; }

    // The program's visible top-level window with this title (waits for it).
    HWND WaitForWindow(const std::wstring& title, DWORD guard_ms = 30000);
    // Waits for the program to end; its exit code, or STILL_ACTIVE on time-out.
    DWORD WaitForExit(DWORD guard_ms = 30000);

    std::wstring CurrentDirectory();

    // Cells of a list view of the program.
    int RowCount(HWND list);
    std::wstring Cell(HWND list, int row, int column);
    std::vector<std::wstring> Headers(HWND list);
    RECT SubItemRect(HWND list, int row, int column); // LVIR_LABEL, list client coordinates
    RECT HeaderItemRect(HWND list, int column); // header client coordinates
    bool SetSelected(HWND list, int row, bool selected); // row -1: every row

private:
    void* Alloc(size_t bytes);
    bool Write(void* remote, const void* local, size_t bytes);
    bool Read(const void* remote, void* local, size_t bytes);

    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    bool started_here_ = false;
    void* scratch_ = nullptr; // one block in the target for every request
};
