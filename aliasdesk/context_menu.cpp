#include "context_menu.h"

#include "alias_store.h"
#include "aliasdesk_ids.h"
#include "app_state.h"
#include "cell_edit.h"
#include "clipboard_text.h"
#include "conflicts.h"
#include "file_choice.h"
#include "launch_input.h"
#include "main_table.h"
#include "missing_targets.h"
#include "moved_programs.h"
#include "report_table.h"
#include "row_removal.h"

#include <commctrl.h>
#include <shlobj.h>
#include <windowsx.h>

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

int TrackMenu(HMENU menu, HWND owner, POINT screen)
{
    return static_cast<int>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, screen.x, screen.y, 0, owner, nullptr));
}

MenuPicker pickMenu = &TrackMenu;

// The rows the menu acts on and where it was opened.
struct MenuTarget {
    HWND list;
    POINT client; // list client coordinates
    int row; // the row under the point, -1 for none
    RowId row_id; // the identity the row under the point carries
    // The selected rows by identity: the menu lets messages run, and a
    // worker may move rows meanwhile.
    std::vector<RowId> ids;
};

bool IsReportList(HWND window)
{
    const int id = GetDlgCtrlID(window);
    return id == IDC_MAIN_LIST || id == IDC_FILTER_LIST;
}

int RowAt(HWND list, POINT client)
{
    LVHITTESTINFO hit{};
    hit.pt = client;
    SendMessageW(list, LVM_SUBITEMHITTEST, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&hit));
    return (hit.flags & LVHT_ONITEM) ? hit.iItem : -1;
}

bool IsSelected(HWND list, int row)
{
    return SendMessageW(list, LVM_GETITEMSTATE, row, LVIS_SELECTED) != 0;
}

// A right click on a row that is not selected makes it the selection.
void SelectOnly(HWND list, int row)
{
    LVITEMW none{};
    none.stateMask = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
    LVITEMW item{};
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

// From the keyboard the menu opens on the focused row's label.
MenuTarget KeyboardTarget(HWND list)
{
    MenuTarget target{list, POINT{0, 0}, -1, 0, {}};
    const int row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    RECT label{};
    label.left = LVIR_LABEL;
    if (row >= 0 && SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&label))) {
        target.row = row;
        target.client = POINT{label.left + 2, (label.top + label.bottom) / 2};
    }
    return target;
}

MenuTarget MouseTarget(HWND list, POINT screen)
{
    MenuTarget target{list, screen, -1, 0, {}};
    ScreenToClient(list, &target.client);
    target.row = RowAt(list, target.client);
    if (target.row >= 0 && !IsSelected(list, target.row))
        SelectOnly(list, target.row);
    return target;
}

void CollectIds(MenuTarget& target)
{
    target.row_id = IdOfRow(target.list, target.row);
    for (int row = -1;;) {
        row = static_cast<int>(SendMessageW(target.list, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED));
        if (row < 0)
            return;
        const RowId id = IdOfRow(target.list, row);
        if (RowOfId(id) >= 0)
            target.ids.push_back(id);
    }
}

// The main rows the selection stands for now, in the order they stand.
std::vector<int> MainRows(const MenuTarget& target)
{
    std::vector<int> rows;
    for (RowId id : target.ids) {
        const int row = RowOfId(id);
        if (row >= 0)
            rows.push_back(row);
    }
    return rows;
}

// Where the rows the menu opened on stand now in its list, top down, with
// the identities they carry; rows gone meanwhile are not among them.
void ListRowsNow(const MenuTarget& target, std::vector<int>* rows, std::vector<RowId>* ids)
{
    const std::unordered_set<RowId> wanted(target.ids.begin(), target.ids.end());
    const int count = static_cast<int>(SendMessageW(target.list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count && ids->size() < wanted.size(); ++row) {
        const RowId id = IdOfRow(target.list, row);
        if (wanted.count(id) != 0) {
            rows->push_back(row);
            ids->push_back(id);
        }
    }
}

// The main rows go whether or not a filter pass has copied them again yet.
void Remove(HWND dlg, const MenuTarget& target)
{
    std::vector<int> rows;
    std::vector<RowId> ids;
    ListRowsNow(target, &rows, &ids);
    RemoveRows(dlg, target.list, rows, target.ids);
}

// Another table: its config.ini chosen in the system's file dialog.
void Import(HWND dlg)
{
    std::wstring config;
    if (ChooseFileToOpen(dlg, L"Import the aliases of another table",
                         L"Alias table (config.ini)\0config.ini\0All files (*.*)\0*.*\0", L"config.ini", L"", &config))
        StartImport(dlg, config);
}

void AddItem(HMENU menu, int command, const wchar_t* text, bool enabled)
{
    AppendMenuW(menu, MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED), static_cast<UINT_PTR>(command), text);
}

