// Brings a running aliasdesk to an edit in progress over a path cell, for the
// README's picture: Add scans a few programs that the driver lays out under
// C:\Apps, then the second click on a selected row's path cell opens the edit
// box. Exit code 0 once the box is open, 1 otherwise.
#include "remote_process.h"

#include <commctrl.h>

#include "temp_dir.h"

#include <cstdio>
#include <functional>

namespace {

constexpr int kAdd = 1002, kPath = 1003, kMainList = 1012;
constexpr wchar_t kTitle[] = L"Velkor - Add";
constexpr wchar_t kApps[] = L"C:\\Apps";

bool LayOutPrograms()
{
    for (const wchar_t* program : {L"Editors\\notepad", L"Editors\\wordpad", L"Tools\\calc", L"Tools\\paint",
                                   L"Media\\player", L"Media\\recorder"}) {
        const std::wstring path = std::wstring(kApps) + L"\\" + program + L".exe";
        if (!MakeDirs(path.substr(0, path.rfind(L'\\'))) || !WriteFileBytes(path, "MZ"))
            return false;
    }
    return true;
}

bool WaitFor(const std::function<bool()>& done, DWORD guard_ms = 30000)
{
    const ULONGLONG deadline = GetTickCount64() + guard_ms;
    while (!done()) {
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(50);
    }
    return true;
}

void ClickAt(HWND window, const RECT& rect)
{
    const LPARAM where = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, where);
    PostMessageW(window, WM_LBUTTONUP, 0, where);
}

int Fail(const char* what)
{
    fprintf(stderr, "edit_shot_driver: %s\n", what);
    return 1;
}

} // namespace

int main()
{
    HWND dlg = nullptr;
    if (!WaitFor([&] { return (dlg = FindWindowW(nullptr, kTitle)) != nullptr; }))
        return Fail("no aliasdesk window");
    if (!LayOutPrograms())
        return Fail("could not lay out the programs");
    RemoteProgram program(dlg);
    HWND list = GetDlgItem(dlg, kMainList);
    HWND add = GetDlgItem(dlg, kAdd);

    SetWindowTextW(GetDlgItem(dlg, kPath), kApps);
    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(kAdd, BN_CLICKED), reinterpret_cast<LPARAM>(add));
    if (!WaitFor([&] { return IsWindowEnabled(add) && program.RowCount(list) >= 3; }))
        return Fail("the scan listed too little");

    SetForegroundWindow(dlg);
    const RECT cell = program.SubItemRect(list, 1, 2);
    ClickAt(list, cell);
    Sleep(GetDoubleClickTime() + 200);
    ClickAt(list, cell);
    if (!WaitFor([&] { return SendMessageW(list, LVM_GETEDITCONTROL, 0, 0) != 0; }, 10000))
        return Fail("no edit box opened");
    return 0;
}
