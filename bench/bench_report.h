// What one benchmark run found, how a measuring process hands it to the
// process that runs the sizes, and how the results are printed and stored.
#pragma once

#include <string>
#include <vector>

// MarkMissing: the check of every row's program after a tenth of them went.
// MarkConflicts: the marks after every tenth row took the alias of the row above.
// RemoveHalf, RemoveAll: Remove with every second row, then every row, selected.
enum class MeasureId { Scan, Save, Load, FilterSome, FilterAll, MarkMissing, MarkConflicts, RemoveHalf, RemoveAll };
constexpr MeasureId kMeasures[] = {MeasureId::Scan,          MeasureId::FilterSome, MeasureId::FilterAll,
                                   MeasureId::Save,          MeasureId::Load,       MeasureId::MarkMissing,
                                   MeasureId::MarkConflicts, MeasureId::RemoveHalf, MeasureId::RemoveAll}; // run order

const wchar_t* MeasureName(MeasureId id);
bool MeasureFromName(const std::wstring& name, MeasureId* id);

struct Measure {
    MeasureId id = MeasureId::Scan;
    // ok, wrong (finished with other rows than expected), timeout, failed,
    // skipped (timed out at a smaller size) or not-run.
    std::wstring status = L"not-run";
    double seconds = -1; // negative: none
    double limit_seconds = -1; // the bare file-system work, where there is one
    double max_probe_ms = -1; // longest wait for the dialog to answer
    int rows = -1;
    int expected_rows = -1;
};

struct SizeResult {
    int rows = 0;
    int folders = 0;
    int other_files = 0;
    double generate_seconds = -1;
    std::vector<Measure> measures; // one per kMeasures entry, in that order
};

SizeResult MakeSizeResult(int rows);
Measure* FindMeasure(SizeResult& size, MeasureId id);
const Measure& GetMeasure(const SizeResult& size, MeasureId id);

// One line of the report a measuring process appends to.
std::wstring BeginLine(MeasureId id);
std::wstring ResultLine(const Measure& measure);

struct ReportProgress {
    int begun = 0; // measures that have begun
    bool open = false; // the last one begun has no result yet
    MeasureId last = MeasureId::Scan;
};

// Copies the results in a report's text into size.
ReportProgress ApplyReport(const std::wstring& text, SizeResult* size);

struct RunSettings {
    double guard_seconds = 0;
    int key_gap_ms = 0;
};

// Everything the benchmark writes is ASCII; anything else shows as '?'.
std::string Narrow(const std::wstring& text);

std::string ResultsJson(const RunSettings& settings, const std::vector<SizeResult>& sizes);
std::wstring ResultsTable(const std::vector<SizeResult>& sizes);