HMENU BuildMenu(const MenuTarget& target)
{
    const bool idle = !IsSaving();
    const size_t count = target.ids.size();
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return nullptr;
    // Opening several folders at once would open as many windows: one row only, as Run.
    // Every item has a letter of its own: on Windows a shared one only moves the highlight.
    AddItem(menu, kMenuRun, L"&Run", idle && count == 1);
    AddItem(menu, kMenuRunAsAdministrator, L"Run as a&dministrator", idle && count == 1);
    AddItem(menu, kMenuOpenFolder, L"Open containing &folder", idle && count == 1);
    AddItem(menu, kMenuCopyPath, L"Copy &path", idle && count > 0);
    AddItem(menu, kMenuCopyAlias, L"Copy &alias", idle && count > 0);
    AddItem(menu, kMenuEdit, L"&Edit", idle && target.row >= 0);
    AddItem(menu, kMenuRemove, L"Re&move", idle && count > 0);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AddItem(menu, kMenuSelectMissing, L"&Select missing", idle && ShowsMarkedRow(target.list, kMarkMissing));
    // Marks a change has made stale could select a row that no longer repeats another.
    AddItem(menu, kMenuSelectConflicts, L"Select &conflicts",
            idle && ConflictMarksCurrent() && ShowsMarkedRow(target.list, kConflictMarks));
    AddItem(menu, kMenuLocate, L"&Locate...",
            idle && !IsStoreBusy() && count == 1 && IsTargetMissing(target.ids.front()));
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AddItem(menu, kMenuImport, L"&Import...", idle && !IsStoreBusy());
    AddItem(menu, kMenuRestore, L"Restore previous sa&ve", idle && !IsStoreBusy() && HasBackup());
    return menu;
}

std::wstring MainCell(int row, int column)
{
    const MallocText text = CellText(pMainTable, row, column);
    return text ? text.get() : L"";
}

void ShowError(HWND dlg, const wchar_t* text)
{
    MessageBoxW(dlg, text, L"Velkor Error", MB_ICONERROR | MB_OK);
}

// The system's reason; the fallback where it has none.
void ShowLastError(HWND dlg, DWORD error, const wchar_t* fallback)
{
    wchar_t* reason = nullptr; // FormatMessageW allocates it; freed with LocalFree below
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   error, 0, reinterpret_cast<wchar_t*>(&reason), 0, nullptr);
    ShowError(dlg, reason && error ? reason : fallback);
    LocalFree(reason);
}

// Run as administrator asks the shell for elevation; Run does too when the program needs it.
void Run(HWND dlg, int main_row, bool as_administrator)
{
    const std::wstring path = MainCell(main_row, 2);
    const std::wstring parameter = MainCell(main_row, 1);
    const wchar_t* parameters = parameter.empty() ? nullptr : parameter.c_str();
    SetLastError(0);
    const int started = as_administrator ? LaunchWithVerb(dlg, L"runas", path.c_str(), parameters, SW_SHOWNORMAL)
                                         : LaunchProgram(path.c_str(), parameters, SW_SHOWNORMAL, 0);
    // Cancelled: the user declined the elevation prompt, and knows it.
    if (!started && GetLastError() != ERROR_CANCELLED)
        ShowLastError(dlg, GetLastError(), L"The program could not be started.");
}

struct IdListFree {
    void operator()(ITEMIDLIST* list) const { CoTaskMemFree(list); }
};
using ItemIdList = std::unique_ptr<ITEMIDLIST, IdListFree>;

ItemIdList ParseName(const std::wstring& path, HRESULT* result)
{
    PIDLIST_ABSOLUTE list = nullptr;
    *result = SHParseDisplayName(path.c_str(), nullptr, &list, 0, nullptr);
    return ItemIdList(SUCCEEDED(*result) ? list : nullptr);
}

void ShowFolderError(HWND dlg, HRESULT result)
{
    const DWORD error = HRESULT_FACILITY(result) == FACILITY_WIN32 ? HRESULT_CODE(result) : 0;
    ShowLastError(dlg, error, L"The folder could not be opened.");
}

// For a program that has gone: its folder alone, or why not.
void OpenFolderOnly(HWND dlg, const std::wstring& path)
{
    const size_t last = path.find_last_of(L'\\');
    const std::wstring folder = last == std::wstring::npos ? std::wstring() : path.substr(0, last + 1);
    HRESULT result = HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    if (folder.empty() || !ParseName(folder, &result)) {
        ShowFolderError(dlg, result);
        return;
    }
    SetLastError(0);
    if (!LaunchWithVerb(dlg, L"open", folder.c_str(), nullptr, SW_SHOWNORMAL))
        ShowFolderError(dlg, HRESULT_FROM_WIN32(GetLastError()));
}

