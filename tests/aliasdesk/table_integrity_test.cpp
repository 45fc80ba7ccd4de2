// Workers held between two of their steps while the user acts on the table:
// what they leave matches the table as it stands. And the filtered view
// acting on exactly the main row each filter row was copied from.
#include "app_state.h"
#include "cell_edit.h"
#include "dialog_fixture.h"
#include "folder_scan.h"
#include "handles.h"
#include "list_input.h"
#include "main_table.h"
#include "row_removal.h"
#include "platform.h"
#include "profile_codec.h"
#include "store_files.h"
#include "aliasdesk_ids.h"
#include "wide_text.h"
#include "wait.h"
#include "workers.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

std::vector<test::Row> Lowered(std::vector<test::Row> rows)
{
    for (test::Row& row : rows)
        row = test::Lowered(row);
    return rows;
}

std::vector<test::Row> Sorted(std::vector<test::Row> rows)
{
    std::sort(rows.begin(), rows.end(), [](const test::Row& a, const test::Row& b) { return a.path < b.path; });
    return rows;
}

enum class Action { Sort, Edit, Remove, DeleteKey, Clear, Reload };
const Action kActions[] = {Action::Sort,      Action::Edit,  Action::Remove,
                           Action::DeleteKey, Action::Clear, Action::Reload};

const char* NameOf(Action action)
{
    const char* names[] = {"Sort", "Edit", "Remove", "DeleteKey", "Clear", "Reload"};
    return names[static_cast<int>(action)];
}

class TableIntegrityTest : public ListTest {
protected:
    void SetUp() override
    {
        ListTest::SetUp();
        steps_ = std::make_unique<BetweenWorkerSteps>(dlg_);
    }

    // Rows whose aliases sort on both sides of "m", so that a sort moves rows
    // appended at the end into the middle.
    static void Append(const std::wstring& prefix, int count)
    {
        std::vector<std::wstring> aliases;
        for (int i = 0; i < count; ++i)
            aliases.push_back((i % 2 ? L"z" : L"a") + prefix + std::to_wstring(i));
        std::vector<std::wstring> paths;
        for (const std::wstring& alias : aliases)
            paths.push_back(L"c:\\" + alias + L".exe");
        std::vector<AliasRow> rows;
        for (size_t i = 0; i < aliases.size(); ++i)
            rows.push_back({aliases[i].c_str(), paths[i].c_str(), L""});
        AddAliasRows(rows.data(), rows.size());
    }

    // The action runs once the next worker has run this many steps.
    void AfterSteps(int steps, std::function<void()> action) { steps_->After(steps, std::move(action)); }

    void TearDown() override
    {
        EXPECT_FALSE(steps_->Pending()) << "the worker ran fewer steps than the test meant to hold it at";
        steps_.reset();
        MainDialogTest::TearDown();
    }

    void Notify(HWND list, NMHDR* header)
    {
        header->hwndFrom = list;
        header->idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(list));
        SendMessageW(dlg_, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
    }

    // Edits a cell the way the list does it, without input that would have to
    // be pumped. While a load brings rows in, no edit begins.
    void EditCell(HWND list, int row, int column, const wchar_t* text)
    {
        const RECT cell = CellRect(list, row, column);
        SetLastListClick({static_cast<DWORD>(cell.left + 4), static_cast<DWORD>(cell.top + 2)});
        HWND edit = reinterpret_cast<HWND>(SendMessageW(list, LVM_EDITLABELW, row, 0));
        ASSERT_EQ(AwaitingReplacement(), edit == nullptr);
        if (!edit)
            return;
        SetWindowTextW(edit, text);
        SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
    }

    // The action on whichever list is shown, as the user would take it.
    void Act(Action action)
    {
        HWND shown = IsMainListShown(dlg_) ? Main() : Filter();
        switch (action) {
        case Action::Sort: {
            NMLISTVIEW click{};
            click.hdr.code = LVN_COLUMNCLICK;
            Notify(shown, &click.hdr);
            return;
        }
        case Action::Edit:
            EditCell(Main(), 0, 2, L"c:\\edited.exe");
            return;
        case Action::Remove:
            Select(shown, 0);
            Click(IDC_REMOVE);
            return;
        case Action::DeleteKey: {
            Select(shown, 0);
            NMLVKEYDOWN key{};
            key.hdr.code = LVN_KEYDOWN;
            key.wVKey = VK_DELETE;
            Notify(shown, &key.hdr);
            return;
        }
        case Action::Clear:
            Click(IDC_CLEAR);
            return;
        case Action::Reload:
            Click(IDC_RELOAD);
            return;
        }
    }

