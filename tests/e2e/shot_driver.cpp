// Brings a running aliasdesk to the state of one of the README's pictures:
// Add scans a few programs that the driver lays out under C:\Apps, then
//   edit  the second click on a selected row's path cell opens the edit box;
//   menu  a right click on a row opens the context menu;
//   rows  nothing more.
// Exit code 0 once the state is there, 1 otherwise.
#include "aliasdesk_driver.h"
#include "aliasdesk_ids.h"
#include "temp_dir.h"
#include "wait.h"

#include <cstdio>
#include <cwchar>

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
    fprintf(stderr, "shot_driver: %s\n", what);
    return 1;
}

// A right click on the row, as the list reports it to the dialog.
bool OpenContextMenu(AliasDesk& desk, int row)
{
    HWND list = desk.Item(IDC_MAIN_LIST);
    const RECT cell = desk.program().SubItemRect(list, row, 0);
    POINT where{(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
    ClientToScreen(list, &where);
    PostMessageW(desk.dlg(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(where.x, where.y));
    return PollUntil([] { return IsWindowVisible(FindWindowW(L"#32768", nullptr)) != FALSE; }, 30000, 50);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const wchar_t* mode = argc > 1 ? argv[1] : L"edit";
    HWND dlg = nullptr;
    if (!PollUntil([&] { return (dlg = FindWindowW(nullptr, kTitle)) != nullptr; }, 30000, 50))
        return Fail("no aliasdesk window");
    if (!LayOutPrograms())
        return Fail("could not lay out the programs");
    AliasDesk desk(dlg);
    if (!desk.Scan(kApps, 30000) || desk.RowCount(IDC_MAIN_LIST) < 3)
        return Fail("the scan listed too little");

    SetForegroundWindow(dlg);
    if (wcscmp(mode, L"edit") == 0 && !desk.OpenCellEdit(IDC_MAIN_LIST, 1, 2))
        return Fail("no edit box opened");
    if (wcscmp(mode, L"menu") == 0 && !OpenContextMenu(desk, 2))
        return Fail("no context menu opened");
    return 0;
}
