#include "bench_report.h"

#include "wide_text.h"

#include <cstdio>
#include <sstream>
#include <utility>

namespace {

struct MeasureInfo {
    MeasureId id;
    const wchar_t* name;
};

constexpr MeasureInfo kInfo[] = {
    {MeasureId::Scan, L"scan"},
    {MeasureId::Save, L"save"},
    {MeasureId::Load, L"load"},
    {MeasureId::FilterSome, L"filter_10_percent"},
    {MeasureId::FilterAll, L"filter_all"},
    {MeasureId::MarkMissing, L"mark_missing_10_percent"},
    {MeasureId::MarkConflicts, L"mark_conflicts_10_percent"},
    {MeasureId::RemoveHalf, L"remove_half_selected"},
    {MeasureId::RemoveAll, L"remove_all_selected"},
};

const MeasureInfo& Info(MeasureId id)
{
    for (const MeasureInfo& info : kInfo) {
        if (info.id == id)
            return info;
    }
    return kInfo[0];
}

std::string JsonNumber(double value, const char* format = "%.6f")
{
    if (value < 0)
        return "null";
    char text[64];
    std::snprintf(text, sizeof(text), format, value);
    return text;
}

std::string JsonCount(int value)
{
    return value < 0 ? "null" : std::to_string(value);
}

double Ratio(const Measure& m)
{
    return m.seconds >= 0 && m.limit_seconds > 0 ? m.seconds / m.limit_seconds : -1;
}

std::string MeasureJson(const Measure& m)
{
    std::string json = "{\"status\": \"" + Narrow(m.status) + "\"";
    json += ", \"seconds\": " + JsonNumber(m.seconds);
    if (m.id == MeasureId::Scan || m.id == MeasureId::Save) {
        json += ", \"limit_seconds\": " + JsonNumber(m.limit_seconds);
        json += ", \"ratio\": " + JsonNumber(Ratio(m), "%.2f");
    }
    json += ", \"max_probe_ms\": " + JsonNumber(m.max_probe_ms, "%.1f");
    json += ", \"rows\": " + JsonCount(m.rows);
    json += ", \"expected_rows\": " + JsonCount(m.expected_rows) + "}";
    return json;
}

// A finished measure shows its value, marked ! when its rows were wrong and +
// when the guard cut it off (it took at least that); anything else shows its
// status.
std::wstring Cell(const Measure& m, double value, const wchar_t* format)
{
    const bool measured = m.status == L"ok" || m.status == L"wrong" || m.status == L"timeout";
    if (!measured || value < 0)
        return m.status;
    wchar_t text[64];
    FormatText(text, 64, format, value);
    const wchar_t* mark = m.status == L"wrong" ? L"!" : (m.status == L"timeout" ? L"+" : L"");
    return text + std::wstring(mark);
}

// Limits are measured apart from the program, so they stand whatever it did.
std::wstring LimitCell(double value, const wchar_t* format)
{
    if (value < 0)
        return L"-";
    wchar_t text[64];
    FormatText(text, 64, format, value);
    return text;
}

void AppendCell(std::wstring* line, const std::wstring& text, size_t width)
{
    *line += std::wstring(text.size() < width ? width - text.size() : 1, L' ') + text;
}

} // namespace

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

const wchar_t* MeasureName(MeasureId id)
{
    return Info(id).name;
}

bool MeasureFromName(const std::wstring& name, MeasureId* id)
{
    for (const MeasureInfo& info : kInfo) {
        if (name == info.name) {
            *id = info.id;
            return true;
        }
    }
    return false;
}

SizeResult MakeSizeResult(int rows)
{
    SizeResult size;
    size.rows = rows;
    for (MeasureId id : kMeasures) {
        Measure m;
        m.id = id;
        size.measures.push_back(m);
    }
    return size;
}

Measure* FindMeasure(SizeResult& size, MeasureId id)
{
    for (Measure& m : size.measures) {
        if (m.id == id)
            return &m;
    }
    return nullptr;
}

const Measure& GetMeasure(const SizeResult& size, MeasureId id)
{
    for (const Measure& m : size.measures) {
        if (m.id == id)
            return m;
    }
    return size.measures.front();
}

std::wstring BeginLine(MeasureId id)
{
    return std::wstring(L"begin ") + MeasureName(id) + L"\n";
}

std::wstring ResultLine(const Measure& m)
{
    wchar_t line[256];
    FormatText(line, 256, L"result %s %s %.6f %.6f %.3f %d %d\n", MeasureName(m.id), m.status.c_str(), m.seconds,
               m.limit_seconds, m.max_probe_ms, m.rows, m.expected_rows);
    return line;
}

