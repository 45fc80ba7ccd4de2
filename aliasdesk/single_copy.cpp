#include "single_copy.h"

#include "wide_text.h"

#include <cstdint>
#include <string>

namespace {

constexpr wchar_t kFolderMark[] = L"Velkor.aliasdesk.folder";
constexpr DWORD kEndingCopyWaitMs = 10000;
constexpr DWORD kPollMs = 100;

// The folder as the file system names it, letters folded; the path as given
// where it cannot be asked.
std::wstring FolderName(const wchar_t* directory)
{
    std::wstring name = directory;
    UniqueHandle folder(CreateFileW(directory, FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (folder) {
        std::wstring final_name(32768, L'\0');
        const DWORD length = GetFinalPathNameByHandleW(folder.get(), final_name.data(),
                                                       static_cast<DWORD>(final_name.size()), FILE_NAME_NORMALIZED);
        if (length > 0 && length < final_name.size())
            name.assign(final_name.data(), length);
    }
    while (!name.empty() && (name.back() == L'\\' || name.back() == L'/'))
        name.pop_back();
    for (wchar_t& c : name)
        c = c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
    return name;
}

// FNV-1a: a mutex name has room for a key, not for every path.
uint64_t FolderKey(const wchar_t* directory)
{
    uint64_t key = 14695981039346656037ull;
    for (wchar_t c : FolderName(directory)) {
        key = (key ^ static_cast<uint64_t>(c)) * 1099511628211ull;
    }
    return key;
}

// What the dialog's mark holds: never 0, which GetPropW answers for no mark.
HANDLE MarkOf(uint64_t key)
{
    return reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(key) | 1);
}

struct DialogSearch {
    HANDLE mark;
    HWND found;
};

BOOL CALLBACK FindMarkedDialog(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<DialogSearch*>(param);
    if (GetPropW(window, kFolderMark) != search->mark)
        return TRUE;
    search->found = window;
    return FALSE;
}

HWND FolderDialog(uint64_t key)
{
    DialogSearch search{MarkOf(key), nullptr};
    EnumWindows(&FindMarkedDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A mutex that could not be opened is never taken: its dialog is looked for again.
DWORD WaitAWhile(HANDLE mutex)
{
    if (mutex)
        return WaitForSingleObject(mutex, kPollMs);
    Sleep(kPollMs);
    return WAIT_TIMEOUT;
}

void BringToFront(HWND dlg)
{
    if (IsIconic(dlg))
        ShowWindow(dlg, SW_RESTORE);
    SetForegroundWindow(dlg);
}

} // namespace

FolderClaim::~FolderClaim()
{
    if (owned_)
        ReleaseMutex(mutex_.get());
}

bool FolderClaim::Take(const wchar_t* directory)
{
    const uint64_t key = key_ = FolderKey(directory);
    wchar_t name[64];
    FormatText(name, 64, L"Local\\Velkor.aliasdesk.%016llx", static_cast<unsigned long long>(key));
    mutex_.reset(CreateMutexW(nullptr, FALSE, name));
    // Denied: a copy under another account or elevated made it, and holds it.
    if (!mutex_ && GetLastError() != ERROR_ACCESS_DENIED)
        return true; // no way to tell: better run than refuse
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD waited = WaitAWhile(mutex_.get());
        if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
            owned_ = true;
            return true;
        }
        if (HWND other = FolderDialog(key)) {
            BringToFront(other);
            return false;
        }
        if (GetTickCount() - start >= kEndingCopyWaitMs) {
            MessageBoxW(nullptr, L"aliasdesk is already running for this folder.", L"Velkor Error",
                        MB_ICONERROR | MB_TOPMOST);
            return false;
        }
    }
}

void FolderClaim::MarkDialog(HWND dlg) const
{
    SetPropW(dlg, kFolderMark, MarkOf(key_));
}

void ForgetFolderDialog(HWND dlg)
{
    RemovePropW(dlg, kFolderMark);
}
