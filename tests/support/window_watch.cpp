#include "window_watch.h"

#include "wait.h"

namespace {

struct ShellWindow {
    std::function<bool(const std::wstring&)> title_matches;
    HWND found = nullptr;
};

BOOL CALLBACK MatchShellWindow(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<ShellWindow*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == GetCurrentProcessId() || !IsWindowVisible(window))
        return TRUE;
    wchar_t title[MAX_PATH] = {};
    GetWindowTextW(window, title, MAX_PATH);
    if (!search->title_matches(title))
        return TRUE;
    search->found = window;
    return FALSE;
}

struct Search {
    const std::wstring* title;
    HWND excluded;
    HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != GetCurrentProcessId() || window == search->excluded || !IsWindowVisible(window))
        return TRUE;
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 64);
    if (std::wstring(cls) != L"#32770")
        return TRUE;
    if (!search->title->empty() && WindowText(window) != *search->title)
        return TRUE;
    search->found = window;
    return FALSE;
}

// The message text of a message box: its static child that is not the icon.
std::wstring MessageText(HWND box)
{
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t cls[32] = {};
        GetClassNameW(child, cls, 32);
        if (_wcsicmp(cls, L"Static") == 0 && (GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
            return WindowText(child);
    }
    return L"";
}

} // namespace

HWND FindProcessDialog(const std::wstring& title, HWND excluded)
{
    Search search{&title, excluded, nullptr};
    EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

WindowWatcher::WindowWatcher(std::wstring title, std::function<void(HWND)> answer, HWND excluded, DWORD guard_ms)
    : thread_(&WindowWatcher::Watch, this, std::move(title), std::move(answer), excluded, guard_ms)
{
}

WindowWatcher::~WindowWatcher()
{
    if (thread_.joinable())
        thread_.join();
}

bool WindowWatcher::Seen()
{
    if (thread_.joinable())
        thread_.join();
    return found_;
}

void WindowWatcher::Watch(std::wstring title, std::function<void(HWND)> answer, HWND excluded, DWORD guard_ms)
{
    HWND window = nullptr;
    if (!PollUntil([&] { return (window = FindProcessDialog(title, excluded)) != nullptr; }, guard_ms, 20))
        return;
    Sleep(50); // let the window finish initialising before it is read and answered
    seen_.window = window;
    seen_.title = WindowText(window);
    seen_.text = MessageText(window);
    seen_.owner = GetWindow(window, GW_OWNER);
    seen_.ex_style = GetWindowLongPtrW(window, GWL_EXSTYLE);
    found_ = true;
    answer(window);
}

std::function<void(HWND)> PressButton(int id)
{
    return [id](HWND window) { PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); };
}

std::wstring WindowText(HWND window)
{
    wchar_t text[4096] = {};
    GetWindowTextW(window, text, 4096);
    return text;
}

bool CloseShellWindow(std::function<bool(const std::wstring&)> title_matches)
{
    ShellWindow search{std::move(title_matches)};
    const bool seen = PumpUntil([&] {
        EnumWindows(MatchShellWindow, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    });
    if (!seen)
        return false;
    PostMessageW(search.found, WM_CLOSE, 0, 0);
    return PumpUntil([&] { return !IsWindow(search.found); });
}
