#include "file_choice.h"

#include <commdlg.h>

CurrentDirectoryKept::CurrentDirectoryKept()
{
    const DWORD length = GetCurrentDirectoryW(MAX_PATH, directory_);
    kept_ = length > 0 && length < MAX_PATH;
}

CurrentDirectoryKept::~CurrentDirectoryKept()
{
    if (kept_)
        SetCurrentDirectoryW(directory_);
}

bool ChooseFileToOpen(HWND owner, const wchar_t* title, const wchar_t* filter, const std::wstring& name,
                      const std::wstring& folder, std::wstring* path)
{
    wchar_t file[MAX_PATH] = {};
    name.copy(file, MAX_PATH - 1);
    OPENFILENAMEW open{};
    open.lStructSize = sizeof(open);
    open.hwndOwner = owner;
    open.lpstrFilter = filter;
    open.lpstrFile = file;
    open.nMaxFile = MAX_PATH;
    open.lpstrTitle = title;
    open.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    open.Flags =
        OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_DONTADDTORECENT;
    bool chosen = false;
    {
        const CurrentDirectoryKept kept;
        chosen = GetOpenFileNameW(&open) != FALSE;
    }
    if (chosen)
        *path = file;
    else if (CommDlgExtendedError() != 0) // not a Cancel: say so rather than do nothing after Open
        MessageBoxW(owner, L"The file could not be chosen: its name is too long or not valid.", L"Velkor Error",
                    MB_ICONERROR | MB_OK);
    return chosen;
}
