#include "remote_process.h"

#include "wait.h"

#include <commctrl.h>
#include <winternl.h>

namespace {

constexpr size_t kScratchBytes = 64 * 1024;
constexpr size_t kTextOffset = 4096; // records before, text after

struct FindWindowSearch {
    DWORD pid;
    const std::wstring* title;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<FindWindowSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->pid && IsWindowVisible(window) && WindowText(window) == *search->title) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

RemoteProgram::RemoteProgram(const std::wstring& exe, const std::wstring& current_dir, const wchar_t* environment)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::wstring command = L"\"" + exe + L"\"";
    if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE,
                        environment ? CREATE_UNICODE_ENVIRONMENT : 0, const_cast<wchar_t*>(environment),
                        current_dir.c_str(), &startup, &info))
        return;
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    pid_ = info.dwProcessId;
    started_here_ = true;
    scratch_ = VirtualAllocEx(process_, nullptr, kScratchBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

RemoteProgram::RemoteProgram(HWND window)
{
    GetWindowThreadProcessId(window, &pid_);
    process_ =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION | SYNCHRONIZE,
                    FALSE, pid_);
    if (process_)
        scratch_ = VirtualAllocEx(process_, nullptr, kScratchBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

RemoteProgram::~RemoteProgram()
{
    if (!process_)
        return;
    if (!started_here_) {
        if (scratch_)
            VirtualFreeEx(process_, scratch_, 0, MEM_RELEASE);
        CloseHandle(process_);
        return;
    }
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 10000);
    }
    CloseHandle(process_);
}

HWND RemoteProgram::WaitForWindow(const std::wstring& title, DWORD guard_ms)
{
    FindWindowSearch search{pid_, &title, nullptr};
    PollUntil(
        [&] {
            EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
            return search.found || WaitForSingleObject(process_, 0) == WAIT_OBJECT_0;
        },
        guard_ms, 20);
    return search.found;
}

DWORD RemoteProgram::WaitForExit(DWORD guard_ms)
{
    if (WaitForSingleObject(process_, guard_ms) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
}

void* RemoteProgram::Alloc(size_t bytes)
{
    return bytes <= kScratchBytes ? scratch_ : nullptr;
}

bool RemoteProgram::Write(void* remote, const void* local, size_t bytes)
{
    SIZE_T done = 0;
    return WriteProcessMemory(process_, remote, local, bytes, &done) && done == bytes;
}

bool RemoteProgram::Read(const void* remote, void* local, size_t bytes)
{
    SIZE_T done = 0;
    return ReadProcessMemory(process_, remote, local, bytes, &done) && done == bytes;
}

int RemoteProgram::RowCount(HWND list)
{
    return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

std::wstring RemoteProgram::Cell(HWND list, int row, int column)
{
    auto* base = static_cast<char*>(Alloc(kScratchBytes));
    if (!base)
        return L"<no memory>";
    auto* remote_text = reinterpret_cast<wchar_t*>(base + kTextOffset);
    const int capacity = static_cast<int>((kScratchBytes - kTextOffset) / sizeof(wchar_t));
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = remote_text;
    item.cchTextMax = capacity;
    const wchar_t empty = L'\0';
    Write(remote_text, &empty, sizeof(empty));
    Write(base, &item, sizeof(item));
    const auto length = static_cast<size_t>(SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(base)));
    std::wstring text(length, L'\0');
    if (length)
        Read(remote_text, text.data(), length * sizeof(wchar_t));
    return text;
}

std::vector<std::wstring> RemoteProgram::Headers(HWND list)
{
    std::vector<std::wstring> headers;
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int count = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    auto* base = static_cast<char*>(Alloc(kScratchBytes));
    auto* remote_text = reinterpret_cast<wchar_t*>(base + kTextOffset);
    for (int i = 0; i < count; ++i) {
        HDITEMW item{};
        item.mask = HDI_TEXT;
        item.pszText = remote_text;
        item.cchTextMax = 256;
        Write(base, &item, sizeof(item));
        SendMessageW(header, HDM_GETITEMW, i, reinterpret_cast<LPARAM>(base));
        wchar_t text[256] = {};
        Read(remote_text, text, sizeof(text) - sizeof(wchar_t));
        headers.emplace_back(text);
    }
    return headers;
}

RECT RemoteProgram::SubItemRect(HWND list, int row, int column)
{
    RECT rect{};
    rect.top = column;
    rect.left = LVIR_LABEL;
    void* remote = Alloc(sizeof(rect));
    if (!remote || !Write(remote, &rect, sizeof(rect)) ||
        !SendMessageW(list, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(remote)) ||
        !Read(remote, &rect, sizeof(rect)))
        return RECT{};
    return rect;
}

RECT RemoteProgram::HeaderItemRect(HWND list, int column)
{
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    RECT rect{};
    void* remote = Alloc(sizeof(rect));
    if (!remote || !SendMessageW(header, HDM_GETITEMRECT, column, reinterpret_cast<LPARAM>(remote)) ||
        !Read(remote, &rect, sizeof(rect)))
        return RECT{};
    return rect;
}

bool RemoteProgram::SetSelected(HWND list, int row, bool selected)
{
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED;
    item.state = selected ? LVIS_SELECTED : 0;
    void* remote = Alloc(sizeof(item));
    return remote && Write(remote, &item, sizeof(item)) &&
        SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote));
}

std::wstring RemoteProgram::CurrentDirectory()
{
    // The process parameters block of the target holds its current directory.
    using QueryFn = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic{};
    if (!query || query(process_, ProcessBasicInformation, &basic, sizeof(basic), nullptr) != 0)
        return L"";
    PEB peb{};
    RTL_USER_PROCESS_PARAMETERS params{};
    if (!Read(basic.PebBaseAddress, &peb, sizeof(peb)) || !Read(peb.ProcessParameters, &params, sizeof(params)))
        return L"";
    // CurrentDirectory.DosPath follows the fields that winternl.h names; its
    // offset is fixed by the platform: 0x38 on x64, 0x24 on x86.
    const auto* raw = reinterpret_cast<const char*>(&params);
    UNICODE_STRING dos{};
    memcpy(&dos, raw + (sizeof(void*) == 8 ? 0x38 : 0x24), sizeof(dos));
    std::wstring path(dos.Length / sizeof(wchar_t), L'\0');
    if (!path.empty() && !Read(dos.Buffer, path.data(), dos.Length))
        return L"";
    return path;
}
