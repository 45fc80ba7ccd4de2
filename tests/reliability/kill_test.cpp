// The real aliasdesk.exe killed at random moments of its saves. Whatever the
// moment, the next start must load either the table before the save or the
// one saved, whole, and leave nothing of the save behind.
#include "aliasdesk_driver.h"
#include "aliasdesk_ids.h"
#include "run_length.h"
#include "store_pair.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <random>
#include <utility>

namespace {

unsigned Seed()
{
    const char* given = std::getenv("VELKOR_SEED");
    return given ? static_cast<unsigned>(std::strtoul(given, nullptr, 10)) : static_cast<unsigned>(GetTickCount64());
}

// One table size and save path; the previous table has rows rows, the save
// adds the programs of a small folder to it.
struct SaveCase {
    int rows;
    bool profile_functions; // a name with brackets: config.ini is written key by key
    std::wstring dir;
    std::wstring programs;
    StorePair before, after;
    int rows_after = 0;
    DWORD save_ms = 0; // how long an undisturbed save took
};

class KilledSave : public ::testing::Test {
protected:
    // Saves once undisturbed: what the files hold after it is the new pair.
    void Prepare(SaveCase& c)
    {
        c.dir = root_ / (L"t" + std::to_wstring(c.rows) + (c.profile_functions ? L"p" : L"f"));
        c.programs = c.dir + L"\\programs";
        ASSERT_TRUE(MakePrograms(c.programs, L"new", 3));
        if (c.profile_functions) {
            ASSERT_TRUE(MakePrograms(c.programs, L"odd[", 1));
        }
        ASSERT_TRUE(WriteStorePair(c.dir, NumberedRows(L"old", c.rows)));
        c.before = ReadStorePair(c.dir);

        AliasDesk program(c.dir);
        ASSERT_TRUE(program.WaitLoaded()) << program.NotReadyReason();
        ASSERT_EQ(c.rows, program.RowCount(IDC_MAIN_LIST));
        ASSERT_TRUE(program.Scan(c.programs));
        program.MarkStatus();
        const ULONGLONG start = GetTickCount64();
        ASSERT_TRUE(program.Click(IDC_APPLY));
        ASSERT_TRUE(PollUntil([&] { return program.Status() == L"Finished!"; }));
        c.save_ms = static_cast<DWORD>(GetTickCount64() - start);
        EXPECT_EQ(0u, program.Close());
        c.after = ReadStorePair(c.dir);
        ASSERT_NE(c.before, c.after);

        AliasDesk again(c.dir);
        ASSERT_TRUE(again.WaitLoaded()) << again.NotReadyReason();
        c.rows_after = again.RowCount(IDC_MAIN_LIST);
        EXPECT_EQ(c.rows + (c.profile_functions ? 4 : 3), c.rows_after);
        EXPECT_EQ(L"new2", again.Cell(IDC_MAIN_LIST, c.rows + 2, 0));
        EXPECT_EQ(0u, again.Close());
        std::cout << "table of " << c.rows << (c.profile_functions ? " (key by key)" : "") << ": saved in " << c.save_ms
                  << " ms\n";
    }

    TempDir root_;
};

TEST_F(KilledSave, LeavesThePreviousOrTheNewTableWhole)
{
    const unsigned seed = Seed();
    std::cout << "seed " << seed << " (VELKOR_SEED repeats a run)\n";
    RecordProperty("seed", static_cast<int>(seed));
    std::mt19937 random(seed);

    std::vector<SaveCase> cases;
    for (auto [rows, key_by_key] :
         {std::pair{10, false}, std::pair{200, false}, std::pair{2000, false}, std::pair{200, true}}) {
        cases.emplace_back();
        cases.back().rows = rows;
        cases.back().profile_functions = key_by_key;
    }
    for (SaveCase& c : cases) {
        Prepare(c);
        if (HasFatalFailure())
            return;
    }
    const int kills = RunLength(8, 60);
    int previous = 0, saved = 0;
    for (int k = 0; k < kills; ++k) {
        SaveCase& c = cases[static_cast<size_t>(k) % cases.size()];
        // Moments from the click to a little past the end of an undisturbed save.
        const DWORD delay = std::uniform_int_distribution<DWORD>(0, c.save_ms + c.save_ms / 4 + 5)(random);
        const int button = std::bernoulli_distribution(0.5)(random) ? IDC_OK : IDC_APPLY;
        SCOPED_TRACE(testing::Message() << "kill " << k << ": " << c.rows << " rows, " << delay << " ms after "
                                        << (button == IDC_OK ? "OK" : "Apply"));
        ASSERT_TRUE(WriteStorePair(c.dir, NumberedRows(L"old", c.rows)));
        ASSERT_TRUE(WriteStorePair(c.dir, NumberedRows(L"older", 2), L".bak"));
        const StorePair older = ReadStorePair(c.dir, L".bak");
        {
            AliasDesk program(c.dir);
            ASSERT_TRUE(program.WaitLoaded()) << program.NotReadyReason();
            ASSERT_TRUE(program.Scan(c.programs));
            ASSERT_TRUE(program.Click(button));
            Sleep(delay);
            program.Kill();
        }
        AliasDesk again(c.dir);
        ASSERT_TRUE(again.WaitLoaded()) << again.NotReadyReason();
        const int rows = again.RowCount(IDC_MAIN_LIST);
        EXPECT_EQ(0u, again.Close());
        const StorePair pair = ReadStorePair(c.dir);
        // The previous save is kept whole beside the store, under the same commit.
        const StorePair backup = ReadStorePair(c.dir, L".bak");
        if (pair == c.before && rows == c.rows)
            ++previous;
        else if (pair == c.after && rows == c.rows_after)
            ++saved;
        else
            ADD_FAILURE() << "neither table: " << rows << " rows, history of " << pair.history.size()
                          << " bytes, config.ini of " << pair.config.size() << " bytes";
        EXPECT_EQ(pair == c.after ? c.before : older, backup);
        EXPECT_TRUE(NoSaveLeftovers(c.dir));
    }
    std::cout << kills << " kills: " << previous << " left the previous table, " << saved << " the new one\n";
    RecordProperty("kills", kills);
    RecordProperty("previous_tables", previous);
    RecordProperty("new_tables", saved);
    EXPECT_EQ(kills, previous + saved);
}

} // namespace
