#include "alias_store.h"
#include "aliasdesk_ids.h"
#include "app_state.h"
#include "ascii_text.h"
#include "debug_capture.h"
#include "file_choice.h"
#include "dialog_fixture.h"
#include "folder_scan.h"
#include "handles.h"
#include "main_table.h"
#include "report_table.h"
#include "store_files.h"
#include "store_pair.h"
#include "wait.h"
#include "wide_text.h"
#include "window_watch.h"
#include "workers.h"

#include <commctrl.h>

#include <cstring>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

namespace {

std::string Utf16(const std::wstring& text)
{
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

// history.dat as the program writes it: the names, each with its zero unit.
std::string HistoryOf(const std::vector<std::wstring>& names)
{
    std::wstring units;
    for (const auto& name : names)
        units += name + L'\0';
    return EncodeHistory(units.data(), units.size());
}

class AliasStoreTest : public MainDialogTest {
protected:
    std::wstring Config() const { return dir_ / L"config.ini"; }
    std::wstring History() const { return dir_ / L"history.dat"; }

    std::wstring ConfigValue(const std::wstring& section, const wchar_t* key)
    {
        wchar_t value[1024] = {};
        GetPrivateProfileStringW(section.c_str(), key, L"<missing>", value, 1024, Config().c_str());
        return value;
    }

    std::string FileBytes(const std::wstring& path)
    {
        std::string bytes;
        EXPECT_TRUE(ReadFileBytes(path, &bytes)) << "missing " << NarrowAscii(path);
        return bytes;
    }

    // Puts rows into the main list as the user's work (unsaved).
    void Enter(const std::vector<test::Row>& rows)
    {
        for (const test::Row& row : rows)
            AppendRow(Item(IDC_MAIN_LIST), row);
        MarkModified();
    }

    void SaveWith(int button)
    {
        Click(button);
        Settle();
    }

    // Writes the pair by hand, as another program (or an older one) may have.
    void WriteStore(const std::vector<std::wstring>& names, const std::string& config_bytes)
    {
        ASSERT_TRUE(WriteFileBytes(History(), HistoryOf(names)));
        ASSERT_TRUE(WriteFileBytes(Config(), config_bytes));
    }

    std::vector<test::Row> MainRows() { return Rows(Item(IDC_MAIN_LIST)); }
};

const std::vector<test::Row> kNotepadAndCalc{{L"Notepad", L"", L"C:\\Windows\\notepad.exe"},
                                             {L"calc", L"/X", L"C:\\Windows\\calc.exe"}};

TEST_F(AliasStoreTest, SavesOneLowerCaseSectionPerAliasAndTheirNames)
{
    Enter(kNotepadAndCalc);
    {
        // A file dialog may have left the current folder elsewhere: the pair stays together.
        TempDir elsewhere(L"-cwd");
        const CurrentDirectoryKept kept;
        SetCurrentDirectoryW(elsewhere.path().c_str());
        SaveWith(IDC_APPLY);
        EXPECT_FALSE(PathExists(elsewhere / L"history.dat"));
    }

    EXPECT_EQ(L"c:\\windows\\notepad.exe", ConfigValue(L"notepad", L"path"));
    EXPECT_EQ(L"", ConfigValue(L"notepad", L"parameter"));
    EXPECT_EQ(L"c:\\windows\\calc.exe", ConfigValue(L"calc", L"path"));
    EXPECT_EQ(L"/x", ConfigValue(L"calc", L"parameter"));
    // Sections in row order, path before parameter, in UTF-16 with its mark.
    const std::string config = FileBytes(Config());
    EXPECT_EQ(Utf16(L"\xFEFF[notepad]\r\npath=c:\\windows\\notepad.exe\r\nparameter=\r\n"
                    L"[calc]\r\npath=c:\\windows\\calc.exe\r\nparameter=/x\r\n"),
              config);
    EXPECT_EQ(Utf16(std::wstring(L"notepad\0calc\0", 13)), FileBytes(History()));
    EXPECT_EQ(26u, FileBytes(History()).size());

    EXPECT_EQ(L"Finished!", Text(IDC_STATUS));
    EXPECT_EQ(0, bModified.load());
    EXPECT_TRUE(IsOpen()) << "Apply keeps the dialog open";
    EXPECT_EQ(kNotepadAndCalc, MainRows()) << "the table keeps its own letter case";
}

TEST_F(AliasStoreTest, OkSavesAndClosesAndTheSaverTracesItsExitFlag)
{
    DebugCapture capture;
    Enter(kNotepadAndCalc);
    SaveWith(IDC_APPLY);
    MarkModified();
    Click(IDC_OK);
    Settle();
    EXPECT_FALSE(IsOpen());
    EXPECT_EQ((std::vector<std::wstring>{L"1. bExit 0\n", L"2. bExit 0\n", L"1. bExit 1\n", L"2. bExit 1\n"}),
              capture.Lines());
    EXPECT_EQ(L"c:\\windows\\calc.exe", ConfigValue(L"calc", L"path"));
}

TEST_F(AliasStoreTest, WithoutChangesOkClosesAndApplyDoesNothing)
{
    AppendRow(Item(IDC_MAIN_LIST), kNotepadAndCalc[0]); // shown, not a change of the user's
    Click(IDC_APPLY);
    Settle();
    EXPECT_FALSE(PathExists(Config()));
    EXPECT_FALSE(PathExists(History()));
    Click(IDC_OK);
    Settle();
    EXPECT_FALSE(IsOpen());
    EXPECT_FALSE(PathExists(Config()));
}

TEST_F(AliasStoreTest, CancelQuitsWithoutTouchingTheFiles)
{
    WriteStore({L"old"}, "[old]\r\npath=c:\\old.exe\r\nparameter=\r\n");
    Restart();
    Enter(kNotepadAndCalc);
    Click(IDC_CANCEL);
    EXPECT_FALSE(IsOpen());
    EXPECT_EQ(HistoryOf({L"old"}), FileBytes(History()));
    EXPECT_EQ("[old]\r\npath=c:\\old.exe\r\nparameter=\r\n", FileBytes(Config()));
}

TEST_F(AliasStoreTest, AnEmptyTableLeavesNoConfigAndAnEmptyHistory)
{
    Enter(kNotepadAndCalc);
    SaveWith(IDC_APPLY);
    Click(IDC_CLEAR);
    SaveWith(IDC_APPLY);
    EXPECT_FALSE(PathExists(Config()));
    EXPECT_EQ("", FileBytes(History()));

    SetDlgItemTextW(dlg_, IDC_COUNT, L"9");
    Restart();
    EXPECT_TRUE(MainRows().empty());
    EXPECT_EQ(L"Status...", Text(IDC_STATUS)) << "nothing to load, nothing reported";
}

TEST_F(AliasStoreTest, ASaveThenAReloadGivesTheRowsBackLowerCasedInOrder)
{
    const std::vector<test::Row> rows{
        {L"Zeta", L"-A", L"C:\\Z\\Zeta.EXE"}, {L"alpha", L"", L"C:\\A\\alpha.exe"}, {L"Mid", L"x y", L"D:\\Mid.exe"}};
    Enter(rows);
    SaveWith(IDC_APPLY);
    Click(IDC_RELOAD);
    Settle();
    EXPECT_EQ((std::vector<test::Row>{{L"zeta", L"-a", L"c:\\z\\zeta.exe"},
                                      {L"alpha", L"", L"c:\\a\\alpha.exe"},
                                      {L"mid", L"x y", L"d:\\mid.exe"}}),
              MainRows());
    EXPECT_EQ(L"3", Text(IDC_COUNT));
    EXPECT_EQ(L"Finished!", Text(IDC_STATUS));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_APPLY)));
}

