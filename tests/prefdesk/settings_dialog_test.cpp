#include "dialog_geometry.h"
#include "dialog_template.h"
#include "language_list.h"
#include "prefdesk_ids.h"
#include "settings_fixture.h"
#include "transparency.h"
#include "wait.h"

#include <commctrl.h>

#include <string>
#include <utility>

namespace {

constexpr DWORD kShown = WS_VISIBLE;
constexpr DWORD kButton = kShown | BS_PUSHBUTTON | BS_FLAT | WS_TABSTOP;
constexpr DWORD kLabel = kShown | SS_LEFT | WS_GROUP;

const ControlRow kControls[] = {
    {IDC_SAVE, L"Button", L"Save", kShown | BS_DEFPUSHBUTTON | BS_FLAT | WS_TABSTOP, 171, 139, 50, 14},
    {IDC_SETTINGS_CANCEL, L"Button", L"Cancel", kButton, 7, 139, 50, 14},
    {IDC_HOTKEY, L"msctls_hotkey32", L"", kShown | WS_BORDER | WS_TABSTOP, 96, 43, 116, 14},
    {IDC_SETTINGS_APPLY, L"Button", L"Apply", kButton, 90, 139, 50, 14},
    {-1, L"Static", L"Display/Hide velkor:", kLabel, 13, 45, 68, 8},
    {-1, L"Button", L"HotKey: ", kShown | BS_GROUPBOX, 7, 33, 214, 29},
    {IDC_LANGUAGE, L"ComboBox", L"", kShown | CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL | WS_TABSTOP, 90, 14, 116, 69},
    {-1, L"Static", L"Select Language: ", kLabel, 13, 16, 58, 8},
    {-1, L"Static", L"Command line color:", kLabel, 13, 81, 65, 8},
    {IDC_COLOR, L"Button", L"", kShown | BS_OWNERDRAW | WS_TABSTOP, 127, 79, 50, 14},
    {-1, L"Button", L"Background Color: ", kShown | BS_GROUPBOX, 7, 67, 214, 49},
    {IDC_ALPHA, L"msctls_trackbar32", L"", kShown | TBS_HORZ | TBS_BOTH | TBS_NOTICKS | WS_TABSTOP, 91, 96, 100, 15},
    {IDC_TRANSPARENT, L"Static", L"Transparent: ", kLabel, 13, 100, 45, 8},
    {IDC_ALPHA_VALUE, L"Static", L"Alpha", kLabel, 196, 99, 19, 8},
    {IDC_SETTINGS_VERSION, L"Static", L"Version: ", kLabel, 155, 123, 65, 8},
};

} // namespace

TEST(SettingsDialogResource, IsLaidOutAsTheTableSays)
{
    DialogTemplate dialog;
    ASSERT_TRUE(LoadDialogTemplate(GetModuleHandleW(nullptr), IDD_SETTING, &dialog));
    EXPECT_EQ(L"Velkor - Setting", dialog.title);
    EXPECT_EQ(228, dialog.cx);
    EXPECT_EQ(160, dialog.cy);
    EXPECT_EQ(static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_CENTER | DS_SETFOREGROUND | DS_SETFONT |
                                 DS_FIXEDSYS),
              dialog.style);
    EXPECT_EQ(static_cast<DWORD>(WS_EX_TOPMOST), dialog.ex_style);
    EXPECT_EQ(L"MS Shell Dlg", dialog.font);
    EXPECT_EQ(8, dialog.point_size);
    EXPECT_EQ(400, dialog.weight);

    ExpectItemsAsRows(dialog, kControls, std::size(kControls));
}

