#include "aliasdesk_ids.h"
#include "app_state.h"
#include "dialog_fixture.h"
#include "folder_scan.h"
#include "main_table.h"
#include "platform.h"
#include "report_table.h"
#include "wait.h"
#include "workers.h"

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

class FolderScanTest : public MainDialogTest {
protected:
    // Makes an empty file, with its folders, below the test folder.
    std::wstring Touch(const std::wstring& relative)
    {
        const std::wstring path = dir_ / relative;
        EXPECT_TRUE(MakeDirs(path.substr(0, path.rfind(L'\\'))));
        EXPECT_TRUE(WriteFileBytes(path, ""));
        return path;
    }

    // Types the folder into the path box and presses Add.
    void PressAdd(const std::wstring& folder)
    {
        SetDlgItemTextW(dlg_, IDC_PATH, folder.c_str());
        Click(IDC_ADD);
    }

    void Scan(const std::wstring& folder)
    {
        PressAdd(folder);
        Settle();
    }

    std::vector<test::Row> MainRows() { return Rows(Item(IDC_MAIN_LIST)); }
    int RowCount() { return Count(Item(IDC_MAIN_LIST)); }
    std::wstring Folder(const std::wstring& relative = L"")
    {
        return test::Lowered(relative.empty() ? dir_.path() : dir_ / relative);
    }
};

TEST_F(FolderScanTest, ListsAProgramUnderItsLowerCaseStem)
{
    Touch(L"Apps\\Setup.EXE");
    Scan(dir_ / L"Apps");

    EXPECT_EQ((std::vector<test::Row>{{L"setup", L"", Folder(L"Apps") + L"\\setup.exe"}}), MainRows());
    EXPECT_EQ(L"1", Text(IDC_COUNT));
    EXPECT_EQ(L"Finished!", Text(IDC_STATUS));
    EXPECT_EQ(std::vector<int>{0}, SelectedRows(Item(IDC_MAIN_LIST)));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_ADD)));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_APPLY)));
    EXPECT_EQ(1, bModified.load());
}

TEST_F(FolderScanTest, TakenAliasesGetACounterInWalkOrder)
{
    for (const wchar_t* sub : {L"one", L"two", L"three"})
        Touch(std::wstring(L"top\\") + sub + L"\\setup.exe");
    Scan(dir_ / L"top");

    const auto rows = MainRows();
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ(L"setup", rows[0].alias);
    EXPECT_EQ(L"setup_#0", rows[1].alias);
    EXPECT_EQ(L"setup_#1", rows[2].alias);
    std::set<std::wstring> paths;
    for (const test::Row& row : rows)
        paths.insert(row.path);
    EXPECT_EQ((std::set<std::wstring>{Folder(L"top\\one\\setup.exe"), Folder(L"top\\two\\setup.exe"),
                                      Folder(L"top\\three\\setup.exe")}),
              paths);
    EXPECT_EQ(L"3", Text(IDC_COUNT));
}

TEST_F(FolderScanTest, AListedPathThatBeginsWithTheFolderCountsAsListed)
{
    Touch(L"Tools\\setup.exe");
    Touch(L"Tools\\deep\\other.exe");
    // A row whose path merely begins with the scanned folder's text (tools2),
    // and one in a subfolder of it: both make the scan skip its own programs.
    AppendRow(Item(IDC_MAIN_LIST), {L"setup", L"", Folder(L"tools2\\setup.exe")});
    AppendRow(Item(IDC_MAIN_LIST), {L"other", L"", Folder(L"Tools\\deep\\elsewhere\\other.exe")});
    Scan(dir_ / L"Tools");
    EXPECT_EQ(2, RowCount());
    EXPECT_EQ(L"2", Text(IDC_COUNT));
}

// What Explorer hands a window files are dropped on.
HGLOBAL MakeDrop(POINT point, const std::vector<std::wstring>& files)
{
    size_t units = 1;
    for (const std::wstring& file : files)
        units += file.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + units * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->pt = point;
    drop->fWide = TRUE;
    auto* names = reinterpret_cast<wchar_t*>(drop + 1);
    for (const std::wstring& file : files) {
        std::copy(file.begin(), file.end(), names);
        names += file.size() + 1;
    }
    GlobalUnlock(memory);
    return memory;
}

