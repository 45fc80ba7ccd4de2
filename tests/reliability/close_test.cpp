// The real aliasdesk.exe closed at random moments while a scan, a load, a
// save or filter workers run, by the close box, Cancel or OK: the process
// must end within seconds, and leave a whole pair of files holding either
// the table before or the table saved.
#include "aliasdesk_driver.h"
#include "aliasdesk_ids.h"
#include "ascii_text.h"
#include "run_length.h"
#include "store_pair.h"
#include "table_model.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>

namespace {

// More than a close needs: the saver finishes first, the others stop.
constexpr DWORD kCloseGuardMs = 10000;

enum class Task { Scan, Load, Save, Filter };
enum class Closing { CloseBox, Cancel, Ok };

const char* Name(Task activity)
{
    switch (activity) {
    case Task::Scan:
        return "scan";
    case Task::Load:
        return "load";
    case Task::Save:
        return "save";
    default:
        return "filter";
    }
}

const char* Name(Closing closing)
{
    switch (closing) {
    case Closing::CloseBox:
        return "close box";
    case Closing::Cancel:
        return "Cancel";
    default:
        return "OK";
    }
}

unsigned ChooseSeed()
{
    wchar_t text[16] = {};
    if (GetEnvironmentVariableW(L"VELKOR_SEED", text, 16) > 0)
        return static_cast<unsigned>(wcstoul(text, nullptr, 10));
    return static_cast<unsigned>(GetTickCount64());
}

class ClosingAtAnyMoment : public ::testing::TestWithParam<Task> {
protected:
    static void SetUpTestSuite()
    {
        seed_ = ChooseSeed();
        printf("closing runs: seed %u (VELKOR_SEED=%u repeats them)\n", seed_, seed_);
        programs_ = std::make_unique<TempDir>();
        for (int i = 0; i < 1500; ++i)
            WriteFileBytes(*programs_ / (L"app" + std::to_wstring(i) + L".exe"), "");
    }

    static void TearDownTestSuite() { programs_.reset(); }

    void SetUp() override
    {
        RecordProperty("seed", static_cast<int>(seed_));
        random_.seed(seed_ + static_cast<unsigned>(GetParam()));
        folder_ = programs_->path();
        ASSERT_EQ(1500u, ProgramsIn(folder_).size());
        const bool large = GetParam() != Task::Scan; // long enough to be caught in the middle
        previous_ = NumberedRows(L"old", large ? 3000 : 3);
        TableModel model;
        model.rows = previous_;
        model.Scan(folder_, ProgramsIn(folder_));
        scanned_ = SavedForm(model.rows);
    }

    // Starts the program on the previous table and brings it to the
    // activity; true while the activity still runs at the close.
    bool StartActivity(AliasDesk& desk)
    {
        std::uniform_int_distribution<int> delay(0, MaxDelayMs());
        if (GetParam() != Task::Load) {
            EXPECT_TRUE(desk.WaitIdle()) << "the start-up load";
        }
        switch (GetParam()) {
        case Task::Load:
            break;
        case Task::Filter:
            idle_threads_ = ThreadCount(desk.program().pid());
            for (int i = 0; i < 3; ++i)
                desk.Type(L"old1\b\b\b\bold2\b3\b\b\b\bold\b\b\b");
            desk.Type(L"o");
            break;
        case Task::Save:
            desk.TypePath(folder_);
            desk.MarkStatus();
            EXPECT_TRUE(desk.Click(IDC_ADD));
            EXPECT_TRUE(desk.WaitIdle()) << "the scan before the save";
            desk.MarkStatus();
            EXPECT_TRUE(desk.Click(IDC_APPLY));
            // The close comes during the save, not before the dialog took
            // Apply: an OK seen enabled then would land on the running save.
            EXPECT_TRUE(desk.WaitPostedHandled());
            break;
        case Task::Scan:
            desk.TypePath(folder_);
            desk.MarkStatus();
            EXPECT_TRUE(desk.Click(IDC_ADD));
            break;
        }
        Sleep(static_cast<DWORD>(delay(random_)));
        if (GetParam() == Task::Filter)
            return ThreadCount(desk.program().pid()) > idle_threads_;
        const std::wstring status = desk.Status();
        return status == L"(driver)" || status == L"Loading..." || status == L"Processing..." || status == L"Saving...";
    }

    int MaxDelayMs() const
    {
        switch (GetParam()) {
        case Task::Save:
            return 100;
        case Task::Filter:
            return 150;
        case Task::Load:
            return 250;
        default:
            return 300;
        }
    }

