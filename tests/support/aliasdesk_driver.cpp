#include "aliasdesk_driver.h"

#include "aliasdesk_ids.h"
#include "platform.h"
#include "temp_dir.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <cstdio>

namespace {

constexpr wchar_t kTitle[] = L"Velkor - Add";

HWND EditBox(HWND list)
{
    return reinterpret_cast<HWND>(SendMessageW(list, LVM_GETEDITCONTROL, 0, 0));
}

void ClickAt(HWND window, const RECT& rect)
{
    const LPARAM where = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, where);
    PostMessageW(window, WM_LBUTTONUP, 0, where);
}

} // namespace

int ThreadCount(DWORD pid)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == pid;
    CloseHandle(snapshot);
    return count;
}

AliasDesk::AliasDesk(const std::wstring& dir, const std::wstring& start_in) : dir_(dir)
{
    const std::wstring exe = dir + L"\\aliasdesk.exe";
    if (!PathExists(exe) && !CopyFileW((ProgramDir() + L"\\aliasdesk.exe").c_str(), exe.c_str(), FALSE))
        return;
    program_ = std::make_unique<RemoteProgram>(exe, start_in.empty() ? dir : start_in);
    if (program_->started())
        dlg_ = program_->WaitForWindow(kTitle);
}

AliasDesk::AliasDesk(HWND dlg) : program_(std::make_unique<RemoteProgram>(dlg)), dlg_(dlg) { }

std::string AliasDesk::NotReadyReason() const
{
    if (!program_)
        return "aliasdesk.exe could not be copied";
    if (!program_->started())
        return "aliasdesk.exe could not be started";
    const DWORD code = program_->WaitForExit(0);
    if (code == STILL_ACTIVE)
        return "no dialog came within the guard";
    // Wine's own messages about the start went to this program's output.
    FILETIME created{}, ended{}, kernel{}, user{};
    GetProcessTimes(program_->process(), &created, &ended, &kernel, &user);
    auto ticks = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    char text[96];
    std::snprintf(text, sizeof text, "it ended before its dialog showed, code 0x%08lX after %llu ms",
                  static_cast<unsigned long>(code), (ticks(ended) - ticks(created)) / 10000);
    return text;
}

std::wstring AliasDesk::Status() const
{
    return Text(IDC_STATUS);
}

bool AliasDesk::MainListShown() const
{
    return IsWindowVisible(Item(IDC_MAIN_LIST)) && !IsWindowVisible(Item(IDC_FILTER_LIST));
}

bool AliasDesk::Click(int id)
{
    if (!IsWindowEnabled(Item(id)))
        return false;
    ClickEvenIfDisabled(id);
    return true;
}

void AliasDesk::ClickEvenIfDisabled(int id)
{
    PostMessageW(dlg_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
}

void AliasDesk::PostClose(bool system_menu)
{
    if (system_menu)
        PostMessageW(dlg_, WM_SYSCOMMAND, SC_CLOSE, 0);
    else
        PostMessageW(dlg_, WM_CLOSE, 0, 0);
}

DWORD AliasDesk::Close()
{
    PostClose(false);
    return program_->WaitForExit();
}

void AliasDesk::Kill()
{
    TerminateProcess(program_->process(), 9);
    WaitForSingleObject(program_->process(), 30000);
}

void AliasDesk::MarkStatus()
{
    SendMessageW(Item(IDC_STATUS), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"(driver)"));
}

bool AliasDesk::WaitPostedHandled()
{
    // The hidden edit is never used by the program: its text limit is the marker.
    HWND marker = Item(IDC_UNUSED_EDIT);
    const int value = ++marker_;
    PostMessageW(marker, EM_SETLIMITTEXT, static_cast<WPARAM>(value), 0);
    return PollUntil([&] { return SendMessageW(marker, EM_GETLIMITTEXT, 0, 0) == value; });
}