bool MakeShortcut(const std::wstring& link, const std::wstring& target, const wchar_t* arguments)
{
    IShellLinkW* shortcut = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shortcut))))
        return false;
    IPersistFile* file = nullptr;
    const bool made = SUCCEEDED(shortcut->SetPath(target.c_str())) && SUCCEEDED(shortcut->SetArguments(arguments)) &&
        SUCCEEDED(shortcut->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Save(link.c_str(), TRUE));
    if (file)
        file->Release();
    shortcut->Release();
    return made;
}

// Also while a Reload reads the files: until it knows whether its rows go,
// the scan lists nothing, and a Reload that failed leaves them listed.
TEST_F(FolderScanTest, AListedAliasWithAPathElsewhereGetsACounter)
{
    Touch(L"Tools\\setup.exe");
    AppendRow(Item(IDC_MAIN_LIST), {L"setup", L"", L"c:\\elsewhere\\setup.exe"});
    DoomRowsUpTo(NewestRowId()); // as Reload's click does
    PressAdd(dir_ / L"Tools");
    PumpFor(300);
    EXPECT_EQ(1, RowCount()) << "listed while the Reload has not decided";
    // Nor is a row about to go edited, or a program dropped taken.
    EXPECT_EQ(nullptr, reinterpret_cast<HWND>(SendMessageW(Item(IDC_MAIN_LIST), LVM_EDITLABELW, 0, 0)));
    RECT list{};
    GetWindowRect(Item(IDC_MAIN_LIST), &list);
    MapWindowPoints(nullptr, dlg_, reinterpret_cast<POINT*>(&list), 2);
    SendMessageW(dlg_, WM_DROPFILES,
                 reinterpret_cast<WPARAM>(MakeDrop({list.left + 20, list.top + 40}, {dir_ / L"Tools\\setup.exe"})), 0);
    EXPECT_EQ(1, RowCount());
    SpareDoomedRows(); // as a load that failed does
    Settle();
    const auto rows = MainRows();
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ((test::Row{L"setup_#0", L"", Folder(L"Tools\\setup.exe")}), rows[1]);
}

// A folder dropped anywhere on the dialog fills the path box and starts
// Add; programs and shortcuts (target and arguments) dropped on a list are
// listed by the scan's rules, once; elsewhere they are not taken.
TEST_F(FolderScanTest, DroppedFoldersAreAddedAndDroppedProgramsListed)
{
    const std::wstring program = Touch(L"Drop\\Tool.EXE");
    const std::wstring other = Touch(L"Drop\\Other.exe");
    const std::wstring link = dir_ / L"My Tool.lnk";
    ASSERT_TRUE(MakeShortcut(link, other, L"-x"));
    const std::wstring text = Touch(L"Drop\\readme.txt");
    Touch(L"Scan\\X.exe");
    const test::Row tool{L"tool", L"", Folder(L"Drop\\tool.exe")};
    const test::Row shortcut{L"my tool", L"-x", Folder(L"Drop\\other.exe")};
    const test::Row scanned{L"x", L"", Folder(L"Scan\\x.exe")};
    RECT list{}, button{};
    GetWindowRect(Item(IDC_MAIN_LIST), &list);
    GetWindowRect(Item(IDC_CLEAR), &button);
    MapWindowPoints(nullptr, dlg_, reinterpret_cast<POINT*>(&list), 2);
    MapWindowPoints(nullptr, dlg_, reinterpret_cast<POINT*>(&button), 2);
    const POINT on_list{list.left + 20, list.top + 40}, on_button{button.left + 4, button.top + 4};
    const struct {
        POINT where;
        std::vector<std::wstring> files;
        std::vector<test::Row> rows; // afterwards
    } drops[] = {
        {on_button, {program, link}, {}},
        {on_list, {program, dir_ / L"Scan", link, text}, {tool, shortcut, scanned}},
        {on_list, {program}, {tool, shortcut, scanned}},
    };
    for (const auto& drop : drops) {
        SendMessageW(dlg_, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(drop.where, drop.files)), 0);
        Settle();
        EXPECT_EQ(drop.rows, MainRows());
    }
    EXPECT_EQ(dir_ / L"Scan", Text(IDC_PATH));
    EXPECT_EQ(1, bModified.load());
}

