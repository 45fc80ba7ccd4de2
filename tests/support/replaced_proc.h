// A procedure of the test's in the place of a window's own, to watch or hold
// the messages the window gets; it hands them on through kept().
#pragma once

#include <windows.h>

class ReplacedProc {
public:
    ReplacedProc(HWND window, WNDPROC proc);
    ~ReplacedProc(); // the window's own procedure back, if the window still lives
    ReplacedProc(const ReplacedProc&) = delete;
    ReplacedProc& operator=(const ReplacedProc&) = delete;

    WNDPROC kept() const { return kept_; }

private:
    HWND window_;
    WNDPROC kept_;
};
