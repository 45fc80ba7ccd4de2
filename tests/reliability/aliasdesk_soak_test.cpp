// The real aliasdesk.exe through many cycles of scan, sort, edit, filter,
// remove, Apply and Reload, checked against a model of the table the driver
// keeps itself; what the process holds must not grow with the cycles.
#include "aliasdesk_driver.h"
#include "aliasdesk_ids.h"
#include "ascii_text.h"
#include "process_usage.h"
#include "run_length.h"
#include "store_pair.h"
#include "table_model.h"
#include "temp_dir.h"
#include "wide_text.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class AliasdeskSoak : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = dir_ / L"Programs";
        ASSERT_TRUE(MakeDirs(folder_));
        for (int i = 0; i < 24; ++i) {
            wchar_t name[32];
            FormatText(name, 32, L"\\Tool%02d.%s", i, i % 5 ? L"exe" : L"EXE");
            ASSERT_TRUE(WriteFileBytes(folder_ + name, "MZ"));
        }
        desk_ = std::make_unique<AliasDesk>(dir_.path());
        ASSERT_TRUE(desk_->ready()) << desk_->NotReadyReason();
        SetForegroundWindow(desk_->dlg());
    }

    // Shown rows equal the model's, within a guard (sorting and filtering run on).
    ::testing::AssertionResult Shows(int list_id, const std::vector<test::Row>& rows)
    {
        std::vector<test::Row> shown;
        if (PollUntil(
                [&] {
                    shown = desk_->Rows(list_id);
                    return shown == rows;
                },
                10000))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the list shows " << ::testing::PrintToString(shown)
                                             << "\nthe model has " << ::testing::PrintToString(rows);
    }

    void Cycle(int cycle);

    TempDir dir_;
    std::wstring folder_;
    std::unique_ptr<AliasDesk> desk_;
    TableModel model_;
    int idle_threads_ = 0;
};