TEST_F(AliasStoreTest, AliasesEqualInLowerCaseShareTheLastRowsSection)
{
    Enter({{L"Tool", L"", L"c:\\first.exe"}, {L"x", L"", L"c:\\x.exe"}, {L"tool", L"/2", L"c:\\second.exe"}});
    SaveWith(IDC_APPLY);
    EXPECT_EQ(L"c:\\second.exe", ConfigValue(L"tool", L"path"));
    EXPECT_EQ(Utf16(std::wstring(L"tool\0x\0", 7)), FileBytes(History()));

    Click(IDC_RELOAD);
    Settle();
    EXPECT_EQ((std::vector<test::Row>{{L"tool", L"/2", L"c:\\second.exe"}, {L"x", L"", L"c:\\x.exe"}}), MainRows());
}

TEST_F(AliasStoreTest, ASectionThatHistoryDoesNotListIsNeitherLoadedNorKept)
{
    WriteStore({L"listed"}, "[listed]\r\npath=c:\\l.exe\r\nparameter=\r\n[byhand]\r\npath=c:\\h.exe\r\n");
    Restart();
    EXPECT_EQ((std::vector<test::Row>{{L"listed", L"", L"c:\\l.exe"}}), MainRows());
    MarkModified();
    SaveWith(IDC_APPLY);
    EXPECT_EQ(L"<missing>", ConfigValue(L"byhand", L"path"));
}

