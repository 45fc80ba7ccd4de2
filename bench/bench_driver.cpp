#include "bench_driver.h"

#include "aliasdesk_ids.h"
#include "app_state.h"
#include "bench_clock.h"
#include "bench_data.h"
#include "bench_probe.h"
#include "cell_edit.h"
#include "conflicts.h"
#include "handles.h"
#include "main_dialog.h"
#include "main_table.h"
#include "missing_targets.h"
#include "report_table.h"
#include "resource_dialog.h"
#include "row_removal.h"
#include "temp_dir.h"
#include "workers.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <functional>

namespace {

constexpr double kButtonWaitSeconds = 10;
// A filter list that stops changing for this long with other rows than
// expected is taken as the program's final answer.
constexpr double kSettledSeconds = 3;

void AppendToReport(const std::wstring& path, const std::wstring& line)
{
    const std::string bytes = Narrow(line);
    UniqueHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file)
        WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// The program's dialog, waited on as the program's own loop dispatches
// (dialog keys included), so that workers sending to it are answered at once.
class DialogSession : public ResourceDialog {
public:
    explicit DialogSession(const MeasureJob& job) : ResourceDialog(true), job_(job) { }

    // The program's start, in its own folder.
    bool Open()
    {
        if (!SetCurrentDirectoryW(job_.store.c_str()) || !BuildConfigPath((job_.store + L"\\").c_str()) ||
            !SuperclassListView() || !Create(IDD_MAIN, MainDlgProc))
            return false;
        return WaitFor([] { return RunningWorkerCount() == 0; }); // the start-up load
    }

    // Dispatching until done() or the measure's guard; false at the guard.
    // A short poll: the end of a worker wakes nobody, and it bounds how late an end is seen.
    bool WaitFor(const std::function<bool()>& done) const
    {
        return ResourceDialog::WaitFor(done, GuardMs(job_.guard_seconds), 1);
    }

    // A user can click only an enabled button.
    bool WaitEnabled(int id) const
    {
        HWND button = Item(id);
        return ResourceDialog::WaitFor([button] { return IsWindowEnabled(button) != FALSE; },
                                       GuardMs(kButtonWaitSeconds), 1);
    }

    std::wstring Status() const { return Text(IDC_STATUS); }

    // The check of the programs that a scan or load starts at its end is timed on its own.
    bool Finished() const { return Status() == L"Finished!" && RunningWorkerCount() == RunningTargetChecks(); }

    int RowCount(int list_id) const { return static_cast<int>(SendMessageW(Item(list_id), LVM_GETITEMCOUNT, 0, 0)); }

    int CountLabel() const { return static_cast<int>(GetDlgItemInt(dlg_, IDC_COUNT, nullptr, FALSE)); }

    bool Shown(int id) const { return (GetWindowLongPtrW(Item(id), GWL_STYLE) & WS_VISIBLE) != 0; }

private:
    static DWORD GuardMs(double seconds) { return static_cast<DWORD>(seconds * 1000); }

