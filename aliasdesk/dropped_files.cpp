#include "dropped_files.h"

#include "aliasdesk_ids.h"
#include "app_state.h"
#include "commands.h"
#include "file_search.h"
#include "folder_scan.h"
#include "main_table.h"
#include "report_table.h"
#include "wide_text.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>

namespace {

// ChangeWindowMessageFilterEx is bound at run time, as the other calls newer
// than the oldest system the programs start on.
void LetThrough(HWND dlg, UINT message)
{
    using FilterFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    static const auto filter = reinterpret_cast<FilterFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "ChangeWindowMessageFilterEx")));
    if (filter)
        filter(dlg, message, 1 /* MSGFLT_ALLOW */, nullptr);
}

bool EndsWith(const std::wstring& text, const wchar_t* end)
{
    const size_t length = wcslen(end);
    return text.size() >= length && CompareNoCaseAscii(text.c_str() + text.size() - length, end) == 0;
}

std::wstring DroppedFile(HDROP drop, UINT index)
{
    std::wstring path(DragQueryFileW(drop, index, nullptr, 0) + 1, L'\0');
    path.resize(DragQueryFileW(drop, index, path.data(), static_cast<UINT>(path.size())));
    return path;
}

// Whether the point (dialog client coordinates) lies on one of the lists.
bool OverList(HWND dlg, POINT point)
{
    HWND child = ChildWindowFromPointEx(dlg, point, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
    const int id = child ? GetDlgCtrlID(child) : 0;
    return id == IDC_MAIN_LIST || id == IDC_FILTER_LIST;
}

// A program, or a shortcut's target with its arguments; 1 when listed.
int ListDropped(const std::wstring& path)
{
    if (EndsWith(path, L".exe"))
        return ListProgram(path, FileNameOf(path), nullptr);
    std::wstring target, arguments;
    if (EndsWith(path, L".lnk") && ReadShortcut(path.c_str(), &target, &arguments))
        return ListProgram(target, FileNameOf(path), arguments.c_str());
    return 0;
}

// As typing the folder and clicking Add would: not while Add is disabled.
void AddFolder(HWND dlg, const std::wstring& folder)
{
    if (!IsWindowEnabled(GetDlgItem(dlg, IDC_ADD)))
        return;
    SetDlgItemTextW(dlg, IDC_PATH, folder.c_str());
    OnCommand(IDC_ADD, dlg);
}

} // namespace

void AcceptDroppedFiles(HWND dlg)
{
    DragAcceptFiles(dlg, TRUE);
    for (UINT message : {static_cast<UINT>(WM_DROPFILES), static_cast<UINT>(WM_COPYDATA), 0x0049u /* WM_COPYGLOBALDATA */})
        LetThrough(dlg, message);
}

BOOL OnDropFiles(HWND dlg, HDROP drop)
{
    POINT point{};
    DragQueryPoint(drop, &point);
    // While a load brings the store's rows in, whether a program is listed
    // already is not known (a folder's scan waits for it; single programs are not taken).
    const bool on_list = OverList(dlg, point) && !AwaitingReplacement();
    std::wstring folder;
    int listed = 0;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const std::wstring path = DroppedFile(drop, i);
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            if (folder.empty())
                folder = path; // one scan at a time: the first folder
        } else if (on_list) {
            listed += ListDropped(path);
        }
    }
    DragFinish(drop);
    if (listed > 0) {
        MarkModified();
        SetDlgItemInt(dlg, IDC_COUNT, static_cast<UINT>(GetRowCount(pMainTable)), FALSE);
    }
    if (!folder.empty())
        AddFolder(dlg, folder);
    return TRUE;
}

bool ReadShortcut(const wchar_t* link, std::wstring* target, std::wstring* arguments)
{
    IShellLinkW* shortcut = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shortcut))))
        return false;
    IPersistFile* file = nullptr;
    bool read = false;
    if (SUCCEEDED(shortcut->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        wchar_t path[MAX_PATH] = {};
        wchar_t args[INFOTIPSIZE] = {};
        // No Resolve: it may show a window, or search the disk for a target that moved.
        read = SUCCEEDED(file->Load(link, STGM_READ)) && SUCCEEDED(shortcut->GetPath(path, MAX_PATH, nullptr, 0)) &&
            path[0] != L'\0' && SUCCEEDED(shortcut->GetArguments(args, INFOTIPSIZE));
        if (read) {
            *target = path;
            *arguments = args;
        }
        file->Release();
    }
    shortcut->Release();
    return read;
}