TEST_F(AliasStoreTest, LongValuesAreCutToTheirBuffersAndMissingOnesAreEmpty)
{
    const std::string path(700, 'p');
    const std::string parameter(400, 'q');
    WriteStore({L"long", L"bare"}, "[long]\r\npath=" + path + "\r\nparameter=" + parameter + "\r\n");
    Restart();
    EXPECT_EQ(
        (std::vector<test::Row>{{L"long", std::wstring(259, L'q'), std::wstring(511, L'p')}, {L"bare", L"", L""}}),
        MainRows());
}

TEST_F(AliasStoreTest, ALoadCountsEveryNameButAppendsNoIdenticalRow)
{
    WriteStore({L"a", L"b"}, "[a]\r\npath=c:\\a.exe\r\nparameter=\r\n[b]\r\npath=c:\\b.exe\r\nparameter=\r\n");
    Restart();
    ASSERT_EQ(2u, MainRows().size());
    Click(IDC_RELOAD); // Reload empties the table first: nothing doubles
    Settle();
    EXPECT_EQ(2u, MainRows().size());

    // A load into a table that holds an identical row, in other letter case.
    DeleteAllRows(pMainTable);
    AppendRow(Item(IDC_MAIN_LIST), {L"A", L"", L"C:\\A.EXE"});
    StartLoad(dlg_);
    Settle();
    EXPECT_EQ((std::vector<test::Row>{{L"A", L"", L"C:\\A.EXE"}, {L"b", L"", L"c:\\b.exe"}}), MainRows());
    EXPECT_EQ(L"3", Text(IDC_COUNT)) << "the rows before plus every name read";
}

TEST_F(AliasStoreTest, AReloadOfALongListEmptiesItWholeBeforeLoading)
{
    WriteStore({L"a", L"b"}, "[a]\r\npath=c:\\a.exe\r\nparameter=\r\n[b]\r\npath=c:\\b.exe\r\nparameter=\r\n");
    Restart();
    // Far more rows than one step of the loader deletes.
    std::vector<std::wstring> names;
    std::vector<AliasRow> rows;
    for (int i = 0; i < 20000; ++i)
        names.push_back(L"old" + std::to_wstring(i));
    for (const std::wstring& name : names)
        rows.push_back({name.c_str(), L"c:\\old.exe", nullptr});
    ASSERT_EQ(20000, AddAliasRows(rows.data(), rows.size()));
    AppendRow(Item(IDC_MAIN_LIST), {L"a", L"", L"c:\\a.exe"}); // the same as a loaded row: it must go too

    Click(IDC_RELOAD);
    Settle();
    EXPECT_EQ((std::vector<test::Row>{{L"a", L"", L"c:\\a.exe"}, {L"b", L"", L"c:\\b.exe"}}), MainRows());
    EXPECT_EQ(L"2", Text(IDC_COUNT));
    EXPECT_EQ(L"Finished!", Text(IDC_STATUS));
}