TEST_F(SettingsDialogTest, WithoutAnyFileComesUpWithTheDefaultsAndCreatesNothing)
{
    SetTransparencyQueries([] { return 4; }, [] { return BOOL{TRUE}; }); // every control shown
    Open();
    wchar_t title[64] = {};
    GetWindowTextW(dlg_, title, 64);
    EXPECT_STREQ(L"Velkor - Setting", title);
    EXPECT_TRUE(GetWindowLongPtrW(dlg_, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(L"Version: 1.0.1.150", Text(IDC_SETTINGS_VERSION));
    EXPECT_NE(0, SendMessageW(dlg_, WM_GETICON, ICON_SMALL, 0));

    ExpectChildrenAsRows(dlg_, kControls, std::size(kControls));

    EXPECT_EQ(0, SendMessageW(Item(IDC_HOTKEY), HKM_GETHOTKEY, 0, 0));
    EXPECT_TRUE(LanguageEntries().empty());
    EXPECT_EQ(CB_ERR, SendMessageW(Item(IDC_LANGUAGE), CB_GETCURSEL, 0, 0));
    EXPECT_EQ(0, SendMessageW(Item(IDC_ALPHA), TBM_GETPOS, 0, 0));
    EXPECT_EQ(0, SendMessageW(Item(IDC_ALPHA), TBM_GETRANGEMIN, 0, 0));
    EXPECT_EQ(255, SendMessageW(Item(IDC_ALPHA), TBM_GETRANGEMAX, 0, 0));
    EXPECT_EQ(L"0", Text(IDC_ALPHA_VALUE));
    EXPECT_FALSE(SettingsExist());
}

TEST_F(SettingsDialogTest, LanguagesAreListedByTheNameBeforeTheFirstDotSorted)
{
    AddLanguageFiles({L"English.ini", L"German.ini", L"de.old.ini", L"readme.txt"});
    Store(L"language", L"filepath", L".\\Language\\German.ini");
    Open();
    const std::vector<std::wstring> expected = {L"de", L"English", L"German"};
    EXPECT_EQ(expected, LanguageEntries());
    EXPECT_EQ(L"German", SelectedLanguage());
}

TEST_F(SettingsDialogTest, TheStoredNameSelectsTheFirstEntryThatBeginsWithIt)
{
    AddLanguageFiles({L"English.ini", L"German.ini", L"de.old.ini"});
    Store(L"language", L"filepath", L".\\Language\\eng.ini");
    Open();
    EXPECT_EQ(L"English", SelectedLanguage());

    // The folder and the last extension of the stored path are not part of the name.
    SendMessageW(Item(IDC_LANGUAGE), CB_RESETCONTENT, 0, 0);
    Store(L"language", L"filepath", L"C:\\elsewhere\\GER.ini");
    EXPECT_EQ(1, FillLanguageList(dlg_));
    EXPECT_EQ(L"German", SelectedLanguage());

    // Only the last extension goes: "de.old" begins no entry.
    SendMessageW(Item(IDC_LANGUAGE), CB_RESETCONTENT, 0, 0);
    Store(L"language", L"filepath", L".\\Language\\de.old.ini");
    EXPECT_EQ(1, FillLanguageList(dlg_));
    EXPECT_EQ(L"", SelectedLanguage());
}

TEST_F(SettingsDialogTest, AStoredNameThatNoEntryBeginsWithSelectsNothing)
{
    AddLanguageFiles({L"English.ini", L"German.ini"});
    Store(L"language", L"filepath", L".\\Language\\French.ini");
    Open();
    EXPECT_EQ(2u, LanguageEntries().size());
    EXPECT_EQ(L"", SelectedLanguage());
}

TEST_F(SettingsDialogTest, NoStoredLanguageSelectsNothing)
{
    AddLanguageFiles({L"English.ini", L"German.ini"});
    Open();
    EXPECT_EQ(2u, LanguageEntries().size());
    EXPECT_EQ(L"", SelectedLanguage());
}

TEST_F(SettingsDialogTest, FoldersAndDotNamesAreListedToo)
{
    AddLanguageFiles({L".hidden.ini", L"English.ini"});
    ASSERT_TRUE(MakeDirs(dir_ / L"language\\Folder.ini"));
    Open();
    const std::vector<std::wstring> expected = {L"", L"English", L"Folder"};
    EXPECT_EQ(expected, LanguageEntries());
}

TEST_F(SettingsDialogTest, FillLanguageListTellsWhetherTheFolderHeldALanguage)
{
    Open();
    EXPECT_EQ(0, FillLanguageList(dlg_)) << "no language folder";
    ASSERT_TRUE(MakeDirs(dir_ / L"language"));
    EXPECT_EQ(0, FillLanguageList(dlg_)) << "an empty folder";
    AddLanguageFiles({L"English.ini"});
    EXPECT_EQ(1, FillLanguageList(dlg_));
    EXPECT_EQ(std::vector<std::wstring>{L"English"}, LanguageEntries());
}

TEST_F(SettingsDialogTest, LanguageNamesOutsideTheAnsiCodePageRoundTrip)
{
    const std::wstring japanese = L"\x65E5\x672C\x8A9E";
    const std::wstring russian = L"\x0420\x0443\x0441\x0441\x043A\x0438\x0439";
    AddLanguageFiles({japanese + L".ini", russian + L".ini", L"English.ini"});
    Open();
    SendMessageW(Item(IDC_LANGUAGE), CB_SELECTSTRING, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(japanese.c_str()));
    ASSERT_EQ(japanese, SelectedLanguage());
    Click(IDC_SAVE);
    ASSERT_FALSE(IsOpen());

    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(settings(), &bytes));
    EXPECT_EQ("\xFF\xFE", bytes.substr(0, 2)) << "the program's new settings.ini is Unicode";
    EXPECT_EQ(L".\\Language\\" + japanese + L".ini", Stored(L"language", L"filepath"));

    Open();
    EXPECT_EQ(japanese, SelectedLanguage());
}

TEST_F(SettingsDialogTest, AnOverlongLanguageNameIsCutSoThatThePathStaysWhole)
{
    Open();
    const std::wstring name(300, L'n');
    HWND combo = Item(IDC_LANGUAGE);
    const auto index = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    SendMessageW(combo, CB_SETCURSEL, index, 0);
    Click(IDC_SETTINGS_APPLY);
    const std::wstring stored = Stored(L"language", L"filepath");
    EXPECT_EQ(259u, stored.size());
    EXPECT_EQ(L".\\Language\\", stored.substr(0, 11));
    EXPECT_EQ(L".ini", stored.substr(stored.size() - 4));
    EXPECT_EQ(std::wstring(244, L'n'), stored.substr(11, 244));
}

TEST_F(SettingsDialogTest, StoredHotKeyShowsCutToItsLowBytesAndIsSavedBack)
{
    // 6/32 is Ctrl+Alt+Space; 0x106/0x120 are the same once cut to their low bytes.
    for (auto [modifiers, key] : {std::pair{L"6", L"32"}, std::pair{L"262", L"288"}}) {
        SCOPED_TRACE(modifiers);
        Store(L"hotkey", L"popup_mod", modifiers);
        Store(L"hotkey", L"popup_vk", key);
        Open();
        const auto hot_key = static_cast<WORD>(SendMessageW(Item(IDC_HOTKEY), HKM_GETHOTKEY, 0, 0));
        EXPECT_EQ(VK_SPACE, LOBYTE(hot_key));
        EXPECT_EQ(HOTKEYF_CONTROL | HOTKEYF_ALT, HIBYTE(hot_key));

        Click(IDC_SAVE);
        EXPECT_FALSE(IsOpen());
        EXPECT_EQ(L"6", Stored(L"hotkey", L"popup_mod"));
        EXPECT_EQ(L"32", Stored(L"hotkey", L"popup_vk"));
    }
}

TEST_F(SettingsDialogTest, ApplyWritesEveryValueInOrderAndStaysOpen)
{
    AddLanguageFiles({L"English.ini", L"German.ini"});
    Store(L"aspect", L"color", L"255");
    Open();
    ASSERT_TRUE(DeleteFileW(settings().c_str())); // a clean file shows the order of the writes
    SendMessageW(Item(IDC_HOTKEY), HKM_SETHOTKEY, MAKEWORD('K', HOTKEYF_SHIFT | HOTKEYF_EXT), 0);
    SendMessageW(Item(IDC_LANGUAGE), CB_SETCURSEL, 1, 0);
    SendMessageW(Item(IDC_ALPHA), TBM_SETPOS, TRUE, 200);

    Click(IDC_SETTINGS_APPLY);
    EXPECT_TRUE(IsOpen());
    const std::vector<std::wstring> sections = {L"hotkey", L"language", L"aspect"};
    EXPECT_EQ(sections, StoredSections());
    const std::vector<std::wstring> values = {L"9", L"75", L".\\Language\\German.ini", L"255", L"200"};
    EXPECT_EQ(values, StoredValues());
}

TEST_F(SettingsDialogTest, SaveWithoutFilesStoresTheDefaultsClosesAndQuits)
{
    Open();
    Click(IDC_SAVE);
    EXPECT_FALSE(IsOpen());
    const std::vector<std::wstring> values = {L"0", L"0", L".\\Language\\.ini", L"0", L"0"};
    EXPECT_EQ(values, StoredValues());
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(0u, msg.wParam);
}

TEST_F(SettingsDialogTest, TheCloseBoxWritesNothing)
{
    AddLanguageFiles({L"English.ini"});
    Open();
    SendMessageW(Item(IDC_HOTKEY), HKM_SETHOTKEY, MAKEWORD('K', HOTKEYF_ALT), 0);
    SendMessageW(Item(IDC_LANGUAGE), CB_SETCURSEL, 0, 0);
    SendMessageW(dlg_, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsOpen(); }));
    EXPECT_FALSE(SettingsExist());
}

