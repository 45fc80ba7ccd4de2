#include "context_menu.h"

#include "alias_store.h"
#include "aliasdesk_ids.h"
#include "app_state.h"
#include "ascii_text.h"
#include "cell_edit.h"
#include "list_input.h"
#include "main_table.h"
#include "missing_targets.h"
#include "platform.h"
#include "probe_run.h"
#include "shortcut_keys.h"
#include "store_pair.h"
#include "temp_dir.h"
#include "wait.h"
#include "window_watch.h"

#include <commctrl.h>

#include <cwctype>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

struct ShownItem {
    UINT id;
    std::wstring text;
    bool enabled;
    bool operator==(const ShownItem&) const = default;
};

// What the last menu showed, and the command the test answers it with.
std::vector<ShownItem> shown;
int answer;
std::function<void()> meanwhile; // what runs while the menu is open

int RecordingPicker(HMENU menu, HWND, POINT)
{
    shown.clear();
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[128] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID | MIIM_STATE | MIIM_STRING | MIIM_FTYPE;
        info.dwTypeData = text;
        info.cch = 128;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        const bool separator = (info.fType & MFT_SEPARATOR) != 0;
        shown.push_back({info.wID, text, !separator && !(info.fState & MFS_DISABLED)});
    }
    if (meanwhile)
        std::exchange(meanwhile, nullptr)();
    return answer;
}

// Which items were enabled, in menu order, the separator left out.
std::vector<bool> EnabledItems()
{
    std::vector<bool> enabled;
    for (const ShownItem& item : shown) {
        if (item.id != 0)
            enabled.push_back(item.enabled);
    }
    return enabled;
}

class ContextMenuTest : public ListTest {
protected:
    ContextMenuTest()
        : ListTest({{L"notepad", L"", L"C:\\Tools\\notepad.exe"},
                    {L"nova", L"-x", L"C:\\Tools\\nova.exe"},
                    {L"calc", L"", L"C:\\Tools\\calc.exe"}})
    {
    }
    void SetUp() override
    {
        ListTest::SetUp();
        if (HasFatalFailure())
            return;
        SetContextMenuPicker(&RecordingPicker);
        shown.clear();
        answer = 0;
        meanwhile = nullptr;
        if (OpenClipboard(nullptr)) { // nothing an earlier test copied counts
            EmptyClipboard();
            CloseClipboard();
        }
    }
    void TearDown() override
    {
        SetContextMenuPicker(nullptr);
        ListTest::TearDown();
    }

    // A right click as the list hands it on: WM_CONTEXTMENU at a screen point.
    void RightClickAt(HWND list, POINT client, int command = 0)
    {
        answer = command;
        ClientToScreen(list, &client);
        SendMessageW(list, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(client.x, client.y));
    }
    void RightClickCell(HWND list, int row, int column, int command = 0)
    {
        const RECT cell = CellRect(list, row, column);
        RightClickAt(list, POINT{(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2}, command);
    }
    // The menu key, or Shift+F10.
    void MenuKey(HWND list, int command = 0)
    {
        answer = command;
        SendMessageW(list, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(-1, -1));
    }
    POINT BelowTheRows(HWND list)
    {
        const RECT last = CellRect(list, static_cast<int>(rows_.size()) - 1, 0);
        return POINT{last.left + 4, last.bottom + 3 * (last.bottom - last.top)};
    }
};

// Holds Ctrl down in this thread's key state, as GetKeyState reads it.
class HeldCtrl {
public:
    HeldCtrl()
    {
        GetKeyboardState(saved_);
        BYTE held[256];
        CopyMemory(held, saved_, sizeof(held));
        held[VK_CONTROL] = held[VK_LCONTROL] = 0x80;
        SetKeyboardState(held);
    }
    ~HeldCtrl() { SetKeyboardState(saved_); }
    HeldCtrl(const HeldCtrl&) = delete;
    HeldCtrl& operator=(const HeldCtrl&) = delete;

private:
    BYTE saved_[256];
};

// The key and the character TranslateMessage makes of it, as the loop delivers them.
void SendKeyAndChar(HWND window, UINT vk, wchar_t c)
{
    SetFocus(window);
    SendMessageW(window, WM_KEYDOWN, vk, 1);
    if (c)
        SendMessageW(window, WM_CHAR, c, 1);
}

// The same rows as the menu's tests; the picker they install is never asked.
class ShortcutKeysTest : public ContextMenuTest {
protected:
    // Filters by "no", then puts other text into the box without a
    // character: a filter started by a shortcut would list nothing.
    void FilterThenRetype()
    {
        TypeFilter(L"no");
        ASSERT_EQ(2u, Rows(Filter()).size());
        SetWindowTextW(Item(IDC_FILTER), L"zz");
    }