    void Close(AliasDesk& desk, Closing closing, int run)
    {
        switch (closing) {
        case Closing::CloseBox:
            desk.PostClose(run % 2 == 0);
            return;
        case Closing::Cancel:
            EXPECT_TRUE(desk.Click(IDC_CANCEL));
            return;
        case Closing::Ok: {
            // Pressed whatever the button's state, as the command arrives under
            // Wine even from a disabled button. A save disables OK and ignores
            // it, so the user presses it again the moment it is back.
            const bool enabled = IsWindowEnabled(desk.Item(IDC_OK)) != FALSE;
            desk.MarkStatus();
            desk.ClickEvenIfDisabled(IDC_OK);
            if (!enabled) {
                ASSERT_TRUE(PollUntil([&] { return IsWindowEnabled(desk.Item(IDC_OK)) != FALSE; }, kCloseGuardMs));
                EXPECT_TRUE(desk.Click(IDC_OK));
            }
            // A save that ends while a scan still lists rows leaves the dialog
            // open ("Not closed: ...", which the scan's "Finished!" may follow):
            // OK again once the scan is done saves them all and closes.
            auto settled = [&] {
                const std::wstring status = desk.Status();
                return (status == L"Not closed: changed while saving." || status == L"Finished!") &&
                    IsWindowEnabled(desk.Item(IDC_ADD)) && IsWindowEnabled(desk.Item(IDC_OK));
            };
            ASSERT_TRUE(PollUntil([&] { return desk.program().WaitForExit(0) != STILL_ACTIVE || settled(); },
                                  kCloseGuardMs));
            if (desk.program().WaitForExit(0) == STILL_ACTIVE)
                desk.ClickEvenIfDisabled(IDC_OK);
            return;
        }
        }
    }

    // What the files may hold after the close.
    bool Acceptable(const std::vector<test::Row>& stored, Closing closing) const
    {
        const std::vector<test::Row> previous = SavedForm(previous_);
        if (stored == previous)
            return true;
        if (GetParam() == Task::Save)
            return stored == scanned_;
        // OK during a scan closes only once the files hold every row it listed.
        return GetParam() == Task::Scan && closing == Closing::Ok && stored == scanned_;
    }

    void RunAll(Closing closing)
    {
        const int runs = RunLength(2, 50);
        int during = 0;
        for (int run = 0; run < runs; ++run) {
            SCOPED_TRACE(std::string(Name(closing)) + " during the " + Name(GetParam()) + ", run " +
                         std::to_string(run) + ", seed " + std::to_string(seed_));
            ASSERT_TRUE(WriteStorePair(dir_.path(), SavedForm(previous_)));
            AliasDesk desk(dir_.path());
            ASSERT_TRUE(desk.ready()) << desk.NotReadyReason();
            during += StartActivity(desk);
            Close(desk, closing, run);
            ASSERT_EQ(0u, desk.program().WaitForExit(kCloseGuardMs)) << "the program did not end";

            const StorePair stored = ReadStorePair(dir_.path());
            ASSERT_TRUE(stored.whole) << NarrowAscii(stored.fault);
            EXPECT_TRUE(Acceptable(stored.rows, closing)) << stored.rows.size() << " rows stored";
            EXPECT_EQ(std::vector<std::wstring>{},
                      UnexpectedFiles(dir_.path(), {L"aliasdesk.exe", L"config.ini", L"history.dat",
                                                    L"config.ini.bak", L"history.dat.bak"}));
        }
        printf("%s during the %s: %d of %d closes came while it ran\n", Name(closing), Name(GetParam()), during, runs);
        RecordProperty(std::string(Name(closing)) + "_during_" + Name(GetParam()), during);
    }

    static unsigned seed_;
    static std::unique_ptr<TempDir> programs_; // the folder every scan lists
    std::mt19937 random_;
    TempDir dir_;
    std::wstring folder_;
    std::vector<test::Row> previous_;
    std::vector<test::Row> scanned_; // the previous rows and every program of the folder, as saved
    int idle_threads_ = 0;
};

unsigned ClosingAtAnyMoment::seed_;
std::unique_ptr<TempDir> ClosingAtAnyMoment::programs_;

TEST_P(ClosingAtAnyMoment, ByTheCloseBox)
{
    RunAll(Closing::CloseBox);
}

TEST_P(ClosingAtAnyMoment, ByCancel)
{
    RunAll(Closing::Cancel);
}

TEST_P(ClosingAtAnyMoment, ByOk)
{
    RunAll(Closing::Ok);
}

INSTANTIATE_TEST_SUITE_P(Activities, ClosingAtAnyMoment,
                         ::testing::Values(Task::Scan, Task::Load, Task::Save, Task::Filter),
                         [](const ::testing::TestParamInfo<Task>& p) { return std::string(Name(p.param)); });

} // namespace