// Explorer opens with the program selected. Where Explorer is not the shell
// (nor in Wine without its desktop) it is asked on its command line.
void OpenFolder(HWND dlg, int main_row)
{
    const std::wstring path = MainCell(main_row, 2);
    HRESULT result = S_OK;
    const ItemIdList program = ParseName(path, &result);
    if (!program) {
        OpenFolderOnly(dlg, path);
        return;
    }
    if (SUCCEEDED(SHOpenFolderAndSelectItems(program.get(), 0, nullptr, 0)))
        return;
    const std::wstring select = L"/select,\"" + path + L"\"";
    SetLastError(0);
    if (!LaunchWithVerb(dlg, L"open", L"explorer.exe", select.c_str(), SW_SHOWNORMAL))
        ShowFolderError(dlg, HRESULT_FROM_WIN32(GetLastError()));
}

// One line per row, in the order the rows stand.
void Copy(HWND dlg, const std::vector<int>& main_rows, int column)
{
    std::wstring lines;
    for (int row : main_rows) {
        if (!lines.empty())
            lines += L"\r\n";
        lines += MainCell(row, column);
    }
    if (!CopyTextToClipboard(dlg, lines.c_str(), static_cast<int>(lines.size() + 1)))
        ShowError(dlg, L"The clipboard is held by another program: nothing was copied.");
}

// As a second click on the cell does: the edit opens on the cell under the point.
void EditAt(const MenuTarget& target)
{
    SetLastListClick(ClickPoint{static_cast<DWORD>(target.client.x), static_cast<DWORD>(target.client.y)});
    SetFocus(target.list);
    SendMessageW(target.list, LVM_EDITLABELW, target.row, 0);
}

// The row under the point, when it is still the one the menu opened on.
bool StillUnderPoint(const MenuTarget& target)
{
    return target.row >= 0 && IdOfRow(target.list, target.row) == target.row_id;
}

void RunCommand(HWND dlg, const MenuTarget& target, int command)
{
    const std::vector<int> main_rows = MainRows(target);
    const bool single = main_rows.size() == 1;
    switch (command) {
    case kMenuRun:
    case kMenuRunAsAdministrator:
        if (single)
            Run(dlg, main_rows.front(), command == kMenuRunAsAdministrator);
        break;
    case kMenuOpenFolder:
        if (single)
            OpenFolder(dlg, main_rows.front());
        break;
    case kMenuCopyPath:
        Copy(dlg, main_rows, 2);
        break;
    case kMenuCopyAlias:
        Copy(dlg, main_rows, 0);
        break;
    case kMenuEdit:
        if (StillUnderPoint(target))
            EditAt(target);
        break;
    case kMenuSelectMissing:
        SelectMarkedRows(target.list, kMarkMissing);
        break;
    case kMenuSelectConflicts:
        SelectMarkedRows(target.list, kConflictMarks);
        break;
    case kMenuRemove:
        Remove(dlg, target);
        break;
    case kMenuLocate:
        if (single)
            LocateProgram(dlg, target.ids.front());
        break;
    case kMenuImport:
        Import(dlg);
        break;
    case kMenuRestore:
        StartRestore(dlg);
        break;
    default:
        break;
    }
}

bool IsEnabled(HMENU menu, int command)
{
    const UINT state = GetMenuState(menu, static_cast<UINT>(command), MF_BYCOMMAND);
    return state != static_cast<UINT>(-1) && !(state & (MF_GRAYED | MF_DISABLED));
}

} // namespace

void SetContextMenuPicker(MenuPicker picker)
{
    pickMenu = picker ? picker : &TrackMenu;
}

BOOL OnContextMenu(HWND dlg, HWND window, LPARAM where)
{
    if (!IsReportList(window) || GetParent(window) != dlg)
        return FALSE;
    const bool keyboard = GET_X_LPARAM(where) == -1 && GET_Y_LPARAM(where) == -1;
    MenuTarget target =
        keyboard ? KeyboardTarget(window) : MouseTarget(window, POINT{GET_X_LPARAM(where), GET_Y_LPARAM(where)});
    CollectIds(target);

    HMENU menu = BuildMenu(target);
    if (!menu)
        return TRUE;
    POINT screen = target.client;
    ClientToScreen(window, &screen);
    const int command = pickMenu(menu, dlg, screen);
    // The picker may have let messages run: only an item still enabled acts.
    const bool act = command != 0 && IsEnabled(menu, command);
    DestroyMenu(menu);
    if (act)
        RunCommand(dlg, target, command);
    return TRUE;
}