ReportProgress ApplyReport(const std::wstring& text, SizeResult* size)
{
    ReportProgress progress;
    std::wistringstream lines(text);
    std::wstring line;
    while (std::getline(lines, line)) {
        std::wistringstream words(line);
        std::wstring kind, name;
        MeasureId id;
        if (!(words >> kind >> name) || !MeasureFromName(name, &id))
            continue;
        if (kind == L"begin") {
            ++progress.begun;
            progress.open = true;
            progress.last = id;
            continue;
        }
        Measure m;
        m.id = id;
        if (kind != L"result" ||
            !(words >> m.status >> m.seconds >> m.limit_seconds >> m.max_probe_ms >> m.rows >> m.expected_rows))
            continue; // a line cut short by a killed process
        *FindMeasure(*size, id) = m;
        if (progress.last == id)
            progress.open = false;
    }
    return progress;
}

std::string ResultsJson(const RunSettings& settings, const std::vector<SizeResult>& sizes)
{
    std::string json = "{\n  \"guard_seconds\": " + JsonNumber(settings.guard_seconds, "%.0f") +
        ",\n  \"key_gap_ms\": " + std::to_string(settings.key_gap_ms) + ",\n  \"sizes\": [";
    for (size_t i = 0; i < sizes.size(); ++i) {
        const SizeResult& size = sizes[i];
        json += i ? ",\n" : "\n";
        json += "    {\"rows\": " + std::to_string(size.rows) + ", \"folders\": " + std::to_string(size.folders) +
            ", \"other_files\": " + std::to_string(size.other_files) +
            ", \"generate_seconds\": " + JsonNumber(size.generate_seconds) + ",\n     \"measures\": {";
        for (size_t k = 0; k < size.measures.size(); ++k) {
            const Measure& m = size.measures[k];
            json += k ? ",\n" : "\n";
            json += "       \"" + Narrow(MeasureName(m.id)) + "\": " + MeasureJson(m);
        }
        json += "}}";
    }
    json += "\n  ]\n}\n";
    return json;
}

std::wstring ResultsTable(const std::vector<SizeResult>& sizes)
{
    std::wstring table = L"Seconds (limit: the same work done with bare file calls; ratio = time / limit)\n";
    table += L"   Rows    Scan    Walk   Ratio     Save   Write    Ratio    Load  Filter 10%  Filter *  Missing"
             L"  Conflicts  Remove 1/2  Remove all\n";
    for (const SizeResult& size : sizes) {
        std::wstring line;
        const Measure& scan = GetMeasure(size, MeasureId::Scan);
        const Measure& save = GetMeasure(size, MeasureId::Save);
        AppendCell(&line, std::to_wstring(size.rows), 7);
        AppendCell(&line, Cell(scan, scan.seconds, L"%.3f"), 8);
        AppendCell(&line, LimitCell(scan.limit_seconds, L"%.3f"), 8);
        AppendCell(&line, Cell(scan, Ratio(scan), L"%.1f"), 8);
        AppendCell(&line, Cell(save, save.seconds, L"%.3f"), 9);
        AppendCell(&line, LimitCell(save.limit_seconds, L"%.4f"), 8);
        AppendCell(&line, Cell(save, Ratio(save), L"%.0f"), 9);
        const Measure& load = GetMeasure(size, MeasureId::Load);
        const Measure& some = GetMeasure(size, MeasureId::FilterSome);
        const Measure& all = GetMeasure(size, MeasureId::FilterAll);
        AppendCell(&line, Cell(load, load.seconds, L"%.3f"), 8);
        AppendCell(&line, Cell(some, some.seconds, L"%.3f"), 12);
        AppendCell(&line, Cell(all, all.seconds, L"%.3f"), 10);
        for (const auto& [id, width] : {std::pair{MeasureId::MarkMissing, size_t{9}},
                                        std::pair{MeasureId::MarkConflicts, size_t{11}},
                                        std::pair{MeasureId::RemoveHalf, size_t{12}},
                                        std::pair{MeasureId::RemoveAll, size_t{12}}}) {
            const Measure& m = GetMeasure(size, id);
            AppendCell(&line, Cell(m, m.seconds, L"%.3f"), width);
        }
        table += line + L"\n";
    }
    table += L"\nLongest time the dialog took to answer a probe message during each run (ms)\n";
    table += L"   Rows    Scan    Save    Load  Filter 10%  Filter *  Missing  Conflicts  Remove 1/2  Remove all\n";
    for (const SizeResult& size : sizes) {
        std::wstring line;
        AppendCell(&line, std::to_wstring(size.rows), 7);
        const MeasureId order[] = {MeasureId::Scan,        MeasureId::Save,          MeasureId::Load,
                                   MeasureId::FilterSome,  MeasureId::FilterAll,     MeasureId::MarkMissing,
                                   MeasureId::MarkConflicts, MeasureId::RemoveHalf, MeasureId::RemoveAll};
        const size_t widths[] = {8, 8, 8, 12, 10, 9, 11, 12, 12};
        for (size_t i = 0; i < std::size(order); ++i) {
            const Measure& m = GetMeasure(size, order[i]);
            AppendCell(&line, Cell(m, m.max_probe_ms, L"%.1f"), widths[i]);
        }
        table += line + L"\n";
    }
    table += L"Marked !: finished with other rows than expected. Marked +: cut off by the guard, so at least that.\n";
    return table;
}
