#include "alias_store.h"

#include "app_state.h"
#include "diagnostics.h"
#include "main_table.h"
#include "missing_targets.h"
#include "profile_codec.h"
#include "profile_file.h"
#include "report_table.h"
#include "aliasdesk_ids.h"
#include "store_files.h"
#include "wide_text.h"
#include "workers.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kPathCapacity = 512;
// No alias the program makes comes near this; a longer name is damage, and
// listing it would cost seconds for every repaint of the list.
constexpr size_t kLongestName = 4096;
constexpr int kParameterCapacity = MAX_PATH;

std::atomic<bool> store_busy;
std::atomic<RowId> empty_up_to; // left by Reload for the loader: the newest row it found
int activities[3]; // by Activity; dialog thread only

struct SavedRow {
    std::wstring alias, parameter, path;
};

struct TableSnapshot {
    std::vector<SavedRow> rows;
    unsigned changes = 0;
};

void UpdateStoreButtons(HWND dlg)
{
    const bool files_busy =
        activities[static_cast<int>(Activity::Load)] > 0 || activities[static_cast<int>(Activity::Save)] > 0;
    const bool table_busy = files_busy || activities[static_cast<int>(Activity::Scan)] > 0;
    EnableWindow(GetDlgItem(dlg, IDC_APPLY), !table_busy);
    EnableWindow(GetDlgItem(dlg, IDC_OK), !files_busy);
    EnableWindow(GetDlgItem(dlg, IDC_RELOAD), !files_busy);
}

void SetStatus(HWND dlg, const wchar_t* text)
{
    SetDlgItemTextW(dlg, IDC_STATUS, text);
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

enum class Readable { Yes, Missing, No };

// Only a missing file means nothing was saved yet. One that is there but
// cannot be read (held open elsewhere, no access) must be reported: the table
// would show empty, and the next save would replace every alias in it.
Readable CanOpenForReading(const wchar_t* path)
{
    if (FILE* file = _wfopen(path, L"r")) {
        fclose(file);
        return Readable::Yes;
    }
    if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES)
        return Readable::No;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Readable::Missing : Readable::No;
}

// Both files: Missing when either is (nothing saved yet), else No with the
// failure to report when either cannot be read.
Readable ReadableStore(WPARAM* failure)
{
    const Readable history = CanOpenForReading(kHistoryFile);
    const Readable config = CanOpenForReading(szConfigPath);
    if (history == Readable::Missing || config == Readable::Missing)
        return Readable::Missing;
    if (history == Readable::Yes && config == Readable::Yes)
        return Readable::Yes;
    *failure = history == Readable::No ? kHistoryUnreadable : kConfigUnreadable;
    return Readable::No;
}

// Appends the rows from snapshot.rows.size() up to end, read with one buffer.
void ReadRows(TableSnapshot& snapshot, int end)
{
    wchar_t* cell = nullptr; // freed below
    int capacity = 0;
    auto read = [&](int row, int column) -> std::wstring {
        return ReadCellText(pMainTable, row, column, &cell, &capacity) ? std::wstring(cell) : std::wstring();
    };
    for (int row = static_cast<int>(snapshot.rows.size()); row < end; ++row)
        snapshot.rows.push_back({read(row, 0), read(row, 1), read(row, 2)});
    free(cell);
}

// The table as it stands, read a chunk per step so that the dialog answers
// in between. Rows appended meanwhile (a scan, a load) are read as they come;
// any other change begins it again, and then the rest is read in one step,
// so that a save never waits for the table to hold still.
TableSnapshot SnapshotTable()
{
    constexpr int kChunk = 4096;
    TableSnapshot snapshot;
    bool begun = false;
    bool whole = false;
    int steps_left = 0;
    auto step = [&]() -> LRESULT {
        const int rows = GetRowCount(pMainTable);
        if (!begun) {
            begun = true;
            steps_left = rows / kChunk + 4; // a scan appending as fast as this reads is not chased for long
        } else if (!RowsKeptSince(snapshot.changes)) {
            snapshot.rows.clear();
            whole = true;
        }
        whole = whole || --steps_left <= 0;
        ReadRows(snapshot, whole ? rows : std::min(rows, static_cast<int>(snapshot.rows.size()) + kChunk));
        snapshot.changes = TableChanges();
        return static_cast<int>(snapshot.rows.size()) == rows;
    };
    while (!RunOnDialogThread(step)) { }
    return snapshot;
}

std::wstring Lowered(std::wstring text)
{
    LowerAsciiInPlace(text.data());
    return text;
}

// One section per alias, "path" before "parameter", all lower-cased; rows
// whose aliases lower alike share a section, with the last one's values.
bool WriteConfig(HWND dlg, const std::vector<SavedRow>& rows, const std::wstring& config)
{
    if (!rows.empty() && !EnsureUnicodeProfile(config.c_str()))
        return false;
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::wstring alias = Lowered(rows[i].alias);
        if (!WritePrivateProfileStringW(alias.c_str(), L"path", Lowered(rows[i].path).c_str(), config.c_str()) ||
            !WritePrivateProfileStringW(alias.c_str(), L"parameter", Lowered(rows[i].parameter).c_str(),
                                        config.c_str()))
            return false;
        if (i % 256 == 0)
            SetProgress(dlg, static_cast<int>(i)); // every row would cost a message each
    }
    return true;
}

