// Finds a window that some call on the test's own thread is about to show
// (a message box, a folder browser, a colour chooser) and answers it from
// another thread, while the test's thread sits in that window's modal loop.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <thread>

struct WatchedWindow {
    HWND window = nullptr;
    std::wstring title;
    std::wstring text; // the static text of a message box
    HWND owner = nullptr;
    LONG_PTR ex_style = 0;
};

class WindowWatcher {
public:
    // Waits for a visible top-level dialog-class window of this process whose
    // title is the given one (or any title when empty) and that is not the
    // excluded window, then does answer(window).
    WindowWatcher(std::wstring title, std::function<void(HWND)> answer, HWND excluded = nullptr,
                  DWORD guard_ms = 30000);
    ~WindowWatcher(); // joins the watching thread
    WindowWatcher(const WindowWatcher&) = delete;
    WindowWatcher& operator=(const WindowWatcher&) = delete;

    // Joins and tells whether the window was seen; what was seen stays readable.
    bool Seen();
    const WatchedWindow& seen() const { return seen_; }

private:
    void Watch(std::wstring title, std::function<void(HWND)> answer, HWND excluded, DWORD guard_ms);

    WatchedWindow seen_;
    bool found_ = false;
    std::thread thread_;
};

// Answers: press a dialog button (IDOK, IDCANCEL ...) by posting its command.
std::function<void(HWND)> PressButton(int id);

// The first visible top-level window of this process with the dialog class,
// the title (any when empty) and not the excluded one.
HWND FindProcessDialog(const std::wstring& title, HWND excluded = nullptr);

// The text of a window of any process, up to 4095 characters.
std::wstring WindowText(HWND window);

// Waits for a visible window of another process (one the shell opened)
// whose title matches, and closes it; false when none came or it stayed.
bool CloseShellWindow(std::function<bool(const std::wstring&)> title_matches);