    HWND Box() const { return Item(IDC_FILTER); }
};

TEST_F(ShortcutKeysTest, CtrlASelectsEveryRowOfEitherList)
{
    Select(Main(), 1);
    SendKeyAndChar(Main(), 'A', 0);
    EXPECT_EQ((std::vector<int>{1}), SelectedRows(Main())); // A alone is no shortcut
    {
        HeldCtrl ctrl;
        SendKeyAndChar(Main(), 'A', 0x01);
    }
    EXPECT_EQ((std::vector<int>{0, 1, 2}), SelectedRows(Main()));

    FilterThenRetype();
    Select(Filter(), 0, false);
    {
        HeldCtrl ctrl;
        SendKeyAndChar(Filter(), 'A', 0x01);
    }
    Settle();
    EXPECT_EQ((std::vector<int>{0, 1}), SelectedRows(Filter()));
    EXPECT_EQ(L"zz", Text(IDC_FILTER));
    EXPECT_EQ(2u, Rows(Filter()).size()); // no filter pass ran
}

// As the message loop meets the key, in whichever control has the focus.
TEST_F(ShortcutKeysTest, CtrlFAnywhereFocusesTheFilterBoxWithItsTextSelected)
{
    FilterThenRetype();
    SetFocus(Main());
    EXPECT_FALSE(TakeFilterShortcut(dlg_, MSG{Main(), WM_KEYDOWN, 'F', 1, 0, {}}));
    EXPECT_EQ(Main(), GetFocus()); // F alone is no shortcut
    for (HWND from : {Filter(), Box(), Item(IDC_PATH), Item(IDC_REMOVE)}) {
        SetFocus(from);
        SendMessageW(Box(), EM_SETSEL, 1, 1);
        {
            HeldCtrl ctrl;
            EXPECT_TRUE(TakeFilterShortcut(dlg_, MSG{from, WM_KEYDOWN, 'F', 1, 0, {}}));
        }
        Settle();
        DWORD start = 9, end = 9;
        SendMessageW(Box(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(Box(), GetFocus());
        EXPECT_EQ(0u, start);
        EXPECT_EQ(2u, end);
        EXPECT_EQ(L"zz", Text(IDC_FILTER));
        EXPECT_EQ(2u, Rows(Filter()).size()); // no filter pass ran
    }
}

constexpr bool X = true;
constexpr bool o = false;

// A save shows every item disabled, and the answer of a disabled item does
// nothing. Locate takes one row whose program has gone (none of the rows'
// programs exists; the cases from "missing" on have been looked at).
TEST_F(ContextMenuTest, ItemsAreEnabledByTheSelectionAndNotDuringASave)
{
    struct Case {
        const char* name;
        std::vector<int> selected_before;
        int clicked_row; // -1: below the rows
        bool filtered;
        bool saving;
        int answer;
        std::vector<int> selected_after;
        std::vector<bool> enabled; // run, as administrator, folder, copy path, copy alias, edit, remove
        bool select_missing; // and Select conflicts: these rows have none
        bool locate;
    };
    const Case cases[] = {
        {"nothing", {}, -1, false, false, 0, {}, {o, o, o, o, o, o, o}, o, o},
        {"one row", {}, 1, false, false, 0, {1}, {X, X, X, X, X, X, X}, o, o},
        {"another row", {0}, 2, false, false, 0, {2}, {X, X, X, X, X, X, X}, o, o},
        {"several rows", {0, 2}, 2, false, false, 0, {0, 2}, {o, o, o, X, X, X, X}, o, o},
        {"during a save", {}, 0, false, true, kMenuRemove, {0}, {o, o, o, o, o, o, o}, o, o},
        {"missing, one row", {}, 1, false, false, 0, {1}, {X, X, X, X, X, X, X}, X, X},
        {"missing, several", {0, 2}, 2, false, false, 0, {0, 2}, {o, o, o, X, X, X, X}, X, o},
        {"missing, during a save", {}, 0, false, true, kMenuRemove, {0}, {o, o, o, o, o, o, o}, o, o},
        {"filtered, one row", {}, 1, true, false, 0, {1}, {X, X, X, X, X, X, X}, X, X},
        {"filtered, several", {0, 1}, 0, true, false, 0, {0, 1}, {o, o, o, X, X, X, X}, X, o},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.select_missing && CountMarkedRows(kMarkMissing) == 0) {
            CheckAllTargets();
            Settle();
        }
        if (c.filtered && IsWindowVisible(Main()))
            TypeFilter(L"*o");
        HWND list = c.filtered ? Filter() : Main();
        for (int row : SelectedRows(list))
            Select(list, row, false);
        for (int row : c.selected_before)
            Select(list, row);
        if (c.saving)
            BeginActivity(dlg_, Activity::Save);
        if (c.clicked_row < 0)
            RightClickAt(list, BelowTheRows(list), c.answer);
        else
            RightClickCell(list, c.clicked_row, 2, c.answer);
        if (c.saving)
            EndActivity(dlg_, Activity::Save);
        std::vector<bool> expected = c.enabled;
        expected.insert(expected.end(), {c.select_missing, o, c.locate});
        expected.push_back(!c.saving); // Import
        expected.push_back(o); // Restore previous save: nothing saved yet
        EXPECT_EQ(c.selected_after, SelectedRows(list));
        EXPECT_EQ(expected, EnabledItems());
        EXPECT_EQ(rows_, Rows(Main()));
    }
}

TEST_F(ContextMenuTest, MenuKeyOpensAtTheFocusedRow)
{
    Select(Main(), 1);
    ListView_SetItemState(Main(), 1, LVIS_FOCUSED, LVIS_FOCUSED);
    MenuKey(Main(), kMenuCopyAlias);
    EXPECT_EQ((std::vector<bool>{X, X, X, X, X, X, X, o, o, o, X, o}), EnabledItems());
    EXPECT_EQ(L"nova", ClipboardText(nullptr));
}

// On Windows two items with one mnemonic only move the highlight between them.
TEST_F(ContextMenuTest, EveryItemHasAMnemonicOfItsOwn)
{
    RightClickCell(Main(), 1, 0);
    std::wstring keys;
    for (const ShownItem& item : shown) {
        const size_t amp = item.text.find(L'&');
        if (item.id == 0 || amp + 1 >= item.text.size()) {
            EXPECT_EQ(0u, item.id) << NarrowAscii(item.text) << " has no mnemonic";
            continue;
        }
        const wchar_t key = towlower(item.text[amp + 1]);
        EXPECT_EQ(std::wstring::npos, keys.find(key)) << NarrowAscii(item.text);
        keys += key;
    }
    EXPECT_EQ(12u, keys.size()) << "every item but the separators";
}

TEST_F(ContextMenuTest, CopyPutsOneLinePerSelectedMainRowOnTheClipboard)
{
    Select(Main(), 0);
    Select(Main(), 2);
    RightClickCell(Main(), 2, 0, kMenuCopyPath);
    EXPECT_EQ(L"C:\\Tools\\notepad.exe\r\nC:\\Tools\\calc.exe", ClipboardText(nullptr));

    TypeFilter(L"no");
    Select(Filter(), 1);
    RightClickCell(Filter(), 1, 0, kMenuCopyAlias);
    EXPECT_EQ(L"notepad\r\nnova", ClipboardText(nullptr));
}

// The menu lets messages run, and a worker may move rows meanwhile (a
// Reload empties the table from the top): the items act on the rows the
// menu opened on, or on none.
TEST_F(ContextMenuTest, ItemsActOnTheRowsTheMenuOpenedOnThoughRowsMovedMeanwhile)
{
    meanwhile = [this] { ListView_DeleteItem(Main(), 0); };
    RightClickCell(Main(), 1, 0, kMenuCopyAlias);
    EXPECT_EQ(L"nova", ClipboardText(nullptr));

    meanwhile = [this] { ListView_DeleteItem(Main(), 0); }; // nova itself
    RightClickCell(Main(), 0, 2, kMenuEdit);
    EXPECT_FALSE(IsCellEditing()) << "calc moved under the point";

    // A scan ending while the menu is open selects row 0 as well.
    ListView_DeleteAllItems(Main());
    Fill(rows_);
    meanwhile = [this] { Select(Main(), 0); };
    RightClickCell(Main(), 2, 0, kMenuRemove);
    EXPECT_EQ((std::vector<test::Row>{rows_[0], rows_[1]}), Rows(Main()));
}

TEST_F(ContextMenuTest, RemoveInTheFilteredViewTakesTheMainRowTheFilterRowCameFrom)
{
    ListView_DeleteAllItems(Main());
    Fill({{L"dup", L"", L"C:\\A\\dup.exe"}, {L"dup", L"", L"D:\\B\\dup.exe"}, {L"other", L"", L"C:\\A\\other.exe"}});
    Click(IDC_MATCH_PATH);
    TypeFilter(L"D:");
    ASSERT_EQ((std::vector<test::Row>{rows_[1]}), Rows(Filter()));

    RightClickCell(Filter(), 0, 0, kMenuRemove);
    EXPECT_EQ((std::vector<test::Row>{rows_[0], rows_[2]}), Rows(Main()));
    EXPECT_TRUE(Rows(Filter()).empty());
    EXPECT_EQ(L"2", Text(IDC_COUNT));
}

TEST_F(ContextMenuTest, EditOpensTheCellUnderTheMouse)
{
    RightClickCell(Main(), 1, 2, kMenuEdit);
    HWND edit = WaitForEditBox(Main());
    ASSERT_NE(nullptr, edit);
    EXPECT_EQ(rows_[1].path, WindowText(edit));
    const RECT cell = CellRect(Main(), 1, 2);
    EXPECT_EQ(cell.left, RectInList(Main(), edit).left);
    EndEdit(Main(), L"C:\\New\\nova.exe", VK_RETURN);
    EXPECT_EQ(L"C:\\New\\nova.exe", Cell(Main(), 1, 2));
    EXPECT_EQ(L"nova", Cell(Main(), 1, 0));
}

// On Windows the elevation prompt comes first; Wine starts the program at once.
TEST_F(ContextMenuTest, RunAndRunAsAdministratorStartThePathWithItsParameterShownNormally)
{
    const std::wstring probe = dir_.path() + L"\\launch_probe.exe";
    ASSERT_TRUE(CopyFileW((ProgramDir() + L"\\launch_probe.exe").c_str(), probe.c_str(), FALSE));
    ListView_DeleteAllItems(Main());
    Fill({{L"probe", L"-x 1", probe}});
    for (int command : {kMenuRun, kMenuRunAsAdministrator}) {
        SCOPED_TRACE(command);
        ProbeRun run(dir_.path());
        RightClickCell(Main(), 0, 0, command);
        ASSERT_TRUE(run.Read());
        EXPECT_EQ(L"\"" + probe + L"\" -x 1", run[L"command"]);
        EXPECT_EQ(L"1", run[L"show"]);
    }
}

// Acts on a window of this thread as soon as it shows, from inside the modal
// loop that shows it (a menu's or a message box's), through a thread timer.
class OnOwnWindow {
public:
    OnOwnWindow(const wchar_t* window_class, const wchar_t* title, std::function<void(HWND)> act)
    {
        pending_ = {window_class, title, std::move(act)};
        timer_ = SetTimer(nullptr, 0, 20, &Tick);
    }
    ~OnOwnWindow()
    {
        KillTimer(nullptr, timer_);
        pending_ = {};
    }
    OnOwnWindow(const OnOwnWindow&) = delete;
    OnOwnWindow& operator=(const OnOwnWindow&) = delete;

private:
    struct Pending {
        const wchar_t* window_class;
        const wchar_t* title;
        std::function<void(HWND)> act;
    };
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        HWND window = FindWindowW(pending_.window_class, pending_.title);
        if (!window || !pending_.act || GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId())
            return;
        std::exchange(pending_.act, nullptr)(window);
    }
    static inline Pending pending_;
    UINT_PTR timer_;
};

TEST_F(ContextMenuTest, TheSystemMenuAnswersWithTheChosenItem)
{
    SetContextMenuPicker(nullptr);
    int items = 0;
    {
        OnOwnWindow choose(L"#32768", nullptr, [&](HWND menu) {
            items = GetMenuItemCount(reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0)));
            PostMessageW(menu, WM_CHAR, L'a', 1); // Copy &alias
        });
        RightClickCell(Main(), 1, 0);
    }
    EXPECT_EQ(14, items);
    EXPECT_EQ(L"nova", ClipboardText(nullptr));
}