TEST_F(AliasStoreTest, AHistoryOfExactlyTheFirstBufferIsReadTwice)
{
    // 1024 names of four characters and a zero unit: 5120 units, 10240 bytes.
    std::vector<std::wstring> names;
    for (int i = 0; i < 1024; ++i) {
        wchar_t name[5];
        FormatText(name, 5, L"%04x", i);
        names.push_back(name);
    }
    ASSERT_TRUE(WriteFileBytes(History(), HistoryOf(names)));
    ASSERT_EQ(10240u, FileBytes(History()).size());

    std::vector<wchar_t> buffer(10240, L'\0');
    int units = -1;
    EXPECT_EQ(0, ReadHistoryFile(buffer.data(), 5120, &units));
    EXPECT_EQ(5120, units) << "filled: the caller tries a larger buffer";
    EXPECT_EQ(1, ReadHistoryFile(buffer.data(), 10240, &units));
    EXPECT_EQ(5120, units);
    EXPECT_EQ(0, memcmp(buffer.data(), Utf16(L"0000").data(), 8));
}

TEST_F(AliasStoreTest, TheProgressBarRunsToTheEndAndHides)
{
    Enter(kNotepadAndCalc);
    SaveWith(IDC_APPLY);
    HWND bar = Item(IDC_PROGRESS);
    EXPECT_EQ(7, SendMessageW(bar, PBM_GETRANGE, FALSE, 0)) << "n + 5";
    EXPECT_EQ(7, SendMessageW(bar, PBM_GETPOS, 0, 0));
    EXPECT_FALSE(IsWindowVisible(bar));

    Click(IDC_RELOAD); // history.dat holds 13 units
    Settle();
    EXPECT_EQ(23, SendMessageW(bar, PBM_GETRANGE, FALSE, 0)) << "units + 10";
    EXPECT_EQ(23, SendMessageW(bar, PBM_GETPOS, 0, 0));
    EXPECT_FALSE(IsWindowVisible(bar));
}

TEST_F(AliasStoreTest, NamesAndPathsOutsideTheAnsiCodePageSurvive)
{
    const std::vector<test::Row> rows{{L"\x4E2D\x6587", L"", L"c:\\\x7A0B\x5E8F\\\x4E2D\x6587.exe"},
                                      {L"\x0444\x0430\x0439\x043B", L"\x043F", L"c:\\\x0444.exe"},
                                      {L"caf\x00E9", L"", L"c:\\caf\x00E9.exe"},
                                      {L"\xD83D\xDE00", L"", L"c:\\\xD83D\xDE00.exe"},
                                      {L"\x011A\x041A\x010A", L"", L"c:\\\x011A.exe"}};
    Enter(rows);
    SaveWith(IDC_APPLY);
    EXPECT_EQ("\xFF\xFE", FileBytes(Config()).substr(0, 2));
    // U+010A carries the byte 0x0A: the writer stores 0x0D before it.
    EXPECT_NE(std::string::npos, FileBytes(History()).find(std::string("\x1A\x01\x1A\x04\x0D\x0A\x01", 7)));

    Click(IDC_RELOAD);
    Settle();
    EXPECT_EQ(rows, MainRows());
}

TEST_F(AliasStoreTest, AnOldAnsiConfigStillLoads)
{
    WriteStore({L"caf\x00E9"}, "[caf\xE9]\r\npath=c:\\caf\xE9.exe\r\nparameter=-v\r\n");
    Restart();
    EXPECT_EQ((std::vector<test::Row>{{L"caf\x00E9", L"-v", L"c:\\caf\x00E9.exe"}}), MainRows());
}

TEST_F(AliasStoreTest, OddAndBrokenHistoryFilesLoadWhatTheyHold)
{
    // An odd trailing byte, no final terminator, a lone 0x0D, and 0x1A as data.
    std::string bytes = Utf16(std::wstring(L"a\0\x011A\0b", 5)) + "\x0D";
    ASSERT_TRUE(WriteFileBytes(History(), bytes));
    ASSERT_TRUE(WriteFileBytes(Config(), "[b]\r\npath=c:\\b.exe\r\n"));
    Restart();
    EXPECT_EQ((std::vector<test::Row>{{L"a", L"", L""}, {L"\x011A", L"", L""}, {L"b", L"", L"c:\\b.exe"}}), MainRows());

    ASSERT_TRUE(WriteFileBytes(History(), ""));
    Restart();
    EXPECT_TRUE(MainRows().empty());
    EXPECT_EQ(L"Finished!", Text(IDC_STATUS));
}

