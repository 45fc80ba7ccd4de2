#include "alias_store.h"

#include "app_state.h"
#include "diagnostics.h"
#include "file_search.h"
#include "main_table.h"
#include "missing_targets.h"
#include "profile_codec.h"
#include "profile_file.h"
#include "report_table.h"
#include "row_removal.h"
#include "aliasdesk_ids.h"
#include "store_files.h"
#include "store_reading.h"
#include "wide_text.h"
#include "workers.h"


#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

// Rows go to the table this many at a time: one step on the dialog thread.
constexpr size_t kLoadChunk = 512;

std::atomic<bool> store_busy;
int activities[3]; // by Activity; dialog thread only
// The start-up load could not read the store: the table shown never held it,
// and a save would replace it. Dialog thread only.
bool store_unread;

// What a load reads, and what it does with the rows: Start and Reload read
// the store, Restore the pair its last save replaced (replacing the table,
// as Reload does, but unsaved), Import another table (appending to it).
enum class LoadKind { Start, Reload, Restore, Import };

struct LoadRequest {
    HWND dialog;
    LoadKind kind;
    StorePaths paths;
};

struct SavedRow {
    std::wstring alias, parameter, path;
};

struct TableSnapshot {
    std::vector<SavedRow> rows;
    unsigned changes = 0;
    unsigned marked = 0; // ModifiedCount() when the last row was read
    bool whole = false; // false when the dialog went before the table was read
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

// Appends the rows from snapshot.rows.size() up to end, a chunk at most and
// no longer than the clock allows, read with one buffer.
void ReadRows(TableSnapshot& snapshot, int end, const StepClock& clock)
{
    constexpr int kChunk = 4096;
    wchar_t* cell = nullptr; // freed below
    int capacity = 0;
    auto read = [&](int row, int column) -> std::wstring {
        return ReadCellText(pMainTable, row, column, &cell, &capacity) ? std::wstring(cell) : std::wstring();
    };
    const int first = static_cast<int>(snapshot.rows.size());
    for (int row = first; row < end && row < first + kChunk && !clock.Spent(); ++row)
        snapshot.rows.push_back({read(row, 0), read(row, 1), read(row, 2)});
    free(cell);
}

enum class Snapshot { Gone, More, Done, Waiting }; // Gone: no dialog answered

// The table as it stands, read in steps of bounded length so that the dialog
// answers in between. Rows appended meanwhile (a scan, a load) are read as
// they come; any other change begins it again. A removal still going on is
// waited for: the save takes the table it leaves.
TableSnapshot SnapshotTable()
{
    TableSnapshot snapshot;
    bool begun = false;
    auto step = [&]() -> LRESULT {
        if (RunningRemovals() > 0)
            return static_cast<LRESULT>(Snapshot::Waiting);
        if (!begun || !RowsKeptSince(snapshot.changes))
            snapshot.rows.clear();
        begun = true;
        const int rows = GetRowCount(pMainTable);
        ReadRows(snapshot, rows, StepClock());
        snapshot.changes = TableChanges();
        snapshot.marked = ModifiedCount();
        return static_cast<LRESULT>(static_cast<int>(snapshot.rows.size()) == rows ? Snapshot::Done : Snapshot::More);
    };
    for (;;) {
        const auto answer = static_cast<Snapshot>(RunOnDialogThread(step));
        if (answer == Snapshot::Done || answer == Snapshot::Gone) {
            snapshot.whole = answer == Snapshot::Done;
            return snapshot;
        }
        if (answer == Snapshot::Waiting)
            Sleep(10);
    }
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
    return WriteWholeFile(SavingPath(HistoryPath(szConfigPath)), EncodeHistory(names.data(), listed));
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
        WriteWholeFile(SavingPath(HistoryPath(szConfigPath)),
                       EncodeHistory(image.section_names.data(), image.section_names.size()));
    return true;
}

enum class SaveResult { Saved, Failed, Pending }; // Pending: committed, put in place at the next start

SaveResult SaveTable(HWND dlg, const std::vector<SavedRow>& rows)
{
    const std::wstring config_saving = SavingPath(szConfigPath);
    bool written = false;
    if (!WriteBothAtOnce(rows, config_saving, &written))
        written = WriteConfig(dlg, rows, config_saving) && WriteHistory(config_saving);
    const Commit commit = written ? CommitSavedPair(szConfigPath, !rows.empty()) : Commit::Failed;
    if (commit == Commit::Done)
        return SaveResult::Saved;
    const DWORD error = GetLastError();
    RecoverInterruptedSave(szConfigPath); // drops the copies, or finishes a commit that got through
    SetLastError(error);
    return commit == Commit::Pending && IsCommitPending(szConfigPath) ? SaveResult::Pending
        : commit == Commit::Pending                                   ? SaveResult::Saved
                                                                      : SaveResult::Failed;
}

// Hands the rows to take a chunk at a time.
template <typename Take> void ForEachChunk(const StoreContents& store, Take take)
{
    std::vector<AliasRow> chunk;
    for (size_t at = 0; at < store.rows.size() && !WorkerStopRequested();) {
        chunk.clear();
        for (; at < store.rows.size() && chunk.size() < kLoadChunk; ++at)
            chunk.push_back({store.rows[at].alias, store.rows[at].path.c_str(), store.rows[at].parameter.c_str()});
        take(chunk);
    }
}

// Appends the rows a chunk at a time, one count update per chunk.
void ListLoadedRows(HWND dlg, const StoreContents& store)
{
    int m = GetRowCount(pMainTable) + (store.listed - static_cast<int>(store.rows.size()));
    ForEachChunk(store, [&](const std::vector<AliasRow>& chunk) {
        AddAliasRows(chunk.data(), chunk.size());
        m += static_cast<int>(chunk.size());
        SetDlgItemInt(dlg, IDC_COUNT, static_cast<UINT>(m), FALSE);
    });
}

// Appends another table's rows by the import's rules, and tells the counts.
void ImportLoadedRows(HWND dlg, const StoreContents& store)
{
    ImportCounts counts;
    ForEachChunk(store,
                 [&](const std::vector<AliasRow>& chunk) { ImportAliasRows(chunk.data(), chunk.size(), &counts); });
    SetDlgItemInt(dlg, IDC_COUNT, static_cast<UINT>(GetRowCount(pMainTable)), FALSE);
    wchar_t status[128];
    FormatText(status, 128, L"Imported %d, skipped %d, renamed %d.", counts.added, counts.skipped, counts.renamed);
    SetStatus(dlg, status);
    if (counts.added > 0) {
        auto mark = []() -> LRESULT {
            MarkModified();
            return 0;
        };
        RunOnDialogThread(mark);
    }
}

// Dialog thread. What a failure leaves for the dialog to tell; a save's
// failure also keeps the dialog from closing until it was told.
struct PendingFailure {
    WPARAM failure = 0;
    DWORD error = 0;
    std::wstring file; // the file that could not be read
};
PendingFailure pending_failure;

void LeaveFailure(HWND dlg, WPARAM failure, DWORD error, const std::wstring& file = L"")
{
    pending_failure = {failure, error, file};
    PostMessageW(dlg, WM_STORE_FAILED, 0, 0);
}

// The table Reload found is replaced: the view goes back to the full list,
// as Reload's own click would have done had it emptied the table at once.
void TakeReloadedView(HWND dlg)
{
    ZeroMemory(szScanFolder, sizeof(szScanFolder));
    SetDlgItemTextW(dlg, IDC_FILTER, L"");
    ShowWindow(GetDlgItem(dlg, IDC_FILTER_LIST), SW_HIDE);
    ShowWindow(GetDlgItem(dlg, IDC_MAIN_LIST), SW_SHOW);
}

// What a load that read nothing tells; 0 for nothing (no store saved yet).
WPARAM FailureOf(const LoadRequest& request, Readable read, const std::wstring& unreadable)
{
    if (read == Readable::Missing && (request.kind == LoadKind::Start || request.kind == LoadKind::Reload))
        return 0;
    // An empty table saved has no config.ini: its backup pair neither.
    if (read == Readable::Missing && request.kind == LoadKind::Restore)
        return unreadable == request.paths.history ? kNoBackup : 0;
    return unreadable == request.paths.history ? kHistoryUnreadable : kConfigUnreadable;
}

void EndLoad(const LoadRequest& request, Readable read, WPARAM failure, const std::wstring& file)
{
    auto step = [&]() -> LRESULT {
        EndActivity(request.dialog, Activity::Load);
        if (failure != 0) {
            store_unread = store_unread || request.kind == LoadKind::Start;
            SpareDoomedRows();
            LeaveFailure(request.dialog, failure, 0, file);
            return 0;
        }
        if (read == Readable::Yes)
            CheckAllTargets(); // the loaded paths may point to programs gone since
        if (request.kind == LoadKind::Restore)
            MarkModified(); // nothing is written until Apply or OK
        if (request.kind == LoadKind::Start || request.kind == LoadKind::Reload)
            store_unread = false;
        EndReplacement();
        return 0;
    };
    // Free before the buttons come back: a click on them must find the store idle.
    store_busy = false;
    RunOnDialogThread(step);
}

// The dialog was closed while a save ran: it closes once the save is done,
// unless the save failed. Dialog thread only.
bool close_after_save;

// The files hold the table as it stands only if nothing changed it since it
// was read, nothing was marked changed (a scan that has not listed a row
// yet), and no scan or removal is still going to change it.
bool FilesHoldTheTable(const TableSnapshot& snapshot)
{
    return TableChanges() == snapshot.changes && ModifiedCount() == snapshot.marked &&
        activities[static_cast<int>(Activity::Scan)] == 0 && RunningRemovals() == 0;
}

// Dialog thread, in the step that ends the save: only when the files hold
// the table as it stands are there no unsaved changes, and only then does OK
// close. A close asked for during the save goes ahead unless it failed.
void EndSave(HWND dlg, SaveResult result, DWORD error, const TableSnapshot& snapshot, int exit)
{
    EndActivity(dlg, Activity::Save);
    const bool closing = std::exchange(close_after_save, false);
    if (closing)
        EnableWindow(dlg, TRUE);
    if (result != SaveResult::Saved) {
        SetStatus(dlg, L"Save failed!");
        LeaveFailure(dlg, result == SaveResult::Pending ? kSavePending : kSaveFailed, error);
        return;
    }
    SetStatus(dlg, L"Finished!");
    const bool current = FilesHoldTheTable(snapshot);
    if (current)
        bModified = 0;
    if (closing)
        PostMessageW(dlg, WM_CLOSE, 0, 0); // this worker must end first
    else if (exit && current)
        PostMessageW(dlg, WM_SAVED_FOR_CLOSE, snapshot.changes, snapshot.marked);
    else if (exit)
        ShowNotClosed(dlg);
}

} // namespace