    const MeasureJob& job_;
};

// Times press-to-finished with the probe running; the result still needs
// its rows and status.
Measure TimePress(DialogSession& session, MeasureId id, int button, int expected_rows)
{
    Measure m;
    m.id = id;
    m.expected_rows = expected_rows;
    if (!session.WaitEnabled(button)) {
        m.status = L"failed";
        return m;
    }
    ResponsivenessProbe probe(session.dlg());
    const double start = Now();
    session.Click(button);
    const bool finished = session.WaitFor([&session] { return session.Finished(); });
    m.seconds = Now() - start;
    m.max_probe_ms = probe.Stop();
    m.status = finished ? L"ok" : L"timeout";
    return m;
}

// For the runs that fill the main list: both it and the count label must
// end up with every program.
Measure TimeFillingMainList(DialogSession& session, MeasureId id, int button, int rows)
{
    Measure m = TimePress(session, id, button, rows);
    if (m.status != L"ok")
        return m;
    m.rows = session.RowCount(IDC_MAIN_LIST);
    if (m.rows != rows || session.CountLabel() != rows)
        m.status = L"wrong";
    return m;
}

Measure MeasureScan(DialogSession& session, const MeasureJob& job)
{
    SetDlgItemTextW(session.dlg(), IDC_PATH, job.tree.c_str()); // as typed into the path box
    return TimeFillingMainList(session, MeasureId::Scan, IDC_ADD, job.rows);
}

void TypeChar(HWND box, wchar_t c)
{
    SendMessageW(box, WM_CHAR, c, 1);
}

// Typed as a user types: one character, a pause, the next.
Measure MeasureFilter(DialogSession& session, const MeasureJob& job, MeasureId id, const std::wstring& pattern,
                      int expected_rows)
{
    Measure m;
    m.id = id;
    m.expected_rows = expected_rows;
    HWND box = session.Item(IDC_FILTER);
    SetFocus(box);
    const DWORD gap_ms = static_cast<DWORD>(job.key_gap_ms);

    ResponsivenessProbe probe(session.dlg());
    for (size_t i = 0; i + 1 < pattern.size(); ++i) {
        TypeChar(box, pattern[i]);
        PumpFor(gap_ms, {session.dlg(), false, 1});
    }
    const double start = Now();
    TypeChar(box, pattern.back());
    int last_count = -1;
    double last_change = start;
    const bool finished = session.WaitFor([&] {
        const int count = session.RowCount(IDC_FILTER_LIST);
        if (count != last_count) {
            last_count = count;
            last_change = Now();
        }
        if (RunningWorkerCount() != 0)
            return false;
        const bool complete = session.Shown(IDC_FILTER_LIST) && count == expected_rows;
        return complete || Now() - last_change >= kSettledSeconds;
    });
    m.seconds = Now() - start;
    m.max_probe_ms = probe.Stop();
    m.rows = session.RowCount(IDC_FILTER_LIST);
    m.status = !finished ? L"timeout" : (m.rows == expected_rows ? L"ok" : L"wrong");

    // Back to the full list, untimed.
    for (size_t i = 0; i < pattern.size(); ++i)
        TypeChar(box, VK_BACK);
    session.WaitFor([&session] { return RunningWorkerCount() == 0 && session.Shown(IDC_MAIN_LIST); });
    return m;
}

int CountNames(const std::string& history)
{
    int names = 0;
    for (size_t i = 0; i + 1 < history.size(); i += 2)
        names += (history[i] == 0 && history[i + 1] == 0) ? 1 : 0;
    return names;
}

double BareWriteSeconds(const MeasureJob& job, const std::string& config, const std::string& history)
{
    return BestOfFewRuns([&] {
        return WriteFileBytes(job.limit + L"\\config.ini", config) &&
            WriteFileBytes(job.limit + L"\\history.dat", history);
    });
}

// The table from the scan is unsaved work, so Apply saves it.
Measure MeasureSave(DialogSession& session, const MeasureJob& job)
{
    Measure m = TimePress(session, MeasureId::Save, IDC_APPLY, job.rows);
    if (m.status != L"ok")
        return m;
    std::string config, history;
    if (!ReadFileBytes(job.store + L"\\config.ini", &config) ||
        !ReadFileBytes(job.store + L"\\history.dat", &history)) {
        m.status = L"wrong";
        return m;
    }
    m.rows = CountNames(history);
    m.limit_seconds = BareWriteSeconds(job, config, history);
    if (m.rows != job.rows)
        m.status = L"wrong";
    return m;
}

// Removes every tenth row's program (untimed); how many went.
int RemoveEveryTenthProgram(DialogSession& session)
{
    const int rows = session.RowCount(IDC_MAIN_LIST);
    int removed = 0;
    for (int row = 0; row < rows; row += 10) {
        const MallocText path = CellText(pMainTable, row, 2);
        removed += path && DeleteFileW(path.get()) ? 1 : 0;
    }
    return removed;
}

Measure MeasureMarkMissing(DialogSession& session)
{
    Measure m;
    m.id = MeasureId::MarkMissing;
    m.expected_rows = RemoveEveryTenthProgram(session);
    ResponsivenessProbe probe(session.dlg());
    const double start = Now();
    CheckAllTargets();
    const bool finished = session.WaitFor([] { return RunningWorkerCount() == 0; });
    m.seconds = Now() - start;
    m.max_probe_ms = probe.Stop();
    m.rows = SelectMarkedRows(session.Item(IDC_MAIN_LIST), kMarkMissing);
    m.status = !finished ? L"timeout" : (m.rows == m.expected_rows ? L"ok" : L"wrong");
    return m;
}

// Every tenth row takes the alias of the row above it (untimed), as edits
// would; the time until the pass that follows has marked them all.
Measure MeasureMarkConflicts(DialogSession& session)
{
    Measure m;
    m.id = MeasureId::MarkConflicts;
    HWND list = session.Item(IDC_MAIN_LIST);
    const int rows = session.RowCount(IDC_MAIN_LIST);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    for (int row = 10; row < rows; row += 10)
        SetCellText(pMainTable, row, 0, CellText(pMainTable, row - 1, 0).get());
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    m.expected_rows = (rows - 1) / 10;
    ResponsivenessProbe probe(session.dlg());
    const double start = Now();
    const bool finished = session.WaitFor(
        [&] { return RunningConflictChecks() == 0 && CountMarkedRows(kMarkAliasRepeat) == m.expected_rows; });
    m.seconds = Now() - start;
    m.max_probe_ms = probe.Stop();
    m.rows = CountMarkedRows(kMarkAliasRepeat);
    m.status = !finished ? L"timeout" : (m.rows == m.expected_rows ? L"ok" : L"wrong");
    return m;
}

// Selects every row, or every second one, as Ctrl+A or clicks would (untimed).
int SelectRows(DialogSession& session, int every)
{
    HWND list = session.Item(IDC_MAIN_LIST);
    const int rows = session.RowCount(IDC_MAIN_LIST);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    int selected = 0;
    for (int row = 0; row < rows; row += every, ++selected)
        SelectRow(list, row);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    return selected;
}

// Remove with the rows selected, until the last of them has gone.
Measure MeasureRemove(DialogSession& session, MeasureId id, int every)
{
    Measure m;
    m.id = id;
    m.expected_rows = session.RowCount(IDC_MAIN_LIST) - SelectRows(session, every);
    ResponsivenessProbe probe(session.dlg());
    const double start = Now();
    session.Click(IDC_REMOVE);
    const bool finished = session.WaitFor([] { return RunningRemovals() == 0; });
    m.seconds = Now() - start;
    m.max_probe_ms = probe.Stop();
    m.rows = session.RowCount(IDC_MAIN_LIST);
    m.status = !finished ? L"timeout" : (m.rows == m.expected_rows ? L"ok" : L"wrong");
    return m;
}

Measure RunMeasure(DialogSession& session, const MeasureJob& job, MeasureId id)
{
    switch (id) {
    case MeasureId::Scan:
        return MeasureScan(session, job);
    case MeasureId::FilterSome:
        return MeasureFilter(session, job, id, kFilterPattern, job.filter_matches);
    case MeasureId::FilterAll:
        return MeasureFilter(session, job, id, L"*", job.rows);
    case MeasureId::Save:
        return MeasureSave(session, job);
    case MeasureId::Load:
        return TimeFillingMainList(session, id, IDC_RELOAD, job.rows);
    case MeasureId::MarkMissing:
        return MeasureMarkMissing(session);
    case MeasureId::MarkConflicts:
        return MeasureMarkConflicts(session);
    case MeasureId::RemoveHalf:
        return MeasureRemove(session, id, 2);
    case MeasureId::RemoveAll:
        return MeasureRemove(session, id, 1);
    }
    return Measure{};
}

} // namespace

int MeasureOneSize(const MeasureJob& job)
{
    DialogSession session(job);
    if (!session.Open())
        return kDialogNotOpened;
    for (MeasureId id : kMeasures) {
        if (std::find(job.skip.begin(), job.skip.end(), id) != job.skip.end())
            continue;
        AppendToReport(job.report, BeginLine(id));
        const Measure m = RunMeasure(session, job, id);
        AppendToReport(job.report, ResultLine(m));
        if (m.status == L"timeout")
            TerminateProcess(GetCurrentProcess(), 3); // workers may still run; nothing after this is fair
        session.WaitFor([] { return RunningWorkerCount() == 0; }); // nothing runs on into the next measure
    }
    session.Close();
    return 0;
}
