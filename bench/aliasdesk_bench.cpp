// aliasdesk_bench: times the alias editor's real dialog on generated trees
// of 1,000 to 50,000 programs. Each size is measured in a process of its
// own, so that a run past its guard can be ended without ending the rest.
#include "bench_clock.h"
#include "bench_data.h"
#include "bench_driver.h"
#include "bench_report.h"
#include "handles.h"
#include "temp_dir.h"
#include "wide_text.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <limits>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kAllSizes[] = {1000, 5000, 10000, 20000, 50000};
constexpr int kQuickMaxRows = 5000;
constexpr double kStartAllowanceSeconds = 60; // the measuring process's start and its dialog's

struct Options {
    std::vector<int> sizes;
    double guard_seconds = 600;
    int key_gap_ms = 100;
    std::wstring out = L"build\\bench";
    bool child = false;
    MeasureJob job;
};

void Print(const std::wstring& text)
{
    std::fputs(Narrow(text).c_str(), stdout);
    std::fflush(stdout);
}

std::vector<int> ParseList(const wchar_t* text)
{
    std::vector<int> values;
    for (const wchar_t* p = text; *p;) {
        wchar_t* end = nullptr;
        const long value = wcstol(p, &end, 10);
        if (end == p)
            break;
        values.push_back(static_cast<int>(value));
        p = *end == L',' ? end + 1 : end;
    }
    return values;
}

std::vector<MeasureId> ParseMeasures(const wchar_t* text)
{
    std::vector<MeasureId> ids;
    std::wstring rest = text;
    while (!rest.empty()) {
        const size_t comma = rest.find(L',');
        MeasureId id;
        if (MeasureFromName(rest.substr(0, comma), &id))
            ids.push_back(id);
        rest = comma == std::wstring::npos ? L"" : rest.substr(comma + 1);
    }
    return ids;
}

const wchar_t kUsage[] = L"usage: aliasdesk_bench [--quick | --max-rows N | --rows N[,N...]] [--guard SECONDS]\n"
                         L"                       [--key-gap MS] [--out FOLDER]\n";

// What the running process passes to each measuring process.
bool ParseJobOption(const std::wstring& name, const wchar_t* value, MeasureJob* job)
{
    if (name == L"--tree")
        job->tree = value;
    else if (name == L"--store")
        job->store = value;
    else if (name == L"--limit")
        job->limit = value;
    else if (name == L"--report")
        job->report = value;
    else if (name == L"--expect")
        job->rows = _wtoi(value);
    else if (name == L"--expect-filtered")
        job->filter_matches = _wtoi(value);
    else if (name == L"--skip")
        job->skip = ParseMeasures(value);
    else
        return false;
    return true;
}

bool ParseValueOption(const std::wstring& name, const wchar_t* value, Options* options, int* max_rows)
{
    if (name == L"--max-rows")
        *max_rows = _wtoi(value);
    else if (name == L"--rows")
        options->sizes = ParseList(value);
    else if (name == L"--guard")
        options->guard_seconds = _wtof(value);
    else if (name == L"--key-gap")
        options->key_gap_ms = _wtoi(value);
    else if (name == L"--out")
        options->out = value;
    else
        return ParseJobOption(name, value, &options->job);
    return true;
}

bool ParseOptions(int argc, wchar_t** argv, Options* options)
{
    int max_rows = std::numeric_limits<int>::max();
    for (int i = 1; i < argc; ++i) {
        const std::wstring name = argv[i];
        if (name == L"--quick")
            max_rows = kQuickMaxRows;
        else if (name == L"--child")
            options->child = true;
        else if (i + 1 == argc || !ParseValueOption(name, argv[++i], options, &max_rows))
            return false;
    }
    if (options->sizes.empty()) {
        for (int rows : kAllSizes) {
            if (rows <= max_rows)
                options->sizes.push_back(rows);
        }
    }
    options->job.guard_seconds = options->guard_seconds;
    options->job.key_gap_ms = options->key_gap_ms;
    const bool sizes_valid =
        std::all_of(options->sizes.begin(), options->sizes.end(), [](int rows) { return rows > 0; });
    return options->guard_seconds > 0 && options->key_gap_ms >= 0 && !options->sizes.empty() && sizes_valid;
}