unsigned __stdcall LoadWorker(void* param)
{
    std::unique_ptr<LoadRequest> request(static_cast<LoadRequest*>(param));
    HWND dlg = request->dialog;
    StoreContents contents;
    std::wstring unreadable = request->paths.config;
    Readable read = Readable::No;
    WPARAM failure = kCommitPending;
    // A save that committed but could not be put in place may have left the
    // pair, and the one it keeps, half old, half new: they are not read.
    if (request->kind == LoadKind::Import || RecoverInterruptedSave(szConfigPath)) {
        read = ReadStoreFiles(dlg, request->paths, &contents, &unreadable);
        failure = read == Readable::Yes ? 0 : FailureOf(*request, read, unreadable);
    }
    if (failure != 0) {
        HideProgress(dlg, 0);
        SetStatus(dlg, L"Load failed!");
        EndLoad(*request, read, failure, unreadable); // nothing changed: the table stays as it was
        return 0;
    }
    if (request->kind == LoadKind::Reload || request->kind == LoadKind::Restore) {
        auto take = [dlg]() -> LRESULT {
            TakeReloadedView(dlg);
            return 0;
        };
        RunOnDialogThread(take);
        // Rows appended since the click (by a scan still running) stay, as
        // they would had the list been emptied at once.
        EmptyDoomedRows();
    }
    if (read == Readable::Yes) { // when missing, nothing was saved yet
        if (request->kind == LoadKind::Import)
            ImportLoadedRows(dlg, contents);
        else
            ListLoadedRows(dlg, contents);
        HideProgress(dlg, contents.units + 10);
    }
    if (request->kind == LoadKind::Restore || (read == Readable::Yes && request->kind != LoadKind::Import))
        SetStatus(dlg, L"Finished!");
    EndLoad(*request, read, 0, L"");
    return 0;
}

