// The benchmark's own parts: the generated tree is what the measures expect
// of it, a small size measured on the real dialog comes out right (and a
// wrong expectation shows), and the report between the processes keeps what
// was measured.
#include "bench_data.h"
#include "ascii_text.h"
#include "bench_driver.h"
#include "bench_report.h"
#include "temp_dir.h"
#include "test_row.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <map>

namespace {

struct Census {
    int programs = 0;
    int others = 0;
    std::map<std::wstring, int> stems; // program names, lowered, without .exe
};

void TakeCensus(const std::wstring& folder, Census* census)
{
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    do {
        const std::wstring found = entry.cFileName;
        if (found == L"." || found == L"..")
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            TakeCensus(folder + L"\\" + found, census);
            continue;
        }
        const std::wstring name = test::Lowered(found);
        if (name.size() > 4 && name.ends_with(L".exe")) {
            ++census->programs;
            ++census->stems[name.substr(0, name.size() - 4)];
        } else {
            ++census->others;
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
}

int CountStemsStartingWith(const Census& census, const std::wstring& prefix)
{
    int count = 0;
    for (const auto& [stem, copies] : census.stems)
        count += stem.starts_with(prefix) ? copies : 0;
    return count;
}

class BenchTree : public ::testing::Test {
protected:
    // Generates a tree of that many programs and counts what is on disk.
    void Generate(int programs)
    {
        ASSERT_TRUE(GenerateTree(dir_ / L"tree", programs, &shape_));
        TakeCensus(dir_ / L"tree", &census_);
    }

    TempDir dir_;
    TreeShape shape_;
    Census census_;
};

TEST_F(BenchTree, HoldsThePrograms_AndFiveTimesAsManyOtherFiles)
{
    Generate(40);
    EXPECT_EQ(40, shape_.programs);
    EXPECT_EQ(40, census_.programs);
    EXPECT_EQ(200, shape_.other_files);
    EXPECT_EQ(200, census_.others);
    EXPECT_EQ(4, shape_.folders);
    EXPECT_EQ(40, BareWalk(dir_ / L"tree"));
}

TEST_F(BenchTree, RepeatsSomeNamesAcrossFolders_AndMatchesThePatternInATenth)
{
    Generate(100);

    int repeated_names = 0;
    for (const auto& [stem, copies] : census_.stems) {
        if (copies > 1) {
            ++repeated_names;
            EXPECT_EQ(5, copies) << "the name " << NarrowAscii(stem);
        }
    }
    EXPECT_EQ(2, repeated_names); // ten folders, five sharing each name
    EXPECT_EQ(10, shape_.shared_name_programs);
    EXPECT_EQ(10, shape_.filter_matches);
    EXPECT_EQ(10, CountStemsStartingWith(census_, kFilterPattern));
    // The first typed letter alone matches more, so its list is not the final one.
    EXPECT_EQ(20, CountStemsStartingWith(census_, std::wstring(kFilterPattern, 1)));
}

TEST_F(BenchTree, SizesRoundUpToWholeFolders_AndATreeIsNotWrittenTwice)
{
    EXPECT_EQ(10, RoundedRowCount(1));
    EXPECT_EQ(10, RoundedRowCount(10));
    EXPECT_EQ(20, RoundedRowCount(11));
    EXPECT_EQ(50000, RoundedRowCount(50000));

    Generate(10);
    EXPECT_FALSE(GenerateTree(dir_ / L"tree", 10, &shape_));
}

Measure Finished(MeasureId id, double seconds, int rows)
{
    Measure m;
    m.id = id;
    m.status = L"ok";
    m.seconds = seconds;
    m.max_probe_ms = 12.5;
    m.rows = rows;
    m.expected_rows = rows;
    return m;
}

TEST(BenchReport, ResultLinesComeBackAsMeasured)
{
    Measure save = Finished(MeasureId::Save, 1.5, 1000);
    save.limit_seconds = 0.001;
    const std::wstring text = BeginLine(MeasureId::Scan) + ResultLine(Finished(MeasureId::Scan, 2.25, 1000)) +
        BeginLine(MeasureId::Save) + ResultLine(save);

    SizeResult size = MakeSizeResult(1000);
    const ReportProgress progress = ApplyReport(text, &size);
    EXPECT_EQ(2, progress.begun);
    EXPECT_FALSE(progress.open);

    const Measure& back = GetMeasure(size, MeasureId::Save);
    EXPECT_EQ(L"ok", back.status);
    EXPECT_DOUBLE_EQ(1.5, back.seconds);
    EXPECT_DOUBLE_EQ(0.001, back.limit_seconds);
    EXPECT_DOUBLE_EQ(12.5, back.max_probe_ms);
    EXPECT_EQ(1000, back.rows);
    EXPECT_DOUBLE_EQ(2.25, GetMeasure(size, MeasureId::Scan).seconds);
    EXPECT_EQ(L"not-run", GetMeasure(size, MeasureId::Load).status);
}

TEST(BenchReport, AMeasureBegunWithoutItsWholeResultIsStillOpen)
{
    const std::wstring text = BeginLine(MeasureId::Scan) + ResultLine(Finished(MeasureId::Scan, 2, 10)) +
        BeginLine(MeasureId::FilterSome) + L"result filter_10_percent ok 0.5"; // the process was ended here

    SizeResult size = MakeSizeResult(10);
    const ReportProgress progress = ApplyReport(text, &size);
    EXPECT_TRUE(progress.open);
    EXPECT_EQ(MeasureId::FilterSome, progress.last);
    EXPECT_EQ(L"not-run", GetMeasure(size, MeasureId::FilterSome).status);
}

TEST(BenchReport, JsonAndTableShowRatios_AndWhatWasNotMeasured)
{
    SizeResult size = MakeSizeResult(1000);
    Measure* scan = FindMeasure(size, MeasureId::Scan);
    *scan = Finished(MeasureId::Scan, 2, 1000);
    scan->limit_seconds = 0.5;
    FindMeasure(size, MeasureId::Save)->status = L"timeout"; // the process was ended: no time of its own
    FindMeasure(size, MeasureId::Load)->status = L"timeout";
    FindMeasure(size, MeasureId::Load)->seconds = 600; // it stopped itself at the guard
    FindMeasure(size, MeasureId::FilterSome)->status = L"skipped";
    *FindMeasure(size, MeasureId::FilterAll) = Finished(MeasureId::FilterAll, 3, 900);
    FindMeasure(size, MeasureId::FilterAll)->status = L"wrong";

    const std::string json = ResultsJson(RunSettings{600, 100}, {size});
    EXPECT_NE(std::string::npos, json.find("\"ratio\": 4.00"));
    EXPECT_NE(std::string::npos, json.find("\"save\": {\"status\": \"timeout\", \"seconds\": null"));
    EXPECT_NE(std::string::npos, json.find("\"guard_seconds\": 600"));

    const std::wstring table = ResultsTable({size});
    EXPECT_NE(std::wstring::npos, table.find(L"timeout"));
    EXPECT_NE(std::wstring::npos, table.find(L"skipped"));
    EXPECT_NE(std::wstring::npos, table.find(L"600.000+"));
    EXPECT_NE(std::wstring::npos, table.find(L"3.000!")); // finished, with other rows than expected
}

class BenchMeasures : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(GenerateTree(dir_ / L"tree", 30, &shape_));
        ASSERT_TRUE(MakeDirs(dir_ / L"store"));
        ASSERT_TRUE(MakeDirs(dir_ / L"limit"));
        job_.rows = shape_.programs;
        job_.filter_matches = shape_.filter_matches;
        job_.tree = dir_ / L"tree";
        job_.store = dir_ / L"store";
        job_.limit = dir_ / L"limit";
        job_.report = dir_ / L"report.txt";
        job_.guard_seconds = 120; // a hang guard: the measuring ends the process past it
        job_.key_gap_ms = 20;
    }