// Explorer opens the program's folder; a program that has gone leaves its
// folder to open, and a folder that has gone too is reported. (Wine's
// SHOpenFolderAndSelectItems asks a desktop shell the test display lacks:
// there Explorer is asked on its command line.)
TEST_F(ContextMenuTest, OpenContainingFolderOpensItOrSaysWhyNot)
{
    const std::wstring folder_name = L"velkor tools " + std::to_wstring(GetCurrentProcessId());
    const std::wstring folder = dir_ / folder_name;
    ASSERT_TRUE(MakeDirs(folder));
    ASSERT_TRUE(WriteFileBytes(folder + L"\\app.exe", "x"));
    struct Case {
        const char* name;
        std::wstring path;
        bool opens;
    };
    const Case cases[] = {
        {"program there", folder + L"\\app.exe", true},
        {"program gone", folder + L"\\gone.exe", true},
        {"folder gone", dir_ / L"gone\\gone.exe", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ListView_DeleteAllItems(Main());
        Fill({{L"app", L"", c.path}});
        bool box = false;
        {
            OnOwnWindow answer_box(L"#32770", L"Velkor Error", [&](HWND window) {
                box = true;
                PostMessageW(window, WM_COMMAND, IDOK, 0);
            });
            RightClickCell(Main(), 0, 0, kMenuOpenFolder);
        }
        EXPECT_EQ(!c.opens, box);
        if (c.opens) {
            EXPECT_TRUE(
                CloseShellWindow([&](const std::wstring& title) { return title == folder_name || title == folder; }));
        }
    }
}

TEST_F(ContextMenuTest, RunThatFailsShowsTheSystemsReason)
{
    ListView_DeleteAllItems(Main());
    Fill({{L"gone", L"", dir_.path() + L"\\gone.exe"}});
    WindowWatcher box(L"Velkor Error", PressButton(IDOK));
    RightClickCell(Main(), 0, 0, kMenuRun);
    ASSERT_TRUE(box.Seen());
    wchar_t reason[512] = {};
    ASSERT_NE(0u,
              FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_FILE_NOT_FOUND,
                             0, reason, 512, nullptr));
    std::wstring expected = reason;
    expected.erase(expected.find_last_not_of(L" \r\n") + 1);
    EXPECT_NE(std::wstring::npos, box.seen().text.find(expected)) << NarrowAscii(box.seen().text);
}