unsigned __stdcall SaveWorker(void* param)
{
    std::unique_ptr<SaveArgs> args(static_cast<SaveArgs*>(param));
    HWND dlg = args->dialog;
    const int exit = args->exit_flag->load();
    DebugPrint(L"1. bExit %d\n", exit);
    SetStatus(dlg, L"Saving...");
    // An earlier save that could not be put in place is done first: its pair
    // is the backup this save keeps.
    const bool settled = RecoverInterruptedSave(szConfigPath);
    const DWORD unsettled = GetLastError();

    const TableSnapshot snapshot = settled ? SnapshotTable() : TableSnapshot{};
    const int n = static_cast<int>(snapshot.rows.size());
    ShowProgress(dlg, n + 5);
    const SaveResult result = snapshot.whole ? SaveTable(dlg, snapshot.rows) : SaveResult::Failed;
    const DWORD error = settled ? GetLastError() : unsettled;
    HideProgress(dlg, n + 5);
    DebugPrint(L"2. bExit %d\n", exit);
    auto end = [&]() -> LRESULT {
        EndSave(dlg, result, error, snapshot, exit);
        return 0;
    };
    // Settled before OK comes back: OK pressed at once must see what this save left.
    store_busy = false;
    RunOnDialogThread(end);
    return 0;
}