void AliasdeskSoak::Cycle(int cycle)
{
    // Scan: the same folder again after Reload lists only what is missing.
    desk_->TypePath(cycle % 2 ? folder_ + L"\\" : folder_);
    desk_->MarkStatus();
    ASSERT_TRUE(desk_->Click(IDC_ADD));
    ASSERT_TRUE(desk_->WaitIdle());
    model_.Scan(folder_, ProgramsIn(folder_));
    ASSERT_EQ(model_.rows, desk_->Rows(IDC_MAIN_LIST));
    EXPECT_EQ(std::to_wstring(model_.rows.size()), desk_->Text(IDC_COUNT));

    desk_->ClickHeader(IDC_MAIN_LIST, cycle % 3);
    model_.Sort(cycle % 3);
    ASSERT_TRUE(Shows(IDC_MAIN_LIST, model_.rows)) << "after sorting by column " << cycle % 3;

    // An edit in the main list: the parameter, or the path on odd cycles.
    const int row = cycle % std::min<int>(10, static_cast<int>(model_.rows.size()));
    const int column = cycle % 2 ? 2 : 1;
    const std::wstring text = column == 1 ? L"/Param" + std::to_wstring(cycle) : L"C:\\Moved\\Tool.EXE";
    ASSERT_TRUE(desk_->EditCell(IDC_MAIN_LIST, row, column, text));
    model_.Edit(model_.rows[static_cast<size_t>(row)].alias, column, text);
    ASSERT_TRUE(Shows(IDC_MAIN_LIST, model_.rows)) << "after the edit";

    // Typing the filter: one worker per character, each overtaking the last.
    const int threads_before = ThreadCount(desk_->program().pid());
    desk_->Type(L"tOOl1");
    ASSERT_TRUE(desk_->WaitPostedHandled());
    ASSERT_TRUE(desk_->WaitThreadsAtMost(threads_before));
    const std::vector<test::Row> shown = model_.Matching(L"tool1");
    ASSERT_GE(shown.size(), 2u);
    ASSERT_TRUE(Shows(IDC_FILTER_LIST, shown));
    ASSERT_FALSE(desk_->MainListShown());

    // An edit in the filter list reaches the main row.
    ASSERT_TRUE(desk_->EditCell(IDC_FILTER_LIST, 0, 1, L"Filtered" + std::to_wstring(cycle)));
    model_.Edit(shown[0].alias, 1, L"Filtered" + std::to_wstring(cycle));

    // Two rows go from both lists, by Remove or by the Delete key.
    const int last = static_cast<int>(shown.size()) - 1;
    ASSERT_TRUE(desk_->SelectOnly(IDC_FILTER_LIST, {0, last}));
    if (cycle % 2)
        desk_->PressDelete(IDC_FILTER_LIST);
    else
        ASSERT_TRUE(desk_->Click(IDC_REMOVE));
    model_.Remove(shown[0].alias);
    model_.Remove(shown[static_cast<size_t>(last)].alias);
    ASSERT_TRUE(Shows(IDC_FILTER_LIST, model_.Matching(L"tool1")));
    ASSERT_EQ(model_.rows, desk_->Rows(IDC_MAIN_LIST));

    desk_->Type(L"\b\b\b\b\b");
    ASSERT_TRUE(desk_->WaitPostedHandled());
    ASSERT_TRUE(desk_->WaitThreadsAtMost(threads_before));
    ASSERT_TRUE(PollUntil([&] { return desk_->MainListShown(); }, 10000));

    desk_->MarkStatus();
    ASSERT_TRUE(desk_->Click(IDC_APPLY));
    ASSERT_TRUE(desk_->WaitIdle());
    const StorePair stored = ReadStorePair(dir_.path());
    ASSERT_TRUE(stored.whole) << NarrowAscii(stored.fault);
    ASSERT_EQ(SavedForm(model_.rows), stored.rows);

    desk_->MarkStatus();
    ASSERT_TRUE(desk_->Click(IDC_RELOAD));
    ASSERT_TRUE(desk_->WaitIdle());
    model_.rows = SavedForm(model_.rows);
    ASSERT_EQ(model_.rows, desk_->Rows(IDC_MAIN_LIST));
    ASSERT_TRUE(desk_->WaitThreadsAtMost(idle_threads_ ? idle_threads_ : threads_before));
    if (!idle_threads_)
        idle_threads_ = ThreadCount(desk_->program().pid());
}

TEST_F(AliasdeskSoak, CyclesKeepTheTableTheFilesAndTheResources)
{
    const int cycles = RunLength(8, 200);
    ProcessUsage first;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        Cycle(cycle);
        if (HasFatalFailure())
            return;
        if (cycle == 0)
            first = MeasureProcess(desk_->program().process());
    }
    ExpectWithinBounds("aliasdesk", cycles - 1, first, MeasureProcess(desk_->program().process()));

    // A last change, then OK saves it and ends the program.
    ASSERT_TRUE(desk_->SelectOnly(IDC_MAIN_LIST, {0}));
    ASSERT_TRUE(desk_->Click(IDC_REMOVE));
    model_.rows.erase(model_.rows.begin());
    ASSERT_TRUE(Shows(IDC_MAIN_LIST, model_.rows));
    ASSERT_TRUE(desk_->Click(IDC_OK));
    EXPECT_EQ(0u, desk_->program().WaitForExit());
    const StorePair stored = ReadStorePair(dir_.path());
    ASSERT_TRUE(stored.whole) << NarrowAscii(stored.fault);
    EXPECT_EQ(SavedForm(model_.rows), stored.rows);
    EXPECT_EQ(std::vector<std::wstring>{},
              UnexpectedFiles(dir_.path(), {L"aliasdesk.exe", L"config.ini", L"history.dat", L"config.ini.bak",
                                            L"history.dat.bak", L"Programs"}));
}

} // namespace