TEST_F(SettingsDialogTest, EscapeDoesNotCloseTheDialog)
{
    Store(L"aspect", L"color", L"5");
    Open();
    SendMessageW(Item(IDC_ALPHA), TBM_SETPOS, TRUE, 9);
    SetFocus(Item(IDC_SETTINGS_APPLY));
    // Keys go through the dialog manager, as the program's message loop sends them.
    auto press = [&](WPARAM key) {
        PostMessageW(GetFocus(), WM_KEYDOWN, key, 0);
        PostMessageW(GetFocus(), WM_KEYUP, key, 0xC0000001);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!IsDialogMessageW(dlg_, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
    };
    press(VK_ESCAPE);
    EXPECT_TRUE(IsOpen());
    EXPECT_EQ(L"5", Stored(L"aspect", L"color"));
    EXPECT_EQ(L"<missing>", Stored(L"aspect", L"alpha"));

    press(VK_TAB); // the same path does reach the dialog manager
    EXPECT_EQ(Item(IDC_LANGUAGE), GetFocus());
}

// Moves to monitors of other DPIs and back, as the system announces them,
// with the transparency controls shown: back at the first DPI every
// control and the font are as they were.
TEST_F(SettingsDialogTest, MovingToOtherDpisAndBackScalesTheLayout)
{
    SetTransparencyQueries([] { return 4; }, [] { return BOOL{TRUE}; });
    Open();
    const auto start = ChildPlaces(dlg_);
    const LONG font = FontHeight(start.front().window);
    ExpectFollowsDpiChange(dlg_, 96, 144, 48);
    ExpectFollowsDpiChange(dlg_, 144, 120, 40);
    ExpectFollowsDpiChange(dlg_, 120, 96, 32);
    ExpectSamePlaces(start, ChildPlaces(dlg_));
    EXPECT_EQ(font, FontHeight(start.front().window));
}