// history.dat holds the section names exactly as the system lists them.
bool WriteHistory(const std::wstring& config)
{
    std::vector<wchar_t> names;
    DWORD listed = 0;
    // The buffer doubles, so that a long list costs a few reads, not one per 512 characters.
    for (DWORD k = 1;; k *= 2) {
        names.assign(512 * k, L'\0');
        listed = GetPrivateProfileSectionNamesW(names.data(), 512 * k, config.c_str());
        if (listed != 512 * k - 2)
            break; // not cut short
    }
    return WriteWholeFile(SavingPath(kHistoryFile), EncodeHistory(names.data(), listed));
}

// Both files written in one pass each, where the result is exactly what the
// profile functions would have written; false when the table needs them.
bool WriteBothAtOnce(const std::vector<SavedRow>& rows, const std::wstring& config_saving, bool* written)
{
    std::vector<ConfigRow> lowered;
    lowered.reserve(rows.size());
    for (const SavedRow& row : rows)
        lowered.push_back({Lowered(row.alias), Lowered(row.parameter), Lowered(row.path)});
    const ConfigImage image = EncodeConfig(lowered);
    if (!image.fast)
        return false;
    *written = (rows.empty() || WriteWholeFile(config_saving, image.bytes)) &&
        WriteWholeFile(SavingPath(kHistoryFile), EncodeHistory(image.section_names.data(), image.section_names.size()));
    return true;
}

bool SaveTable(HWND dlg, const std::vector<SavedRow>& rows)
{
    const std::wstring config_saving = SavingPath(szConfigPath);
    bool written = false;
    if (!WriteBothAtOnce(rows, config_saving, &written))
        written = WriteConfig(dlg, rows, config_saving) && WriteHistory(config_saving);
    if (!written || !CommitSavedPair(szConfigPath, !rows.empty())) {
        const DWORD error = GetLastError();
        RecoverInterruptedSave(szConfigPath); // drops the copies unless the commit got through
        SetLastError(error);
        return false;
    }
    return true;
}

// Reads history.dat into a buffer that grows until the whole file fits;
// empty when it could not be read.
std::vector<wchar_t> ReadHistoryNames(int* units)
{
    std::vector<wchar_t> buffer;
    for (int k = 1;; k *= 2) { // doubling: a large file is read a few times, not once per 10 KB
        buffer.assign(static_cast<size_t>(5120 * k), L'\0');
        if (ReadHistoryFile(buffer.data(), 5120 * k, units))
            return buffer;
        if (*units < 5120 * k)
            return {}; // could not be opened: growing will not help
    }
}

struct LoadedRow {
    const wchar_t* alias;
    wchar_t path[kPathCapacity];
    wchar_t parameter[kParameterCapacity];
};

// Names go to the table a chunk at a time: one step on the dialog thread,
// one progress and count update per chunk.
constexpr size_t kLoadChunk = 512;

void LoadNames(HWND dlg, const std::vector<wchar_t>& names, int units)
{
    const ConfigIndex config = ReadConfigIndex(szConfigPath); // read once, not once per key
    int m = GetRowCount(pMainTable);
    std::vector<LoadedRow> chunk;
    chunk.reserve(kLoadChunk);
    std::vector<AliasRow> rows;
    for (int p = 0; p < units && !WorkerStopRequested();) {
        chunk.clear();
        while (p < units && chunk.size() < kLoadChunk) {
            ++m;
            const wchar_t* alias = names.data() + p;
            const size_t length = wcslen(alias);
            p += static_cast<int>(length) + 1;
            if (length > kLongestName)
                continue;
            LoadedRow& row = chunk.emplace_back();
            row.alias = alias;
            ReadConfigString(config, alias, L"path", row.path, kPathCapacity);
            ReadConfigString(config, alias, L"parameter", row.parameter, kParameterCapacity);
        }
        rows.clear();
        for (const LoadedRow& row : chunk)
            rows.push_back({row.alias, row.path, row.parameter});
        AddAliasRows(rows.data(), rows.size());
        SetProgress(dlg, p);
        SetDlgItemInt(dlg, IDC_COUNT, static_cast<UINT>(m), FALSE);
    }
}

void EndOnDialogThread(HWND dlg, Activity activity)
{
    auto step = [dlg, activity]() -> LRESULT {
        EndActivity(dlg, activity);
        if (activity == Activity::Load)
            CheckAllTargets(); // the loaded paths may point to programs gone since
        return 0;
    };
    RunOnDialogThread(step);
}

} // namespace

