#include "store_reading.h"

#include "aliasdesk_ids.h"
#include "profile_codec.h"
#include "store_files.h"
#include "workers.h"

#include <commctrl.h>

#include <cstdio>
#include <cwchar>

namespace {

constexpr int kPathCapacity = 512;
constexpr int kParameterCapacity = MAX_PATH;
// No alias the program makes comes near this; a longer name is damage, and
// listing it would cost seconds for every repaint of the list.
constexpr size_t kLongestName = 4096;
// Progress and the stop request are looked at once per this many names.
constexpr int kProgressEvery = 512;

// Only a missing file means nothing was saved yet. One that is there but
// cannot be read (held open elsewhere, no access) must be reported: the table
// would show empty, and the next save would replace every alias in it.
Readable CanOpenForReading(const std::wstring& path)
{
    if (FILE* file = _wfopen(path.c_str(), L"r")) {
        fclose(file);
        return Readable::Yes;
    }
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        return Readable::No;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Readable::Missing : Readable::No;
}

// Missing when either is, else No: *unreadable names the first missing, or
// else the first that cannot be read.
Readable CanOpenBoth(const StorePaths& paths, std::wstring* unreadable)
{
    const Readable history = CanOpenForReading(paths.history);
    const Readable config = CanOpenForReading(paths.config);
    if (history == Readable::Missing || config == Readable::Missing) {
        *unreadable = history == Readable::Missing ? paths.history : paths.config;
        return Readable::Missing;
    }
    if (history == Readable::Yes && config == Readable::Yes)
        return Readable::Yes;
    *unreadable = history == Readable::No ? paths.history : paths.config;
    return Readable::No;
}

void ReadRowsOfNames(HWND dlg, const ConfigIndex& config, StoreContents* contents)
{
    std::vector<wchar_t> path(kPathCapacity), parameter(kParameterCapacity);
    for (int p = 0; p < contents->units && !WorkerStopRequested();) {
        const wchar_t* alias = contents->names.data() + p;
        const size_t length = wcslen(alias);
        p += static_cast<int>(length) + 1;
        if (++contents->listed % kProgressEvery == 0)
            SetProgress(dlg, p);
        if (length > kLongestName)
            continue;
        ReadConfigString(config, alias, L"path", path.data(), kPathCapacity);
        ReadConfigString(config, alias, L"parameter", parameter.data(), kParameterCapacity);
        contents->rows.push_back({alias, path.data(), parameter.data()});
    }
}

} // namespace

Readable ReadStoreFiles(HWND dlg, const StorePaths& paths, StoreContents* contents, std::wstring* unreadable)
{
    const Readable readable = CanOpenBoth(paths, unreadable);
    if (readable != Readable::Yes)
        return readable;
    SetDlgItemTextW(dlg, IDC_STATUS, L"Loading...");
    if (!ReadHistoryNames(paths.history, &contents->names)) {
        *unreadable = paths.history;
        return Readable::No;
    }
    contents->units = static_cast<int>(contents->names.size()) - 1;
    // Read once, not once per key; every lookup it cannot answer goes to the
    // profile functions, which answer empty values for a file they cannot
    // open: it must have been read whole.
    const ConfigIndex config = ReadConfigIndex(paths.config.c_str());
    if (!config.read) {
        *unreadable = paths.config;
        return Readable::No;
    }
    ShowProgress(dlg, contents->units + 10);
    ReadRowsOfNames(dlg, config, contents);
    return Readable::Yes;
}

void ShowProgress(HWND dlg, int upper)
{
    HWND bar = GetDlgItem(dlg, IDC_PROGRESS);
    SendMessageW(bar, PBM_SETRANGE32, 0, upper);
    ShowWindow(bar, SW_SHOW);
}

void SetProgress(HWND dlg, int position)
{
    SendMessageW(GetDlgItem(dlg, IDC_PROGRESS), PBM_SETPOS, position, 0);
}

void HideProgress(HWND dlg, int position)
{
    SetProgress(dlg, position);
    ShowWindow(GetDlgItem(dlg, IDC_PROGRESS), SW_HIDE);
}