void AliasDesk::TypePath(const std::wstring& folder)
{
    SendMessageW(Item(IDC_PATH), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    for (wchar_t c : folder)
        PostMessageW(Item(IDC_PATH), WM_CHAR, c, 1);
}

void AliasDesk::Type(const std::wstring& keys)
{
    for (wchar_t c : keys)
        PostMessageW(Item(IDC_FILTER), WM_CHAR, c, 1);
}

bool AliasDesk::WaitIdle(DWORD guard_ms)
{
    return PollUntil(
        [&] {
            return Status() == L"Finished!" && IsWindowEnabled(Item(IDC_ADD)) && IsWindowEnabled(Item(IDC_APPLY)) &&
                IsWindowEnabled(Item(IDC_OK)) && IsWindowEnabled(Item(IDC_RELOAD));
        },
        guard_ms);
}

bool AliasDesk::WaitLoaded(DWORD guard_ms)
{
    if (!ready())
        return false;
    // A load leaves "Finished!"; without files to load the status keeps its text.
    const bool nothing_to_load = !PathExists(dir_ + L"\\history.dat") || !PathExists(dir_ + L"\\config.ini");
    return PollUntil(
        [&] {
            return IsWindowEnabled(Item(IDC_APPLY)) &&
                (nothing_to_load || Status() == L"Finished!" || Status() == L"Load failed!");
        },
        guard_ms);
}

bool AliasDesk::Scan(const std::wstring& folder, DWORD guard_ms)
{
    SendMessageW(Item(IDC_PATH), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
    MarkStatus();
    return Click(IDC_ADD) && WaitIdle(guard_ms);
}

bool AliasDesk::WaitThreadsAtMost(int threads, DWORD guard_ms)
{
    return PollUntil([&] { return ThreadCount(program_->pid()) <= threads; }, guard_ms);
}

int AliasDesk::RowCount(int list_id)
{
    return program_->RowCount(Item(list_id));
}

std::wstring AliasDesk::Cell(int list_id, int row, int column)
{
    return program_->Cell(Item(list_id), row, column);
}

std::vector<test::Row> AliasDesk::Rows(int list_id)
{
    std::vector<test::Row> rows;
    const int count = RowCount(list_id);
    for (int i = 0; i < count; ++i)
        rows.push_back({Cell(list_id, i, 0), Cell(list_id, i, 1), Cell(list_id, i, 2)});
    return rows;
}

HWND AliasDesk::OpenCellEdit(int list_id, int row, int column)
{
    HWND list = Item(list_id);
    const RECT cell = program_->SubItemRect(list, row, column);
    ClickAt(list, cell);
    Sleep(GetDoubleClickTime() + 100); // a second click after this is no double click
    WaitPostedHandled();
    if (!EditBox(list)) {
        ClickAt(list, cell); // the first click only selected the row
        if (!PollUntil([&] { return EditBox(list) != nullptr && IsWindowVisible(EditBox(list)); }, 10000))
            return nullptr;
    }
    return EditBox(list);
}

bool AliasDesk::EditCell(int list_id, int row, int column, const std::wstring& text)
{
    HWND box = OpenCellEdit(list_id, row, column);
    if (!box)
        return false;
    SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    PostMessageW(box, WM_KEYDOWN, VK_RETURN, 1 | (MapVirtualKeyW(VK_RETURN, MAPVK_VK_TO_VSC) << 16));
    HWND list = Item(list_id);
    return PollUntil([&] { return EditBox(list) == nullptr; }, 10000);
}

void AliasDesk::ClickHeader(int list_id, int column)
{
    HWND list = Item(list_id);
    ClickAt(reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0)), program_->HeaderItemRect(list, column));
}

bool AliasDesk::SelectOnly(int list_id, const std::vector<int>& rows)
{
    HWND list = Item(list_id);
    bool done = program_->SetSelected(list, -1, false);
    for (int row : rows)
        done = program_->SetSelected(list, row, true) && done;
    return done;
}

void AliasDesk::PressDelete(int list_id)
{
    const UINT scan = MapVirtualKeyW(VK_DELETE, MAPVK_VK_TO_VSC);
    PostMessageW(Item(list_id), WM_KEYDOWN, VK_DELETE, 1 | (scan << 16));
    PostMessageW(Item(list_id), WM_KEYUP, VK_DELETE, static_cast<LPARAM>(1u | (scan << 16) | 0xC0000000u));
}

HWND AliasDesk::WaitForBox(const std::wstring& title, DWORD guard_ms)
{
    return program_->WaitForWindow(title, guard_ms);
}

std::wstring AliasDesk::BoxText(HWND box)
{
    return WindowText(GetDlgItem(box, 0xFFFF)); // the message text of a message box
}
