// Brings a running aliasdesk to an edit in progress over a path cell, for the
// README's picture: Add scans a few programs that the driver lays out under
// C:\Apps, then the second click on a selected row's path cell opens the edit
// box. Exit code 0 once the box is open, 1 otherwise.
#include "aliasdesk_driver.h"
#include "aliasdesk_ids.h"
#include "temp_dir.h"
#include "wait.h"

#include <cstdio>

namespace {

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

int Fail(const char* what)
{
    fprintf(stderr, "edit_shot_driver: %s\n", what);
    return 1;
}

} // namespace

int main()
{
    HWND dlg = nullptr;
    if (!PollUntil([&] { return (dlg = FindWindowW(nullptr, kTitle)) != nullptr; }, 30000, 50))
        return Fail("no aliasdesk window");
    if (!LayOutPrograms())
        return Fail("could not lay out the programs");
    AliasDesk desk(dlg);
    if (!desk.Scan(kApps, 30000) || desk.RowCount(IDC_MAIN_LIST) < 3)
        return Fail("the scan listed too little");

    SetForegroundWindow(dlg);
    if (!desk.OpenCellEdit(IDC_MAIN_LIST, 1, 2))
        return Fail("no edit box opened");
    return 0;
}