    // The rows the store holds, in its order.
    std::vector<test::Row> StoredRows()
    {
        std::string bytes;
        ReadFileBytes(dir_.path() + L"\\history.dat", &bytes);
        std::wstring units(bytes.size() / 2, L'\0');
        std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(units.size() * 2),
                  reinterpret_cast<char*>(units.data()));
        // Read as the loader reads it: the profile functions read the whole file per key.
        const ConfigIndex config = ReadConfigIndex((dir_.path() + L"\\config.ini").c_str());
        std::vector<test::Row> rows;
        for (size_t at = 0; at < units.size();) {
            const std::wstring alias = units.c_str() + at;
            at += alias.size() + 1;
            wchar_t path[1024] = {}, parameter[1024] = {};
            ReadConfigString(config, alias.c_str(), L"path", path, 1024);
            ReadConfigString(config, alias.c_str(), L"parameter", parameter, 1024);
            rows.push_back({alias, parameter, path});
        }
        return rows;
    }

    void Save()
    {
        MarkModified();
        Click(IDC_APPLY);
        Settle();
    }

    std::unique_ptr<BetweenWorkerSteps> steps_;
};

// Rows a scan appends between two chunks of the snapshot are saved with the
// rest: OK during a scan saves the table as it stands.
TEST_F(TableIntegrityTest, ASaveTakesTheRowsAScanAppendsMeanwhile)
{
    Append(L"row", 10000);
    MarkModified();
    AfterSteps(2, [&] { Append(L"m-scan", 50); });
    Click(IDC_APPLY);
    Settle();
    EXPECT_EQ(10050u, StoredRows().size());
    EXPECT_EQ(Lowered(Rows(Main())), StoredRows());
}

enum class Operation { Save, Reload, FilterPass, Scan, Removal };
const Operation kOperations[] = {Operation::Save, Operation::Reload, Operation::FilterPass, Operation::Scan,
                                 Operation::Removal};

const char* NameOf(Operation operation)
{
    const char* names[] = {"Save", "Reload", "FilterPass", "Scan", "Removal"};
    return names[static_cast<int>(operation)];
}

// A worker held between two of its steps while the user's action lands.
class HeldWorkerTest : public TableIntegrityTest,
                       public ::testing::WithParamInterface<std::tuple<Operation, Action>> { };