void MarkUnfinished(SizeResult* size, const wchar_t* status)
{
    for (Measure& m : size->measures) {
        if (m.status == L"not-run")
            m.status = status;
    }
}

std::wstring Quoted(const std::wstring& text)
{
    return L"\"" + text + L"\"";
}

std::wstring ReadText(const std::wstring& path)
{
    std::string bytes;
    ReadFileBytes(path, &bytes);
    return std::wstring(bytes.begin(), bytes.end());
}

std::wstring SkipList(const std::vector<MeasureId>& skip)
{
    std::wstring list;
    for (MeasureId id : skip)
        list += (list.empty() ? L"" : L",") + std::wstring(MeasureName(id));
    return list.empty() ? L"none" : list;
}

void PrintResult(const SizeResult& size, const Measure& m)
{
    wchar_t line[256];
    FormatText(line, 256, L"%7d rows  %-18s %-8s", size.rows, MeasureName(m.id), m.status.c_str());
    wchar_t times[128] = {};
    if (m.seconds >= 0)
        FormatText(times, 128, L" %10.3f s, the dialog answered within %.1f ms", m.seconds, m.max_probe_ms);
    Print(std::wstring(line) + times + L"\n");
}

std::wstring MeasuringCommand(const wchar_t* program, const Options& options, const MeasureJob& job)
{
    wchar_t guard[32];
    FormatText(guard, 32, L"%.0f", options.guard_seconds);
    return Quoted(program) + L" --child --expect " + std::to_wstring(job.rows) + L" --expect-filtered " +
        std::to_wstring(job.filter_matches) + L" --tree " + Quoted(job.tree) + L" --store " + Quoted(job.store) +
        L" --limit " + Quoted(job.limit) + L" --report " + Quoted(job.report) + L" --skip " + SkipList(job.skip) +
        L" --guard " + guard + L" --key-gap " + std::to_wstring(options.key_gap_ms);
}

// Copies results from the report as they come, until the process ends or a
// measure outlives the guard; true when the process had to be ended.
bool FollowReport(HANDLE process, const Options& options, const MeasureJob& job, SizeResult* size,
                  ReportProgress* progress)
{
    double deadline = Now() + options.guard_seconds + kStartAllowanceSeconds;
    std::set<MeasureId> printed;
    for (;;) {
        const bool ended = WaitForSingleObject(process, 200) == WAIT_OBJECT_0;
        const ReportProgress now = ApplyReport(ReadText(job.report), size);
        if (now.begun != progress->begun)
            deadline = Now() + options.guard_seconds;
        *progress = now;
        for (const Measure& m : size->measures) {
            if (m.status != L"not-run" && m.status != L"skipped" && printed.insert(m.id).second)
                PrintResult(*size, m);
        }
        if (ended)
            return false;
        if (Now() > deadline) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, INFINITE);
            return true;
        }
    }
}

void RunMeasuringProcess(const Options& options, const MeasureJob& job, SizeResult* size)
{
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring command = MeasuringCommand(program, options, job);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(program, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
        MarkUnfinished(size, L"failed");
        return;
    }
    UniqueHandle process(started.hProcess);
    UniqueHandle thread(started.hThread);

    ReportProgress progress;
    const bool killed = FollowReport(process.get(), options, job, size, &progress);
    if (progress.open) {
        Measure* m = FindMeasure(*size, progress.last);
        m->status = killed ? L"timeout" : L"failed";
        if (killed)
            m->seconds = options.guard_seconds; // it ran that long from its begin
        PrintResult(*size, *m);
        return;
    }
    DWORD exit_code = 0;
    if (killed || (GetExitCodeProcess(process.get(), &exit_code) && exit_code == kDialogNotOpened)) {
        Print(L"The measuring process could not open the dialog.\n");
        MarkUnfinished(size, L"failed");
    }
}