TEST_F(FolderScanTest, AStemIsCutTo250Characters)
{
    // A full path must fit in MAX_PATH: the longest names only fit at a drive's
    // root. Under Wine the test fixtures map Q: to an empty folder; on Windows
    // the test maps it itself.
    const bool defined = GetDriveTypeW(L"Q:\\") == DRIVE_NO_ROOT_DIR;
    if (defined) {
        ASSERT_TRUE(DefineDosDeviceW(0, L"Q:", (dir_ / L"").c_str()));
    }
    const std::wstring stem(251, L'L');
    const std::wstring file = L"Q:\\" + stem + L".exe";
    ASSERT_TRUE(WriteFileBytes(file, ""));
    Scan(L"Q:\\");
    DeleteFileW(file.c_str());
    if (defined)
        DefineDosDeviceW(DDD_REMOVE_DEFINITION, L"Q:", nullptr);

    const auto rows = MainRows();
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ(std::wstring(250, L'l'), rows[0].alias);
    EXPECT_EQ(L"q:\\" + std::wstring(251, L'l') + L".exe", rows[0].path);
}

TEST_F(FolderScanTest, TheNameDotExeGivesAnEmptyAlias)
{
    Touch(L"odd\\.exe");
    Scan(dir_ / L"odd");
    EXPECT_EQ((std::vector<test::Row>{{L"", L"", Folder(L"odd\\.exe")}}), MainRows());
}

TEST_F(FolderScanTest, OnlyNamesEndingInExeAreListed)
{
    Touch(L"mixed\\setup.exe1");
    Touch(L"mixed\\notes.txt");
    Scan(dir_ / L"mixed");
    EXPECT_TRUE(MainRows().empty());

    // The system may match setup.exe1 through a short name; the name decides.
    wchar_t directory[] = L"c:\\mixed";
    wchar_t name[] = L"setup.exe1";
    EXPECT_EQ(0, OnFoundFile(directory, name));
    EXPECT_EQ(0, OnFoundFile(nullptr, name));
    EXPECT_EQ(0, OnFoundFile(directory, nullptr));
    EXPECT_TRUE(MainRows().empty());
}

TEST_F(FolderScanTest, RecycleBinAndGuidFoldersAreNotEntered)
{
    Touch(L"drive\\$Recycle.Bin\\junk.exe");
    Touch(L"drive\\{1234}\\junk.exe");
    Touch(L"drive\\$x.exe");
    Scan(dir_ / L"drive");
    EXPECT_EQ((std::vector<test::Row>{{L"$x", L"", Folder(L"drive\\$x.exe")}}), MainRows());
}

TEST_F(FolderScanTest, AFolderNamedLikeAProgramIsListedAndEntered)
{
    Touch(L"top\\x.exe\\inner.exe");
    Scan(dir_ / L"top");
    EXPECT_EQ(
        (std::vector<test::Row>{{L"x", L"", Folder(L"top\\x.exe")}, {L"inner", L"", Folder(L"top\\x.exe\\inner.exe")}}),
        MainRows());
}

TEST_F(FolderScanTest, AMissingFolderStillFinishes)
{
    Scan(dir_ / L"missing");
    EXPECT_TRUE(MainRows().empty());
    EXPECT_EQ(L"Finished!", Text(IDC_STATUS));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_ADD)));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_APPLY)));
}

