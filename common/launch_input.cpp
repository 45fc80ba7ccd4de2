#include "launch_input.h"

#include "handles.h"
#include "wide_text.h"

#include <shellapi.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

bool IsProgram(const wchar_t* target)
{
    const size_t length = wcslen(target);
    return length >= 4 && EqualNoCaseAscii(target + length - 4, L".exe");
}

// Empty when the target has no backslash: the caller's current directory applies.
std::wstring WorkingDirectoryOf(const wchar_t* target)
{
    const wchar_t* last = wcsrchr(target, L'\\');
    return last ? std::wstring(target, last + 1) : std::wstring();
}

const wchar_t* OrNull(const std::wstring& text)
{
    return text.empty() ? nullptr : text.c_str();
}

int OpenThroughShell(const wchar_t* target, const wchar_t* parameters, WORD show, const std::wstring& directory)
{
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", target, parameters, OrNull(directory), static_cast<int>(show)));
    return result > 32 ? 1 : 0;
}

CreateProcessFunction createProcess = &CreateProcessW;

// "\"target\" parameters", writable as CreateProcessW wants it. Without
// parameters the quoted target alone: given no command line, Windows takes
// the program's name unquoted, and a program under C:\Program Files would
// see its own path split at the blank.
std::vector<wchar_t> QuotedCommandLine(const wchar_t* target, const wchar_t* parameters)
{
    if (!parameters) {
        std::vector<wchar_t> line(wcslen(target) + 3);
        FormatText(line.data(), line.size(), L"\"%s\"", target);
        return line;
    }
    std::vector<wchar_t> line(wcslen(target) + wcslen(parameters) + 4);
    FormatText(line.data(), line.size(), L"\"%s\" %s", target, parameters);
    return line;
}

// The shell's process, when it tells of one, is waited for as our own.
int ExecuteThroughShell(HWND owner, const wchar_t* verb, const wchar_t* target, const wchar_t* parameters, WORD show,
                        DWORD timeout_ms)
{
    const std::wstring directory = WorkingDirectoryOf(target);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    // The caller shows its own failure; the call may come from a thread that ends right after.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.hwnd = owner;
    info.lpVerb = verb;
    info.lpFile = target;
    info.lpParameters = parameters;
    info.lpDirectory = OrNull(directory);
    info.nShow = static_cast<int>(show);
    if (!ShellExecuteExW(&info))
        return 0;
    const UniqueHandle process(info.hProcess);
    if (process)
        WaitForSingleObject(process.get(), timeout_ms);
    return 1;
}

int StartProgram(const wchar_t* target, const wchar_t* parameters, WORD show, DWORD timeout_ms,
                 const std::wstring& directory)
{
    const DWORD flags = show == SW_HIDE ? CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS : NORMAL_PRIORITY_CLASS;
    std::vector<wchar_t> command_line = QuotedCommandLine(target, parameters);

    SECURITY_ATTRIBUTES sec{};
    sec.nLength = sizeof(sec);
    sec.bInheritHandle = TRUE;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = show;
    PROCESS_INFORMATION pi{};
    if (!createProcess(target, command_line.data(), &sec, &sec, FALSE, flags, nullptr, OrNull(directory), &si, &pi)) {
        // A program that asks for administrator rights: the shell shows the elevation prompt.
        if (GetLastError() == ERROR_ELEVATION_REQUIRED)
            return ExecuteThroughShell(nullptr, L"open", target, parameters, show, timeout_ms);
        return 0;
    }

    // Declared in this order so that the process handle is closed first.
    const UniqueHandle thread(pi.hThread);
    const UniqueHandle process(pi.hProcess);
    WaitForSingleObject(process.get(), timeout_ms);
    return 1;
}

} // namespace

int LaunchProgram(const wchar_t* target, const wchar_t* parameters, WORD show, DWORD timeout_ms)
{
    if (!target)
        return 0;
    const std::wstring directory = WorkingDirectoryOf(target);
    if (!IsProgram(target))
        return OpenThroughShell(target, parameters, show, directory);
    return StartProgram(target, parameters, show, timeout_ms, directory);
}

int LaunchWithVerb(HWND owner, const wchar_t* verb, const wchar_t* target, const wchar_t* parameters, WORD show)
{
    if (!target)
        return 0;
    return ExecuteThroughShell(owner, verb, target, parameters, show, 0);
}

void SetCreateProcessForTest(CreateProcessFunction function)
{
    createProcess = function ? function : &CreateProcessW;
}

int IsKeyDown(int vk)
{
    if ((vk == VK_LBUTTON || vk == VK_RBUTTON) && GetSystemMetrics(SM_SWAPBUTTON))
        vk = vk == VK_LBUTTON ? VK_RBUTTON : VK_LBUTTON;
    return (GetAsyncKeyState(vk) & 0x8000) ? 1 : 0;
}

int InstallHookByName(HMODULE module, int hook_type, const char* name, DWORD thread_id, HHOOK* hook)
{
    // Without somewhere to put the handle the hook could never be removed.
    if (!module || !name || !hook)
        return 0;
    const FARPROC address = GetProcAddress(module, name);
    if (!address)
        return 0;
    // Through the generic function type, which every compiler accepts without complaint.
    const auto procedure = reinterpret_cast<HOOKPROC>(reinterpret_cast<void (*)()>(address));
    *hook = SetWindowsHookExW(hook_type, procedure, module, thread_id);
    return *hook ? 1 : 0;
}

HWND FocusWindowAtPoint(int x, int y)
{
    const HWND window = WindowFromPoint(POINT{x, y});
    if (!window)
        return nullptr;
    SetForegroundWindow(window);
    return SetFocus(window);
}