    void TearDown() override
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        SetCurrentDirectoryW(temp); // the dialog's start made the store current; let it go
    }

    SizeResult Measured()
    {
        EXPECT_EQ(0, MeasureOneSize(job_));
        std::string report;
        EXPECT_TRUE(ReadFileBytes(job_.report, &report));
        SizeResult size = MakeSizeResult(job_.rows);
        ApplyReport(std::wstring(report.begin(), report.end()), &size);
        return size;
    }

    TempDir dir_;
    TreeShape shape_;
    MeasureJob job_;
};

TEST_F(BenchMeasures, EveryMeasureOfASmallSizeFinishesWithTheExpectedRows)
{
    const SizeResult size = Measured();
    const int expected[] = {30, 30, 30, 3, 30, 3, 2, 15, 0}; // by MeasureId
    for (const Measure& m : size.measures) {
        const std::wstring name = MeasureName(m.id);
        SCOPED_TRACE(NarrowAscii(name));
        EXPECT_EQ(L"ok", m.status);
        EXPECT_EQ(expected[static_cast<int>(m.id)], m.rows);
        EXPECT_GE(m.seconds, 0);
        EXPECT_GE(m.max_probe_ms, 0);
    }
    EXPECT_GT(GetMeasure(size, MeasureId::Save).limit_seconds, 0);

    std::string history;
    ASSERT_TRUE(ReadFileBytes(job_.store + L"\\history.dat", &history));
    int names = 0;
    for (size_t i = 0; i + 1 < history.size(); i += 2)
        names += (history[i] == 0 && history[i + 1] == 0) ? 1 : 0;
    EXPECT_EQ(30, names);
}

TEST_F(BenchMeasures, ARunWithOtherRowsThanExpectedIsMarkedWrong)
{
    job_.rows = shape_.programs + 1;
    job_.skip = {MeasureId::FilterSome, MeasureId::FilterAll, MeasureId::Save, MeasureId::Load};
    const SizeResult size = Measured();
    const Measure& scan = GetMeasure(size, MeasureId::Scan);
    EXPECT_EQ(L"wrong", scan.status);
    EXPECT_EQ(30, scan.rows);
    EXPECT_EQ(L"not-run", GetMeasure(size, MeasureId::Save).status); // skipped ones are not run
}

TEST_F(BenchMeasures, AFilterListThatSettlesShortIsMarkedWrong)
{
    job_.filter_matches = shape_.filter_matches + 1;
    job_.skip = {MeasureId::FilterAll, MeasureId::Save, MeasureId::Load};
    const SizeResult size = Measured();
    EXPECT_EQ(L"ok", GetMeasure(size, MeasureId::Scan).status);
    const Measure& filter = GetMeasure(size, MeasureId::FilterSome);
    EXPECT_EQ(L"wrong", filter.status);
    EXPECT_EQ(3, filter.rows);
}

} // namespace