// Answers the system's file dialog with a file name, as typed into it.
std::function<void(HWND)> ChooseFile(const std::wstring& path)
{
    return [path](HWND chooser) {
        for (int id : {0x47C, 0x480}) // the name box of the explorer style, and of the old one
            SetDlgItemTextW(chooser, id, path.c_str());
        PostMessageW(chooser, WM_COMMAND, IDOK, 0);
    };
}

// Import appends another table's rows by its rules, in either encoding of
// config.ini; Restore previous save brings back the table the last save
// replaced. Neither writes a file until Apply or OK.
TEST_F(ContextMenuTest, ImportAndRestoreBringRowsInUnsaved)
{
    TempDir other(L"-import");
    const std::vector<test::Row> theirs = {{L"notepad", L"", L"c:\\tools\\notepad.exe"},
                                           {L"calc", L"", L"d:\\other\\calc.exe"},
                                           {L"new", L"-n", L"c:\\new.exe"}};
    std::vector<test::Row> expected = rows_;
    expected.push_back({L"calc_#0", L"", L"d:\\other\\calc.exe"});
    expected.push_back({L"new", L"-n", L"c:\\new.exe"});
    const std::vector<test::Row> mine = rows_;
    for (const bool unicode : {true, false}) {
        SCOPED_TRACE(unicode ? "UTF-16 config.ini" : "ANSI config.ini");
        ListView_DeleteAllItems(Main());
        Fill(mine);
        bModified = 0;
        ASSERT_TRUE(WriteStorePair(other.path(), theirs));
        if (!unicode) {
            ASSERT_TRUE(WriteFileBytes(other / L"config.ini", "[notepad]\r\npath=c:\\tools\\notepad.exe\r\n[calc]\r\n"
                                                            "path=d:\\other\\calc.exe\r\n[new]\r\npath=c:\\new.exe\r\n"
                                                            "parameter=-n\r\n"));
        }
        WindowWatcher chooser(L"Import the aliases of another table", ChooseFile(other / L"config.ini"));
        RightClickCell(Main(), 0, 0, kMenuImport);
        ASSERT_TRUE(chooser.Seen());
        Settle();
        EXPECT_EQ(expected, Rows(Main()));
        EXPECT_EQ(L"Imported 2, skipped 1, renamed 1.", Text(IDC_STATUS));
        EXPECT_EQ(Text(IDC_STATUS), StatusTip());
        wchar_t current[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, current);
        EXPECT_EQ(0, lstrcmpiW(dir_.path().c_str(), current)) << "the Open dialog's folder stays its own";
        EXPECT_EQ(1, bModified.load());
        EXPECT_FALSE(PathExists(dir_ / L"config.ini")) << "nothing saved";
    }

    // Saved, then cleared and saved again by OK: Restore brings it back.
    Click(IDC_APPLY);
    Settle();
    Click(IDC_CLEAR);
    Click(IDC_OK);
    Settle();
    Restart();
    ASSERT_TRUE(Rows(Main()).empty());
    RightClickAt(Main(), POINT{10, 30}, kMenuRestore);
    Settle();
    std::vector<test::Row> restored;
    for (const test::Row& row : expected)
        restored.push_back(test::Lowered(row));
    EXPECT_EQ(restored, Rows(Main()));
    EXPECT_EQ(1, bModified.load());
    EXPECT_TRUE(ReadStorePair(dir_.path()).rows.empty()) << "nothing written until Apply or OK";
}

} // namespace