TEST_F(FolderScanTest, TheSameFolderIsNotScannedTwiceInARowUntilCleared)
{
    Touch(L"Apps\\a.exe");
    Scan(dir_ / L"Apps");
    ASSERT_EQ(1, RowCount());

    DeleteAllRows(pMainTable);
    SetDlgItemTextW(dlg_, IDC_STATUS, L"unchanged");
    // Trailing backslash and other letter case: the same folder.
    std::wstring other_case = dir_.path();
    std::transform(other_case.begin(), other_case.end(), other_case.begin(), towupper);
    PressAdd(other_case + L"\\APPS\\");
    EXPECT_EQ(0, RunningWorkerCount());
    EXPECT_EQ(L"unchanged", Text(IDC_STATUS));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_ADD)));
    EXPECT_EQ(0, RowCount());

    Click(IDC_CLEAR);
    Scan(dir_ / L"Apps");
    EXPECT_EQ(1, RowCount());
}

TEST_F(FolderScanTest, AnEmptyPathBoxDoesNothing)
{
    SetDlgItemTextW(dlg_, IDC_STATUS, L"unchanged");
    PressAdd(L"");
    EXPECT_EQ(0, RunningWorkerCount());
    EXPECT_EQ(L"unchanged", Text(IDC_STATUS));
    EXPECT_EQ(0, bModified.load());
}

TEST_F(FolderScanTest, AddShowsTheMainListAndEmptiesTheFilterBox)
{
    SetDlgItemTextW(dlg_, IDC_FILTER, L"abc");
    ShowWindow(Item(IDC_MAIN_LIST), SW_HIDE);
    ShowWindow(Item(IDC_FILTER_LIST), SW_SHOW);
    Touch(L"Apps\\a.exe");
    PressAdd(dir_ / L"Apps");
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_ADD))) << "disabled while the scan runs";
    EXPECT_EQ(L"Processing...", Text(IDC_STATUS));
    EXPECT_EQ(L"", Text(IDC_FILTER));
    EXPECT_TRUE(IsWindowVisible(Item(IDC_MAIN_LIST)));
    EXPECT_FALSE(IsWindowVisible(Item(IDC_FILTER_LIST)));
    Settle();
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_ADD)));
}

TEST_F(FolderScanTest, TheCountLabelFollowsEveryProgram)
{
    for (int i = 0; i < 20; ++i)
        Touch(L"many\\d" + std::to_wstring(i % 4) + L"\\p" + std::to_wstring(i) + L".exe");
    Scan(dir_ / L"many");
    EXPECT_EQ(20, RowCount());
    EXPECT_EQ(L"20", Text(IDC_COUNT));
}

TEST_F(FolderScanTest, ALinkBackUpTheTreeIsScannedOnce)
{
    const std::wstring loop = FixtureFolder(L"loop");
    if (loop.empty())
        GTEST_SKIP() << "no fixture folder loop (tools/make-test-fixtures.sh makes it on Unix hosts)";
    Scan(loop);
    const auto rows = MainRows();
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ(L"top", rows[0].alias);
    EXPECT_EQ(L"inner", rows[1].alias);
}

TEST_F(FolderScanTest, BadFoldersGiveAClearResult)
{
    const std::wstring file = Touch(L"plain\\a.exe");
    Scan(file); // a file, not a folder
    EXPECT_TRUE(MainRows().empty());
    EXPECT_EQ(L"Finished!", Text(IDC_STATUS));

    std::wstring long_folder = dir_.path() + L"\\";
    long_folder += std::wstring(259 - long_folder.size(), L'z');
    ASSERT_EQ(259u, long_folder.size());
    Scan(long_folder); // fits the path box, but not with "\*.exe" after it
    EXPECT_TRUE(MainRows().empty());
    EXPECT_EQ(L"Finished!", Text(IDC_STATUS));
}

TEST_F(FolderScanTest, ARelativeFolderIsTakenFromTheProgramsFolder)
{
    Touch(L"rel\\tool.exe"); // the current directory is the test folder
    Scan(L"rel");
    EXPECT_EQ((std::vector<test::Row>{{L"tool", L"", Folder(L"rel\\tool.exe")}}), MainRows());
}

