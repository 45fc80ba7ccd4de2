// Brings a running aliasdesk to the state of one of the README's pictures:
// Add scans a few programs that the driver lays out under C:\Apps, then
//   edit  the second click on a selected row's path cell opens the edit box;
//   marks two programs go and the table is saved and reloaded, which greys
//         their rows; another row is given an alias taken already, which
//         makes it bold;
//   menu  as marks, then a right click on another row opens the context menu;
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

// The row whose path ends in the name, -1 for none.
int RowOfProgram(AliasDesk& desk, const std::wstring& name)
{
    for (int row = 0; row < desk.RowCount(IDC_MAIN_LIST); ++row) {
        const std::wstring path = desk.Cell(IDC_MAIN_LIST, row, 2);
        if (path.size() >= name.size() && _wcsicmp(path.c_str() + path.size() - name.size(), name.c_str()) == 0)
            return row;
    }
    return -1;
}

// As if two programs were uninstalled since the table was saved: Reload
// checks every row's program again.
bool RemoveTwoPrograms(AliasDesk& desk, int idle_threads)
{
    for (const wchar_t* program : {L"Tools\\paint", L"Media\\recorder"})
        DeleteFileW((std::wstring(kApps) + L"\\" + program + L".exe").c_str());
    desk.MarkStatus();
    if (!desk.Click(IDC_APPLY) || !desk.WaitIdle())
        return false;
    desk.MarkStatus();
    return desk.Click(IDC_RELOAD) && desk.WaitIdle() && desk.WaitThreadsAtMost(idle_threads);
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
    const int idle_threads = ThreadCount(desk.program().pid());
    if (!desk.Scan(kApps, 30000) || desk.RowCount(IDC_MAIN_LIST) < 3)
        return Fail("the scan listed too little");

    SetForegroundWindow(dlg);
    if (wcscmp(mode, L"edit") == 0 && !desk.OpenCellEdit(IDC_MAIN_LIST, 1, 2))
        return Fail("no edit box opened");
    const bool menu = wcscmp(mode, L"menu") == 0;
    if (!menu && wcscmp(mode, L"marks") != 0)
        return 0;
    if (!RemoveTwoPrograms(desk, idle_threads))
        return Fail("the table was not saved and reloaded");
    if (!desk.EditCell(IDC_MAIN_LIST, RowOfProgram(desk, L"wordpad.exe"), 0, L"notepad"))
        return Fail("the alias was not edited");
    Sleep(1000); // the pass over the table that follows the edit, which Select conflicts waits for
    if (menu && !OpenContextMenu(desk, RowOfProgram(desk, L"player.exe")))
        return Fail("no context menu opened");
    return 0;
}