TEST_P(HeldWorkerTest, LeavesTheTableAsItStands)
{
    const Operation operation = std::get<0>(GetParam());
    const Action action = std::get<1>(GetParam());
    const std::wstring folder = dir_.path() + L"\\progs";
    std::vector<std::wstring> programs;
    std::vector<test::Row> stored, before, expected;
    RowId before_reload = 0;
    std::set<RowId> chosen;
    struct Held {
        std::function<void()> prepare;
        int steps; // the action lands once the worker has run this many
        std::function<void()> at_hold; // the action and what lands with it
        std::function<void()> start; // the worker, which then runs to its end
        std::function<void()> check;
    };
    const Held operations[] = {
        // A save held between two chunks of its snapshot writes the table as
        // it stands, and is done with it: nothing is left unsaved.
        {[&] {
             Append(L"row", 10000); // three chunks of the snapshot
             MarkModified();
         },
         2, [&] { Act(action); }, [&] { Click(IDC_APPLY); },
         [&] {
             EXPECT_EQ(Lowered(Rows(Main())), StoredRows());
             EXPECT_EQ(0, bModified.load());
         }},
        // Reload held between two slices of its emptying, while a scan
        // appends: the rows Reload found all go, whatever moved them, and the
        // scan's rows stay, one of them listing a program that only a row
        // about to go listed.
        {[&] {
             Append(L"stored", 3);
             Save();
             stored = StoredRows();
             SendMessageW(Main(), LVM_DELETEALLITEMS, 0, 0);
             Append(L"old", 20000);
             before_reload = NewestRowId();
         },
         2,
         [&] {
             AddAliasRow(L"m-scan0", L"c:\\m-scan0.exe", nullptr); // as a scan still running would
             AddAliasRow(L"m-scan1", L"c:\\m-scan1.exe", nullptr);
             AddAliasRow(L"aold0", L"c:\\aold0.exe", nullptr);
             Act(action);
             for (int row = 0; row < Count(Main()); ++row) {
                 if (IdOfRow(Main(), row) > before_reload)
                     expected.push_back({Cell(Main(), row, 0), Cell(Main(), row, 1), Cell(Main(), row, 2)});
             }
         },
         [&] { Click(IDC_RELOAD); },
         [&] {
             if (action == Action::Clear)
                 expected.clear(); // it takes the rows appended so far too
             expected.insert(expected.end(), stored.begin(), stored.end());
             EXPECT_EQ(expected, Rows(Main()));
         }},
        // A filter pass held between two slices (the filter list emptied, the
        // first slice listed) ends with exactly the matching main rows, in the
        // main list's order, each carrying its main row's identity.
        {[&] {
             Append(L"row", 20000);
             SetDlgItemTextW(dlg_, IDC_FILTER, L"*");
         },
         2, [&] { Act(action); }, [&] { SendMessageW(Item(IDC_FILTER), WM_CHAR, L'*', 1); },
         [&] {
             if (action == Action::Reload) {
                 SendMessageW(Item(IDC_FILTER), WM_CHAR, L'*', 1); // Reload emptied the box; the next character filters
                 Settle();
             }
             ASSERT_EQ(Rows(Main()), Rows(Filter()));
             for (int row = 0; row < Count(Filter()); row += 997)
                 EXPECT_EQ(IdOfRow(Main(), row), IdOfRow(Filter(), row)) << row;
         }},
        // A scan held after its first batch: the rows the action left stay as
        // they are, and every program not listed yet is listed once after them.
        {[&] {
             ASSERT_TRUE(MakeDirs(folder));
             for (int i = 0; i < 300; ++i) {
                 programs.push_back(test::Lowered(folder + L"\\p" + std::to_wstring(i) + L".exe"));
                 ASSERT_TRUE(WriteFileBytes(programs.back(), "MZ"));
             }
             szScanFolder[0] = L'\0';
             Append(L"base", 4);
             SetDlgItemTextW(dlg_, IDC_PATH, folder.c_str());
         },
         1,
         [&] {
             before = Rows(Main());
             Act(action);
             if (action != Action::Reload)
                 expected = Rows(Main());
         },
         [&] { Click(IDC_ADD); },
         [&] {
             const std::vector<test::Row> rows = Rows(Main());
             ASSERT_GE(rows.size(), expected.size());
             if (action != Action::Reload) {
                 EXPECT_EQ(
                     expected,
                     std::vector<test::Row>(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(expected.size())));
             }
             for (const std::wstring& path : programs) {
                 const bool listed =
                     std::any_of(before.begin(), before.end(), [&](const test::Row& row) { return row.path == path; });
                 if (!listed)
                     expected.push_back({path.substr(folder.size() + 1, path.size() - folder.size() - 5), L"", path});
             }
             EXPECT_EQ(Sorted(expected), Sorted(rows));
         }},
        // A removal of many rows held between two of its steps: exactly the
        // chosen rows go, wherever the action moved them.
        {[&] {
             Append(L"row", 3000);
             for (int row = 0; row < 3000; row += 2) {
                 Select(Main(), row);
                 chosen.insert(IdOfRow(Main(), row));
             }
             for (int row = 1; row < 3000; row += 2)
                 expected.push_back({Cell(Main(), row, 0), Cell(Main(), row, 1), Cell(Main(), row, 2)});
         },
         1,
         [&] {
             // Should the removal have ended already, Remove and the Delete
             // key take row 0 and the row it left selected, and Edit row 0.
             std::vector<int> taken = SelectedRows(Main());
             taken.push_back(0);
             for (int row : taken) {
                 const auto at = std::find(expected.begin(), expected.end(),
                                           test::Row{Cell(Main(), row, 0), L"", Cell(Main(), row, 2)});
                 if (at != expected.end() && (action == Action::Remove || action == Action::DeleteKey))
                     expected.erase(at);
                 else if (at != expected.end() && action == Action::Edit && row == 0)
                     at->path = L"c:\\edited.exe";
             }
             Act(action);
         },
         [&] { Click(IDC_REMOVE); },
         [&] {
             for (int row = 0; row < Count(Main()); ++row)
                 EXPECT_EQ(0u, chosen.count(IdOfRow(Main(), row))) << row;
             if (action == Action::Clear || action == Action::Reload)
                 expected.clear();
             EXPECT_EQ(Sorted(expected), Sorted(Rows(Main())));
             if (action != Action::Reload) { // which leaves the count label as it was
                 EXPECT_EQ(std::to_wstring(Count(Main())), Text(IDC_COUNT));
             }
         }},
    };
    const Held& held = operations[static_cast<int>(operation)];
    held.prepare();
    if (HasFatalFailure())
        return;
    AfterSteps(held.steps, held.at_hold);
    held.start();
    Settle();
    held.check();
}