TEST_F(FolderScanTest, NamesOutsideTheAnsiCodePageAreListedExactly)
{
    Touch(L"\x4E2D\x6587\\\xD83D\xDE00\x00C9.exe");
    Scan(dir_ / L"\x4E2D\x6587");
    EXPECT_EQ((std::vector<test::Row>{{L"\xD83D\xDE00\x00C9", L"", Folder(L"\x4E2D\x6587\\\xD83D\xDE00\x00C9.exe")}}),
              MainRows());
}

TEST_F(FolderScanTest, ClearDuringAScanDoesNotChangeWhatIsScanned)
{
    for (int i = 0; i < 700; ++i) // more than the scanner hands over at once
        Touch(L"big\\d" + std::to_wstring(i / 10) + L"\\p" + std::to_wstring(i) + L".exe");
    PressAdd(dir_ / L"big");
    BetweenWorkerSteps steps(dlg_);
    steps.When([&] { return RowCount() >= 5; }, [&] { // the scanner waits mid-walk
        Click(IDC_CLEAR);
        EXPECT_STREQ(L"", szScanFolder);
    });
    ASSERT_TRUE(steps.PumpUntilActed());
    Settle();

    const auto rows = MainRows();
    ASSERT_FALSE(rows.empty()) << "the scan went on after Clear";
    for (const test::Row& row : rows)
        EXPECT_EQ(0u, row.path.find(Folder(L"big") + L"\\d")) << row.path;
    EXPECT_EQ(L"Finished!", Text(IDC_STATUS));
}

TEST_F(FolderScanTest, ClosingDuringAScanStopsItAndWaits)
{
    for (int i = 0; i < 700; ++i) // more than the scanner hands over at once
        Touch(L"big\\d" + std::to_wstring(i / 10) + L"\\p" + std::to_wstring(i) + L".exe");
    PressAdd(dir_ / L"big");
    BetweenWorkerSteps steps(dlg_);
    steps.When([&] { return RowCount() >= 5; }, [&] { SendMessageW(dlg_, WM_CLOSE, 0, 0); }, true);
    ASSERT_TRUE(steps.PumpUntilActed());
    EXPECT_FALSE(IsOpen());
    EXPECT_EQ(0, RunningWorkerCount());
    EXPECT_EQ(nullptr, pMainTable);
}

TEST_F(FolderScanTest, CancelDuringAScanStopsItAndWaits)
{
    for (int i = 0; i < 700; ++i) // more than the scanner hands over at once
        Touch(L"big\\d" + std::to_wstring(i / 10) + L"\\p" + std::to_wstring(i) + L".exe");
    PressAdd(dir_ / L"big");
    BetweenWorkerSteps steps(dlg_);
    steps.When([&] { return RowCount() >= 5; }, [&] { Click(IDC_CANCEL); }, true);
    ASSERT_TRUE(steps.PumpUntilActed());
    EXPECT_FALSE(IsOpen());
    EXPECT_EQ(0, RunningWorkerCount());
}

TEST_F(FolderScanTest, AddAliasRowAppendsUnlessTheFirstRowIsTheSame)
{
    EXPECT_EQ(1, AddAliasRow(L"Tool", L"C:\\Tools\\Tool.exe", nullptr));
    EXPECT_EQ(0, AddAliasRow(L"tool", L"c:\\tools\\tool.EXE", L"")) << "same path in other case, empty parameter";
    EXPECT_EQ(1, AddAliasRow(L"tool", L"c:\\tools\\tool.exe", L"/x")) << "another parameter";
    EXPECT_EQ(1, AddAliasRow(L"tool", L"c:\\tools\\tool.exe", L"/x")) << "only the first row is compared";
    EXPECT_EQ(0, AddAliasRow(nullptr, L"c:\\a.exe", nullptr));
    EXPECT_EQ(1, AddAliasRow(L"bare", nullptr, nullptr));
    EXPECT_EQ((std::vector<test::Row>{{L"Tool", L"", L"C:\\Tools\\Tool.exe"},
                                      {L"tool", L"/x", L"c:\\tools\\tool.exe"},
                                      {L"tool", L"/x", L"c:\\tools\\tool.exe"},
                                      {L"bare", L"", L""}}),
              MainRows());
}

} // namespace