TEST_F(AliasStoreTest, AGarbageConfigLoadsEveryNameWithWhatItCanRead)
{
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char>((i * 7919) & 0xFF);
    WriteStore({L"one", L"two"}, garbage);
    Restart();
    const auto rows = MainRows();
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ(L"one", rows[0].alias);
    EXPECT_EQ(L"two", rows[1].alias);
}

TEST_F(AliasStoreTest, ATenMegabyteHistoryLoadsWhole)
{
    // Names far longer than any alias are damage: counted, not listed.
    std::vector<std::wstring> names;
    for (int i = 0; i < 8; ++i) {
        names.push_back(L"short" + std::to_wstring(i));
        names.push_back(std::wstring(655000, static_cast<wchar_t>(L'a' + i)));
    }
    const std::wstring longest(4096, L'z');
    names.push_back(longest);
    WriteStore(names, "");
    ASSERT_GT(FileBytes(History()).size(), 10000000u);
    Restart();
    ASSERT_EQ(9, GetRowCount(pMainTable));
    EXPECT_EQ(L"17", Text(IDC_COUNT));
    EXPECT_EQ(L"short7", std::wstring(CellText(pMainTable, 7, 0).get()));
    EXPECT_TRUE(longest == CellText(pMainTable, 8, 0).get()) << "the longest a name may be, whole";
}

TEST_F(AliasStoreTest, ChangesMadeWhileASaveRunsStayUnsaved)
{
    Enter(kNotepadAndCalc);
    BetweenWorkerSteps steps(dlg_);
    // Right after the saver has read the table, before it writes a byte.
    steps.After(1, [&] {
        EXPECT_FALSE(IsWindowEnabled(Item(IDC_APPLY)));
        EXPECT_FALSE(IsWindowEnabled(Item(IDC_OK)));
        EXPECT_FALSE(IsWindowEnabled(Item(IDC_RELOAD)));
        Click(IDC_RELOAD); // refused while the files are written
        Click(IDC_CLEAR);
    });
    Click(IDC_APPLY);
    ASSERT_TRUE(steps.PumpUntilActed());
    Settle();

    EXPECT_EQ(1, bModified.load());
    EXPECT_EQ(L"c:\\windows\\calc.exe", ConfigValue(L"calc", L"path")) << "the table as it was read";
    EXPECT_TRUE(MainRows().empty());
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_APPLY)));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_OK)));
}