unsigned __stdcall LoadWorker(void* param)
{
    HWND dlg = static_cast<HWND>(param);
    // Rows appended after Reload (by a scan still running) stay, as they would
    // had the list been emptied at once.
    EmptyRowsUpTo(empty_up_to.exchange(0));
    RecoverInterruptedSave(szConfigPath);
    WPARAM failure = 0;
    const Readable store = ReadableStore(&failure);
    if (store != Readable::Yes) {
        if (store == Readable::No) {
            SetStatus(dlg, L"Load failed!");
            PostMessageW(dlg, WM_STORE_FAILED, failure, 0);
        }
        store_busy = false;
        EndOnDialogThread(dlg, Activity::Load);
        return 0; // when missing, nothing saved yet: the dialog stays as it is
    }
    SetStatus(dlg, L"Loading...");
    int units = 0;
    const std::vector<wchar_t> names = ReadHistoryNames(&units);
    if (names.empty()) {
        SetStatus(dlg, L"Load failed!");
        PostMessageW(dlg, WM_STORE_FAILED, kHistoryUnreadable, 0);
        store_busy = false;
        EndOnDialogThread(dlg, Activity::Load);
        return 0;
    }
    ShowProgress(dlg, units + 10);
    LoadNames(dlg, names, units);
    HideProgress(dlg, units + 10);
    SetStatus(dlg, L"Finished!");
    // Free before the buttons come back: a click on them must find the store idle.
    store_busy = false;
    EndOnDialogThread(dlg, Activity::Load);
    return 0;
}

unsigned __stdcall SaveWorker(void* param)
{
    std::unique_ptr<SaveArgs> args(static_cast<SaveArgs*>(param));
    HWND dlg = args->dialog;
    const int exit = args->exit_flag->load();
    DebugPrint(L"1. bExit %d\n", exit);
    SetStatus(dlg, L"Saving...");
    RecoverInterruptedSave(szConfigPath);

    const TableSnapshot snapshot = SnapshotTable();
    const int n = static_cast<int>(snapshot.rows.size());
    ShowProgress(dlg, n + 5);
    const bool saved = SaveTable(dlg, snapshot.rows);
    const DWORD error = GetLastError();
    HideProgress(dlg, n + 5);

    if (saved) {
        SetStatus(dlg, L"Finished!");
        // Changes made while the save ran are not in the files.
        if (TableChanges() == snapshot.changes)
            bModified = 0;
    } else {
        SetStatus(dlg, L"Save failed!");
        PostMessageW(dlg, WM_STORE_FAILED, kSaveFailed, static_cast<LPARAM>(error));
    }
    DebugPrint(L"2. bExit %d\n", exit);
    // Settled before OK comes back: OK pressed at once must see what this save left.
    store_busy = false;
    EndOnDialogThread(dlg, Activity::Save);
    // Posted, not sent: closing waits for the workers, this one included.
    if (saved && exit)
        PostMessageW(dlg, WM_CLOSE, 0, 0);
    return 0;
}

void StartLoad(HWND dlg, RowId empty_to)
{
    if (store_busy.exchange(true))
        return;
    // At once: a click on OK, Apply or Reload while the load starts must not vanish.
    BeginActivity(dlg, Activity::Load);
    empty_up_to = empty_to;
    if (StartWorker(LoadWorker, dlg))
        return;
    empty_up_to = 0;
    DeleteAllRows(pMainTable);
    store_busy = false;
    EndActivity(dlg, Activity::Load);
}

void StartSave(HWND dlg, int exit)
{
    if (store_busy.exchange(true))
        return;
    bExit = exit;
    auto args = std::make_unique<SaveArgs>(SaveArgs{dlg, &bExit});
    BeginActivity(dlg, Activity::Save);
    if (StartWorker(SaveWorker, args.get())) {
        args.release(); // the worker owns it now
        return;
    }
    EndActivity(dlg, Activity::Save);
    store_busy = false;
    SetStatus(dlg, L"Save failed!");
}

bool IsStoreBusy()
{
    return store_busy;
}

bool IsSaving()
{
    return activities[static_cast<int>(Activity::Save)] > 0;
}

void BeginActivity(HWND dlg, Activity activity)
{
    ++activities[static_cast<int>(activity)];
    UpdateStoreButtons(dlg);
}

void EndActivity(HWND dlg, Activity activity)
{
    --activities[static_cast<int>(activity)];
    UpdateStoreButtons(dlg);
}

void ResetStoreState()
{
    store_busy = false;
    for (int& count : activities)
        count = 0;
}

void ReportStoreFailure(HWND dlg, WPARAM failure, LPARAM error)
{
    if (failure == kHistoryUnreadable) {
        MessageBoxW(nullptr, L"Could not open history.dat file.", L"Velkor Error", MB_ICONERROR | MB_TOPMOST);
        return;
    }
    if (failure == kConfigUnreadable) {
        MessageBoxW(nullptr, L"Could not open config.ini file.", L"Velkor Error", MB_ICONERROR | MB_TOPMOST);
        return;
    }
    wchar_t reason[512] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(error), 0,
                   reason, 512, nullptr);
    wchar_t text[1024];
    FormatText(text, 1024, L"Could not save config.ini and history.dat; the files saved before are kept.\n\n%s",
               reason);
    MessageBoxW(dlg, text, L"Velkor Error", MB_ICONERROR | MB_TOPMOST);
}