INSTANTIATE_TEST_SUITE_P(EveryAction, HeldWorkerTest,
                         ::testing::Combine(::testing::ValuesIn(kOperations), ::testing::ValuesIn(kActions)),
                         [](const ::testing::TestParamInfo<HeldWorkerTest::ParamType>& param) {
                             return std::string(NameOf(std::get<0>(param.param))) + "_" +
                                 NameOf(std::get<1>(param.param));
                         });

// OK closes only when its save left the files holding the table as it
// stands: an action landing after the save read the table (and Reload is
// refused while it writes) keeps the dialog open with the change unsaved,
// and the next OK saves it and closes.
class OkDuringASaveTest : public TableIntegrityTest, public ::testing::WithParamInterface<Action> { };

TEST_P(OkDuringASaveTest, ClosesOnlyWhenTheFilesHoldTheTable)
{
    const Action action = GetParam();
    Append(L"row", 4);
    MarkModified();
    AfterSteps(1, [&] { Act(action); }); // the save's one step of reading
    Click(IDC_OK);
    Settle();
    if (action == Action::Reload) {
        EXPECT_FALSE(IsOpen());
        return;
    }
    ASSERT_TRUE(IsOpen());
    EXPECT_EQ(L"Not closed: changed while saving.", Text(IDC_STATUS));
    EXPECT_EQ(Text(IDC_STATUS), StatusTip());
    EXPECT_EQ(1, bModified.load());
    const std::vector<test::Row> shown = Lowered(Rows(Main()));
    EXPECT_NE(shown, StoredRows());
    Click(IDC_OK);
    Settle();
    EXPECT_FALSE(IsOpen());
    EXPECT_EQ(shown, StoredRows());
}

INSTANTIATE_TEST_SUITE_P(EveryAction, OkDuringASaveTest, ::testing::ValuesIn(kActions),
                         [](const ::testing::TestParamInfo<Action>& param) { return NameOf(param.param); });

// Duplicate aliases are a normal state: a filter row stands for exactly the
// main row it was copied from, never for the first one with its alias.
TEST_F(TableIntegrityTest, TheFilteredViewActsOnTheMainRowEachRowWasCopiedFrom)
{
    const std::vector<test::Row> rows = {{L"tool", L"", L"c:\\a\\tool.exe"},
                                   {L"other", L"", L"c:\\other.exe"},
                                   {L"tool", L"", L"c:\\b\\tool.exe"},
                                   {L"tool", L"", L"c:\\c\\tool.exe"}};
    std::vector<test::Row> without_b = rows;
    without_b.erase(without_b.begin() + 2);
    std::vector<test::Row> edited_b = rows;
    edited_b[2].parameter = L"/x";
    struct Case {
        Action action;
        std::vector<test::Row> expected;
    };
    const Case cases[] = {{Action::Remove, without_b},
                          {Action::DeleteKey, without_b},
                          {Action::Clear, without_b},
                          {Action::Edit, edited_b}};
    Click(IDC_MATCH_PATH);
    for (const Case& c : cases) {
        SCOPED_TRACE(NameOf(c.action));
        SetDlgItemTextW(dlg_, IDC_FILTER, L"");
        SendMessageW(Main(), LVM_DELETEALLITEMS, 0, 0);
        for (const test::Row& row : rows)
            AppendRow(Main(), row);
        TypeFilter(L"c:\\b");
        ASSERT_EQ(std::vector<test::Row>{rows[2]}, Rows(Filter()));
        if (c.action == Action::Edit)
            EditCell(Filter(), 0, 1, L"/x");
        else
            Act(c.action);
        EXPECT_EQ(c.expected, Rows(Main()));
        // Once its main row is gone, the filter row stands for nothing.
        SendMessageW(Main(), LVM_DELETEALLITEMS, 0, 0);
        for (const test::Row& row : rows)
            AppendRow(Main(), row);
        const std::vector<test::Row> refilled = Rows(Main());
        if (Count(Filter()) > 0) {
            Act(Action::Remove);
            EXPECT_EQ(refilled, Rows(Main()));
        }
    }
}