// What an earlier size showed will not finish in time is not tried again.
std::vector<MeasureId> MeasuresToSkip(const std::set<MeasureId>& timed_out)
{
    if (timed_out.count(MeasureId::Scan))
        return std::vector<MeasureId>(std::begin(kMeasures), std::end(kMeasures));
    std::vector<MeasureId> skip(timed_out.begin(), timed_out.end());
    if (timed_out.count(MeasureId::Save))
        skip.push_back(MeasureId::Load); // it loads what the save wrote
    return skip;
}

// Generates the size's tree and walks it bare: the scan's limit, taken
// before the scan so that it stands even when the scan times out.
bool PrepareTree(MeasureJob* job, SizeResult* size)
{
    Print(L"Generating " + std::to_wstring(size->rows) + L" programs among " +
          std::to_wstring(size->rows * kOtherFilesPerProgram) + L" other files...\n");
    TreeShape shape;
    const double start = Now();
    const bool generated = MakeDirs(job->store) && MakeDirs(job->limit) && GenerateTree(job->tree, size->rows, &shape);
    size->generate_seconds = Now() - start;
    size->folders = shape.folders;
    size->other_files = shape.other_files;
    job->rows = shape.programs;
    job->filter_matches = shape.filter_matches;
    int walked = 0;
    FindMeasure(*size, MeasureId::Scan)->limit_seconds = BestOfFewRuns([&] {
        walked = BareWalk(job->tree);
        return true;
    });
    return generated && walked == job->rows;
}

SizeResult MeasureSize(const Options& options, const std::wstring& work, int rows, std::set<MeasureId>* timed_out)
{
    SizeResult size = MakeSizeResult(rows);
    MeasureJob job;
    job.skip = MeasuresToSkip(*timed_out);
    for (MeasureId id : job.skip)
        FindMeasure(size, id)->status = L"skipped";
    if (job.skip.size() == std::size(kMeasures))
        return size;

    const std::wstring folder = work + L"\\" + std::to_wstring(rows);
    job.tree = folder + L"\\Programs";
    job.store = folder + L"\\aliasdesk";
    job.limit = folder + L"\\limit";
    job.report = folder + L"\\report.txt";
    if (PrepareTree(&job, &size)) {
        const double walk_seconds = FindMeasure(size, MeasureId::Scan)->limit_seconds;
        RunMeasuringProcess(options, job, &size);
        FindMeasure(size, MeasureId::Scan)->limit_seconds = walk_seconds; // the report has none
    } else {
        Print(L"Could not generate the tree.\n");
        MarkUnfinished(&size, L"failed");
    }
    RemoveTree(folder);
    for (const Measure& m : size.measures) {
        if (m.status == L"timeout")
            timed_out->insert(m.id);
    }
    return size;
}

std::wstring FullPath(const std::wstring& path)
{
    wchar_t full[MAX_PATH] = {};
    const DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH ? full : path;
}

bool AnyFault(const std::vector<SizeResult>& sizes)
{
    for (const SizeResult& size : sizes) {
        for (const Measure& m : size.measures) {
            if (m.status == L"wrong" || m.status == L"failed")
                return true;
        }
    }
    return false;
}

int RunAllSizes(const Options& options)
{
    const std::wstring out = FullPath(options.out);
    if (!MakeDirs(out)) {
        Print(L"Cannot create the results folder " + out + L"\n");
        return 2;
    }
    TempDir work(L"-bench");
    if (work.path().empty()) {
        Print(L"Cannot create a temporary folder.\n");
        return 2;
    }
    const RunSettings settings{options.guard_seconds, options.key_gap_ms};
    std::vector<SizeResult> sizes;
    std::set<MeasureId> timed_out;
    for (int rows : options.sizes) {
        sizes.push_back(MeasureSize(options, work.path(), RoundedRowCount(rows), &timed_out));
        WriteFileBytes(out + L"\\results.json", ResultsJson(settings, sizes)); // kept up to date as sizes finish
    }
    Print(L"\n" + ResultsTable(sizes) + L"Results: " + out + L"\\results.json\n");
    return AnyFault(sizes) ? 1 : 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        Print(kUsage);
        return 2;
    }
    if (options.child)
        return MeasureOneSize(options.job);
    return RunAllSizes(options);
}