namespace {

void StartLoading(HWND dlg, LoadKind kind, StorePaths paths)
{
    if (store_busy.exchange(true))
        return;
    // At once: a click on OK, Apply or Reload while the load starts must not vanish.
    BeginActivity(dlg, Activity::Load);
    // The store's rows come without new aliases: a scan must not choose one meanwhile.
    const bool replacing = kind == LoadKind::Reload || kind == LoadKind::Restore;
    if (kind != LoadKind::Import)
        DoomRowsUpTo(replacing ? NewestRowId() : 0);
    auto request = std::make_unique<LoadRequest>(LoadRequest{dlg, kind, std::move(paths)});
    if (StartWorker(LoadWorker, request.get())) {
        request.release(); // the worker owns it now
        return;
    }
    SpareDoomedRows();
    store_busy = false;
    EndActivity(dlg, Activity::Load);
    SetStatus(dlg, L"Load failed!");
}

} // namespace

void StartLoad(HWND dlg, bool reload)
{
    StartLoading(dlg, reload ? LoadKind::Reload : LoadKind::Start, {HistoryPath(szConfigPath), szConfigPath});
}

void StartRestore(HWND dlg)
{
    StartLoading(dlg, LoadKind::Restore, {BackupPath(HistoryPath(szConfigPath)), BackupPath(szConfigPath)});
}

bool HasBackup()
{
    return GetFileAttributesW(BackupPath(HistoryPath(szConfigPath)).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void StartImport(HWND dlg, const std::wstring& config)
{
    StartLoading(dlg, LoadKind::Import, {HistoryPath(config.c_str()), config});
}

void StartSave(HWND dlg, int exit)
{
    if (store_unread &&
        MessageBoxW(dlg,
                    L"config.ini and history.dat could not be read when aliasdesk started. Saving now replaces the "
                    L"aliases they hold with the rows shown.\n\nSave anyway?",
                    L"Velkor", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES)
        return;
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

void CloseAfterSave(HWND dlg)
{
    close_after_save = true;
    EnableWindow(dlg, FALSE); // nothing more to do in it; it still paints
}

bool FilesHoldTheTableNow(unsigned changes, unsigned marked)
{
    TableSnapshot now;
    now.changes = changes;
    now.marked = marked;
    return FilesHoldTheTable(now);
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
    store_unread = false;
    close_after_save = false;
    pending_failure = {};
    for (int& count : activities)
        count = 0;
}

void ReportStoreFailure(HWND dlg)
{
    const PendingFailure failure = std::exchange(pending_failure, PendingFailure{});
    switch (failure.failure) {
    case kHistoryUnreadable:
    case kConfigUnreadable: {
        // The store's own files by name, as ever; another table's by its path.
        const bool own = failure.file == HistoryPath(szConfigPath) || failure.file == szConfigPath;
        const std::wstring shown = own ? FileNameOf(failure.file) : failure.file;
        wchar_t text[MAX_PATH + 64];
        FormatText(text, MAX_PATH + 64, L"Could not open %s file.", shown.c_str());
        MessageBoxW(nullptr, text, L"Velkor Error", MB_ICONERROR | MB_TOPMOST);
        return;
    }
    case kNoBackup:
        MessageBoxW(dlg, L"There is no previous save to restore.", L"Velkor Error", MB_ICONERROR | MB_TOPMOST);
        return;
    case kCommitPending:
        MessageBoxW(dlg,
                    L"The last save could not be completed yet: another program holds config.ini or history.dat. "
                    L"Try Reload again in a moment.",
                    L"Velkor Error", MB_ICONERROR | MB_TOPMOST);
        return;
    case kSaveFailed:
    case kSavePending:
        break;
    default:
        return; // told already
    }
    wchar_t reason[512] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, failure.error, 0, reason, 512,
                   nullptr);
    const wchar_t* what = failure.failure == kSavePending
        ? L"Could not put the saved config.ini and history.dat in place yet; the save will be completed the next "
          L"time aliasdesk starts."
        : L"Could not save config.ini and history.dat; the files saved before are kept.";
    wchar_t text[1024];
    FormatText(text, 1024, L"%s\n\n%s", what, reason);
    MessageBoxW(dlg, text, L"Velkor Error", MB_ICONERROR | MB_TOPMOST);
}

void ShowNotClosed(HWND dlg)
{
    MarkModified();
    SetStatus(dlg, L"Not closed: changed while saving.");
}