// A program found at the top of a tree shows, with its count, while the walk
// goes on through a long stretch of folders without another program.
// The walk is held at the first entry it looks at after its first program.
HANDLE walk_release;
std::atomic<bool> walk_held;

void HoldWalkAfterFirstProgram(size_t found)
{
    if (found == 1 && !walk_held.exchange(true))
        WaitForSingleObject(walk_release, kHangGuardMs);
}

TEST_F(TableIntegrityTest, AProgramOfASparseTreeShowsWhileTheWalkGoesOn)
{
    const std::wstring folder = dir_.path() + L"\\sparse";
    ASSERT_TRUE(MakeDirs(folder));
    ASSERT_TRUE(WriteFileBytes(folder + L"\\first.exe", "MZ"));
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(CreateDirectoryW((folder + L"\\d" + std::to_wstring(i)).c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(folder + L"\\d99\\last.exe", "MZ"));
    UniqueHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    walk_release = release.get();
    walk_held = false;
    SetScanEntryHook(&HoldWalkAfterFirstProgram);
    struct Unhook {
        ~Unhook()
        {
            SetEvent(walk_release);
            SetScanEntryHook(nullptr);
        }
    } unhook;

    SetDlgItemTextW(dlg_, IDC_PATH, folder.c_str());
    Click(IDC_ADD);
    ASSERT_TRUE(PumpUntil([&] { return Count(Main()) > 0; })) << "the program found first never showed";
    EXPECT_TRUE(walk_held) << "the walk is held";
    EXPECT_EQ(L"1", Text(IDC_COUNT));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_ADD))) << "the walk still runs";
    EXPECT_EQ(L"Processing...", Text(IDC_STATUS));
    SetEvent(walk_release);
    Settle();
    EXPECT_EQ(2, Count(Main()));
    EXPECT_EQ(L"2", Text(IDC_COUNT));
}

// OK, Apply and Reload go off the moment a load starts, so that no click on
// them is lost while it runs, and come back when it ends.
TEST_F(TableIntegrityTest, ALoadDisablesTheStoreButtonsAtOnce)
{
    Append(L"stored", 3);
    Save();
    Click(IDC_RELOAD);
    for (int id : {IDC_OK, IDC_APPLY, IDC_RELOAD})
        EXPECT_FALSE(IsWindowEnabled(Item(id))) << id;
    Settle();
    for (int id : {IDC_OK, IDC_APPLY, IDC_RELOAD})
        EXPECT_TRUE(IsWindowEnabled(Item(id))) << id;
}

// Every folder in which config.ini fits holds the names a save writes first.
TEST(SaveNamesTest, FitWhereverTheStoreFits)
{
    for (size_t length = 240; length <= 252; ++length) {
        SCOPED_TRACE(length);
        const std::wstring folder = L"C:\\" + std::wstring(length - 4, L'f') + L"\\"; // length characters
        ASSERT_EQ(length, folder.size());
        const bool fits = folder.size() + wcslen(L"config.ini") < MAX_PATH;
        ASSERT_EQ(fits ? 1 : 0, BuildConfigPath(folder.c_str()));
        if (!fits)
            continue;
        EXPECT_LT(SavingPath(szConfigPath).size(), static_cast<size_t>(MAX_PATH));
        EXPECT_LT(CommitMarkPath(szConfigPath).size(), static_cast<size_t>(MAX_PATH));
        EXPECT_LE(SavingPath(kHistoryFile).size(), wcslen(kHistoryFile)) << "no longer than history.dat itself";
        EXPECT_EQ(folder, SavingPath(szConfigPath).substr(0, folder.size())) << "beside config.ini";
    }
    EXPECT_EQ(L"d:\\x.y\\config.new", SavingPath(L"d:\\x.y\\config.ini"));
    EXPECT_EQ(L"d:\\x.y\\config.cmt", CommitMarkPath(L"d:\\x.y\\config.ini"));
    EXPECT_EQ(L"history.new", SavingPath(L"history.dat"));
}

} // namespace