TEST_F(AliasStoreTest, AFailedSaveKeepsTheFilesAndSaysSo)
{
    Enter(kNotepadAndCalc);
    SaveWith(IDC_APPLY);
    const std::string history = FileBytes(History());
    const std::string config = FileBytes(Config());
    SetFileAttributesW(Config().c_str(), FILE_ATTRIBUTE_READONLY);

    Enter({{L"new", L"", L"c:\\new.exe"}});
    WindowWatcher box(L"Velkor Error", PressButton(IDOK));
    Click(IDC_OK);
    Settle();
    ASSERT_TRUE(PumpUntil([&] { return box.Seen(); }));
    EXPECT_NE(std::wstring::npos, box.seen().text.find(L"Could not save"));
    EXPECT_EQ(L"Save failed!", Text(IDC_STATUS));
    EXPECT_EQ(1, bModified.load());
    EXPECT_TRUE(IsOpen()) << "OK does not close after a failed save";
    EXPECT_EQ(history, FileBytes(History()));
    EXPECT_EQ(config, FileBytes(Config()));
    EXPECT_FALSE(PathExists(SavingPath(Config())));
    SetFileAttributesW(Config().c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(AliasStoreTest, AHistoryThatCannotBeWrittenFailsTheSaveBeforeAnythingIsReplaced)
{
    ASSERT_TRUE(CreateDirectoryW(SavingPath(History()).c_str(), nullptr)); // stands where the copy goes
    Enter(kNotepadAndCalc);
    WindowWatcher box(L"Velkor Error", PressButton(IDOK));
    SaveWith(IDC_APPLY);
    ASSERT_TRUE(PumpUntil([&] { return box.Seen(); }));
    EXPECT_EQ(L"Save failed!", Text(IDC_STATUS));
    EXPECT_FALSE(PathExists(Config()));
    EXPECT_FALSE(PathExists(History()));
    RemoveDirectoryW(SavingPath(History()).c_str());
}

TEST_F(AliasStoreTest, AnInterruptedCommitIsFinishedByTheNextLoad)
{
    // What a save leaves when it is stopped right after its commit mark.
    WriteStore({L"old"}, "[old]\r\npath=c:\\old.exe\r\n");
    ASSERT_TRUE(WriteFileBytes(SavingPath(History()), HistoryOf({L"new"})));
    ASSERT_TRUE(WriteFileBytes(SavingPath(Config()), "[new]\r\npath=c:\\new.exe\r\n"));
    ASSERT_TRUE(WriteFileBytes(CommitMarkPath(Config()), "config.ini: replace\r\n"));
    Restart();
    EXPECT_EQ((std::vector<test::Row>{{L"new", L"", L"c:\\new.exe"}}), MainRows());
    EXPECT_FALSE(PathExists(CommitMarkPath(Config())));

    // Stopped before its mark: the copies go and the old pair stands.
    ASSERT_TRUE(WriteFileBytes(SavingPath(History()), HistoryOf({L"half"})));
    Restart();
    EXPECT_EQ((std::vector<test::Row>{{L"new", L"", L"c:\\new.exe"}}), MainRows());
    EXPECT_FALSE(PathExists(SavingPath(History())));

    // A save interrupted after its mark whose files are held elsewhere: a
    // mark that cannot be read may be whole, a backup that cannot be put in
    // place stops the commit. Nothing of the store changes and nothing is
    // loaded until the file is free; then the save is completed.
    const std::pair<std::wstring, std::wstring> held_files[] = {{CommitMarkPath(Config()), L"newer"},
                                                                {BackupPath(Config()), L"newest"}};
    for (const auto& [held_file, alias] : held_files) {
        SCOPED_TRACE(NarrowAscii(held_file));
        const std::string before = FileBytes(Config());
        const std::string history = FileBytes(History());
        const std::vector<test::Row> shown = MainRows();
        const std::string saved = "[" + NarrowAscii(alias) + "]\r\npath=c:\\" + NarrowAscii(alias) + ".exe\r\n";
        ASSERT_TRUE(WriteFileBytes(SavingPath(History()), HistoryOf({alias})));
        ASSERT_TRUE(WriteFileBytes(SavingPath(Config()), saved));
        ASSERT_TRUE(WriteFileBytes(dir_ / L"config.bkn", before));
        ASSERT_TRUE(WriteFileBytes(dir_ / L"history.bkn", history));
        ASSERT_TRUE(WriteFileBytes(CommitMarkPath(Config()), "config.ini: replace\r\n"));
        ASSERT_TRUE(PathExists(held_file) || WriteFileBytes(held_file, "old"));
        {
            UniqueHandle held(CreateFileW(held_file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            WindowWatcher box(L"Velkor Error", PressButton(IDOK));
            Click(IDC_RELOAD);
            Settle();
            ASSERT_TRUE(box.Seen());
            EXPECT_NE(std::wstring::npos, box.seen().text.find(L"could not be completed"));
            EXPECT_EQ(before, FileBytes(Config()));
            EXPECT_EQ(history, FileBytes(History()));
            EXPECT_EQ(shown, MainRows());
            EXPECT_TRUE(PathExists(SavingPath(Config())));
        }
        Click(IDC_RELOAD);
        Settle();
        EXPECT_EQ((std::vector<test::Row>{{alias, L"", L"c:\\" + alias + L".exe"}}), MainRows());
        EXPECT_EQ(before, FileBytes(BackupPath(Config())));
    }
}

// A file held open elsewhere is not a file never saved: the loader says so,
// and the table, the view and the unsaved change stay as they were, so that
// OK once the file is free saves what the user sees.
TEST_F(AliasStoreTest, AStoreFileHeldOpenElsewhereFailsAReloadThatChangesNothing)
{
    WriteStore({L"kept", L"gone"}, "[kept]\r\npath=c:\\kept.exe\r\n[gone]\r\npath=c:\\gone.exe\r\n");
    Restart();
    Select(Item(IDC_MAIN_LIST), 1);
    Click(IDC_REMOVE);
    SetDlgItemTextW(dlg_, IDC_FILTER, L"k");
    SendMessageW(Item(IDC_FILTER), WM_CHAR, L'*', 1);
    Settle();
    const std::wstring pattern = Text(IDC_FILTER);
    const std::vector<test::Row> table = MainRows();
    const std::vector<test::Row> filtered = Rows(Item(IDC_FILTER_LIST));
    ASSERT_EQ(1u, table.size());
    for (const auto& [file, text] : {std::pair{History(), L"Could not open history.dat file."},
                                     std::pair{Config(), L"Could not open config.ini file."}}) {
        WindowWatcher box(L"Velkor Error", PressButton(IDOK));
        HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, held);
        Click(IDC_RELOAD);
        Settle(); // the loader ends, and its posted report shows the box
        CloseHandle(held);
        ASSERT_TRUE(box.Seen());
        EXPECT_EQ(text, box.seen().text);
        EXPECT_EQ(L"Load failed!", Text(IDC_STATUS));
        EXPECT_EQ(table, MainRows());
        EXPECT_EQ(filtered, Rows(Item(IDC_FILTER_LIST)));
        EXPECT_TRUE(IsWindowVisible(Item(IDC_FILTER_LIST)));
        EXPECT_EQ(pattern, Text(IDC_FILTER));
        EXPECT_EQ(1, bModified.load());
    }
    SaveWith(IDC_OK); // once it can be written, the files hold what is shown
    EXPECT_EQ(HistoryOf({L"kept"}), FileBytes(History()));

    // At start the table never held the store: a save asks before replacing it.
    UniqueHandle held(CreateFileW(History().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    {
        WindowWatcher box(L"Velkor Error", PressButton(IDOK));
        Open();
        Settle();
        EXPECT_TRUE(box.Seen());
    }
    held.reset();
    AddAliasRow(L"new", L"c:\\new.exe", nullptr);
    MarkModified();
    for (const int answer : {IDNO, IDYES}) {
        WindowWatcher ask(L"Velkor", PressButton(answer));
        SaveWith(IDC_APPLY);
        EXPECT_TRUE(ask.Seen());
        EXPECT_EQ(HistoryOf(answer == IDYES ? std::vector<std::wstring>{L"new"} : std::vector<std::wstring>{L"kept"}),
                  FileBytes(History()));
    }
}

TEST_F(AliasStoreTest, AHistoryHeldElsewhereIsNotRead)
{
    ASSERT_TRUE(WriteFileBytes(History(), HistoryOf({L"a"})));
    HANDLE held = CreateFileW(History().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    wchar_t buffer[16];
    int units = -1;
    EXPECT_EQ(0, ReadHistoryFile(buffer, 16, &units));
    EXPECT_EQ(0, units);
    CloseHandle(held);
}

TEST_F(AliasStoreTest, ClosingDuringALoadStopsIt)
{
    std::vector<std::wstring> names;
    for (int i = 0; i < 400; ++i)
        names.push_back(L"n" + std::to_wstring(i));
    WriteStore(names, "");
    BetweenWorkerSteps steps(dlg_);
    steps.When([&] { return GetRowCount(pMainTable) >= 5; }, [&] { SendMessageW(dlg_, WM_CLOSE, 0, 0); }, true);
    Click(IDC_RELOAD);
    ASSERT_TRUE(steps.PumpUntilActed());
    EXPECT_FALSE(IsOpen());
    EXPECT_EQ(0, RunningWorkerCount());
}

// Another program (antivirus, a sync client) holding a file of the store for
// a moment does not fail the save; holding it for good does, and says so.
TEST_F(AliasStoreTest, AFileHeldForAMomentIsWaitedForAndOneHeldForGoodFailsTheSave)
{
    Enter(kNotepadAndCalc);
    SaveWith(IDC_APPLY);
    for (const DWORD hold_ms : {DWORD{300}, DWORD{INFINITE}}) {
        SCOPED_TRACE(hold_ms);
        const std::wstring alias = L"more" + std::to_wstring(hold_ms);
        Enter({{alias, L"", L"c:\\more.exe"}});
        UniqueHandle held(CreateFileW(Config().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        std::thread release;
        if (hold_ms != INFINITE)
            release = std::thread([&] {
                Sleep(hold_ms);
                held.reset();
            });
        std::optional<WindowWatcher> box;
        if (hold_ms == INFINITE)
            box.emplace(L"Velkor Error", PressButton(IDOK));
        SaveWith(IDC_APPLY);
        if (release.joinable())
            release.join();
        held.reset();
        EXPECT_EQ(hold_ms == INFINITE, box && box->Seen());
        EXPECT_EQ(hold_ms == INFINITE ? L"<missing>" : L"c:\\more.exe", ConfigValue(alias, L"path"));
    }
}

// A change still coming when the save ends (a scan that has listed nothing
// yet, a removal of many rows) keeps the table unsaved, and OK open.
TEST_F(AliasStoreTest, ChangesStillComingWhenASaveEndsKeepTheTableUnsaved)
{
    const std::wstring programs = dir_ / L"programs";
    ASSERT_TRUE(MakeDirs(programs) && MakePrograms(programs, L"p", 3));
    HWND list = Item(IDC_MAIN_LIST);
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"scan", [&] {
             SetDlgItemTextW(dlg_, IDC_PATH, programs.c_str());
             Click(IDC_ADD);
         }},
        {"removal", [&] {
             for (int row = 0; row < 600; ++row)
                 Select(list, row);
             Click(IDC_REMOVE);
         }},
    };
    std::vector<std::wstring> aliases;
    for (int i = 0; i < 700; ++i)
        aliases.push_back(L"row" + std::to_wstring(i));
    std::vector<AliasRow> rows;
    for (const std::wstring& alias : aliases)
        rows.push_back({alias.c_str(), L"c:\\row.exe", nullptr});
    for (const auto& [name, change] : changes) {
        for (const int button : {IDC_APPLY, IDC_OK}) {
            SCOPED_TRACE(std::string(name) + (button == IDC_OK ? " during OK" : " during Apply"));
            SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
            szScanFolder[0] = L'\0';
            AddAliasRows(rows.data(), rows.size());
            MarkModified();
            BetweenWorkerSteps steps(dlg_);
            steps.After(1, change); // right after the saver read the table
            Click(button);
            ASSERT_TRUE(steps.PumpUntilActed());
            Settle();
            EXPECT_EQ(1, bModified.load());
            EXPECT_TRUE(IsOpen());
        }
    }
}

// Closing waits for a save that runs. When it failed, the user is told and
// the dialog stays open, to save again or close without saving.
TEST_F(AliasStoreTest, ClosingDuringASaveWaitsForItAndStaysWhenItFailed)
{
    Enter(kNotepadAndCalc);
    ASSERT_TRUE(WriteFileBytes(Config(), ""));
    for (const bool fails : {true, false}) {
        SCOPED_TRACE(fails ? "failing" : "succeeding");
        SetFileAttributesW(Config().c_str(), fails ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
        std::optional<WindowWatcher> box;
        if (fails)
            box.emplace(L"Velkor Error", PressButton(IDOK));
        BetweenWorkerSteps steps(dlg_);
        steps.After(1, [&] { SendMessageW(dlg_, WM_CLOSE, 0, 0); }, true); // once the saver read the table
        Click(IDC_APPLY);
        ASSERT_TRUE(steps.PumpUntilActed());
        EXPECT_FALSE(IsWindowEnabled(dlg_)) << "nothing more to do in a dialog that is closing";
        Settle();
        EXPECT_EQ(fails, IsOpen());
        EXPECT_EQ(fails, box && box->Seen());
    }
    EXPECT_EQ(L"c:\\windows\\calc.exe", ConfigValue(L"calc", L"path"));
    EXPECT_EQ(26u, FileBytes(History()).size());
}

} // namespace
