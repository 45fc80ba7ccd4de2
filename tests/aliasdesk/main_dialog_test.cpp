#include "aliasdesk_ids.h"
#include "app_state.h"
#include "cell_edit.h"
#include "dialog_fixture.h"
#include "dialog_template.h"
#include "main_dialog.h"
#include "main_table.h"
#include "row_removal.h"
#include "report_table.h"
#include "wait.h"
#include "window_watch.h"

#include <commctrl.h>

#include <string>

namespace {

LONG_PTR StyleOf(HWND window)
{
    return GetWindowLongPtrW(window, GWL_STYLE);
}

std::wstring HeaderText(HWND list, int column)
{
    wchar_t text[64] = {};
    LVCOLUMNW info{};
    info.mask = LVCF_TEXT;
    info.pszText = text;
    info.cchTextMax = 64;
    SendMessageW(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&info));
    return text;
}

RECT ClientRectOf(HWND child)
{
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The resource table of the dialog, in template order.
constexpr DWORD kButton = WS_VISIBLE | WS_TABSTOP | BS_FLAT | BS_PUSHBUTTON;
constexpr DWORD kEdit = WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kRadio = WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON;
constexpr DWORD kList =
    WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_EDITLABELS | LVS_ALIGNLEFT;
constexpr DWORD kLabel = WS_VISIBLE | WS_GROUP | SS_LEFT;

const ControlRow kControls[] = {
    {IDC_PATH, L"Edit", L"", kEdit, 52, 7, 354, 14},
    {IDC_BROWSE, L"Button", L"&Browse...", kButton, 415, 7, 50, 14},
    {IDC_ADD, L"Button", L"&Add", kButton, 480, 7, 50, 14},
    {IDC_FILTER, L"Edit", L"", kEdit, 16, 49, 301, 14},
    {IDC_MATCH_ALIAS, L"Button", L"Match Alia&s", kRadio, 338, 52, 52, 10},
    {IDC_MATCH_PATH, L"Button", L"Match &Path", kRadio, 400, 52, 52, 10},
    {IDC_MAIN_LIST, L"SysListView32", L"", kList, 15, 72, 437, 355},
    {IDC_UNUSED_EDIT, L"Edit", L"",
     WS_BORDER | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP | ES_MULTILINE | ES_LOWERCASE | ES_AUTOVSCROLL | ES_AUTOHSCROLL |
         ES_READONLY | ES_WANTRETURN,
     63, 343, 139, 69},
    {IDC_REMOVE, L"Button", L"Remove", kButton, 480, 255, 50, 14},
    {IDC_CLEAR, L"Button", L"Clear", kButton, 480, 281, 50, 14},
    {IDC_RELOAD, L"Button", L"Re&load", kButton, 480, 306, 50, 14},
    {IDC_APPLY, L"Button", L"Appl&y", kButton, 480, 372, 50, 14},
    {IDC_CANCEL, L"Button", L"&Cancel", kButton, 480, 396, 50, 14},
    {IDC_OK, L"Button", L"&OK", kButton, 480, 420, 50, 14},
    {IDC_GROUP, L"Button", L"Alias Configuration: ", WS_VISIBLE | BS_GROUPBOX, 7, 33, 456, 401},
    {IDC_COUNT, L"Static", L"0", kLabel, 480, 122, 50, 8},
    {IDC_IGNORED, L"Static", L"0", WS_GROUP | SS_LEFT, 480, 161, 50, 8},
    {-1, L"Static", L"Ignored: ", WS_GROUP | SS_LEFT, 480, 146, 50, 8},
    {IDC_VERSION, L"Static", L"0", kLabel, 480, 202, 50, 8},
    {-1, L"Static", L"Version: ", kLabel, 480, 186, 50, 8},
    {IDC_STATUS, L"Static", L"Status...", kLabel, 480, 62, 50, 8},
    {-1, L"Static", L"Scaned: ", kLabel, 480, 107, 50, 8},
    {IDC_PATH_CAPTION, L"Static", L"Select Pa&th: ", kLabel, 7, 9, 43, 8},
    {IDC_FILTER_LIST, L"SysListView32", L"", kList & ~WS_VISIBLE, 15, 72, 437, 355},
    {IDC_PROGRESS, L"msctls_progress32", L"", WS_BORDER, 15, 426, 437, 8},
};

} // namespace

TEST(MainDialogResource, IsLaidOutAsTheTableSays)
{
    DialogTemplate dialog;
    ASSERT_TRUE(LoadDialogTemplate(GetModuleHandleW(nullptr), IDD_MAIN, &dialog));
    EXPECT_EQ(L"Velkor - Add", dialog.title);
    EXPECT_EQ(537, dialog.cx);
    EXPECT_EQ(441, dialog.cy);
    EXPECT_EQ(
        static_cast<DWORD>(WS_OVERLAPPEDWINDOW | DS_CENTER | DS_SETFOREGROUND | DS_3DLOOK | DS_FIXEDSYS | DS_SETFONT),
        dialog.style);
    EXPECT_EQ(L"MS Shell Dlg", dialog.font);
    EXPECT_EQ(8, dialog.point_size);

    ExpectItemsAsRows(dialog, kControls, std::size(kControls));
}

TEST_F(MainDialogTest, ComesUpWithEveryControlOfTheResource)
{
    wchar_t title[64] = {};
    GetWindowTextW(dlg_, title, 64);
    EXPECT_STREQ(L"Velkor - Add", title);
    ExpectChildrenAsRows(dlg_, kControls, std::size(kControls));
    EXPECT_TRUE(StyleOf(Item(IDC_GROUP)) & WS_CLIPSIBLINGS);
    EXPECT_TRUE(StyleOf(Item(IDC_GROUP)) & WS_CLIPCHILDREN);
}

TEST_F(MainDialogTest, BothListsHaveTheAliasColumnsAndLieOnTopOfEachOther)
{
    for (int id : {IDC_MAIN_LIST, IDC_FILTER_LIST}) {
        HWND list = Item(id);
        EXPECT_EQ(3, Header_GetItemCount(ListView_GetHeader(list)));
        EXPECT_EQ(L"alias", HeaderText(list, 0));
        EXPECT_EQ(L"parameter", HeaderText(list, 1));
        EXPECT_EQ(L"path", HeaderText(list, 2));
    }
    ASSERT_NE(nullptr, pMainTable);
    ASSERT_NE(nullptr, pFilterTable);
    EXPECT_EQ(Item(IDC_MAIN_LIST), pMainTable->window);
    EXPECT_EQ(Item(IDC_FILTER_LIST), pFilterTable->window);
    const RECT main_rect = ClientRectOf(Item(IDC_MAIN_LIST));
    const RECT filter_rect = ClientRectOf(Item(IDC_FILTER_LIST));
    EXPECT_TRUE(EqualRect(&main_rect, &filter_rect));
    EXPECT_TRUE(IsMainListShown(dlg_));
}

TEST_F(MainDialogTest, StartsWithVersionIconAndMatchAliasChecked)
{
    EXPECT_EQ(L"2.2.0.24", Text(IDC_VERSION));
    EXPECT_NE(0, SendMessageW(dlg_, WM_GETICON, ICON_SMALL, 0));
    EXPECT_EQ(UINT{BST_CHECKED}, IsDlgButtonChecked(dlg_, IDC_MATCH_ALIAS));
    EXPECT_EQ(UINT{BST_UNCHECKED}, IsDlgButtonChecked(dlg_, IDC_MATCH_PATH));
    EXPECT_EQ(dlg_, WorkersDialog());
    EXPECT_EQ(0, bModified.load());
    EXPECT_EQ(L"Status...", Text(IDC_STATUS));
    EXPECT_EQ(L"0", Text(IDC_COUNT));
}

// The label holds about a dozen letters: a longer status shows whole in the
// label's tip, a short one brings no tip up.
TEST_F(MainDialogTest, AStatusLongerThanItsLabelShowsWholeInATip)
{
    const struct {
        const wchar_t* status;
        const wchar_t* tip;
    } cases[] = {
        {L"Finished!", L""},
        {L"Not closed: changed while saving.", L"Not closed: changed while saving."},
        {L"Imported 1200, skipped 30, renamed 4.", L"Imported 1200, skipped 30, renamed 4."},
        {L"", L""},
    };
    for (const auto& c : cases) {
        SetDlgItemTextW(dlg_, IDC_STATUS, c.status);
        EXPECT_EQ(c.tip, StatusTip()) << c.status;
    }
    // The mouse resting on the label brings the tip up; a new status takes it down.
    SetDlgItemTextW(dlg_, IDC_STATUS, L"Not closed: changed while saving.");
    RECT label{};
    GetWindowRect(Item(IDC_STATUS), &label);
    struct CursorKept { // the mouse over the dialog would end a removal's repaint in later tests
        POINT at{};
        CursorKept() { GetCursorPos(&at); }
        ~CursorKept() { SetCursorPos(at.x, at.y); }
    } kept;
    SetCursorPos((label.left + label.right) / 2, (label.top + label.bottom) / 2);
    HWND tip = StatusTipWindow();
    ASSERT_TRUE(PumpUntil([tip] { return IsWindowVisible(tip) != FALSE; }));
    wchar_t shown[64] = {};
    GetWindowTextW(tip, shown, 64);
    EXPECT_STREQ(L"Not closed: changed while saving.", shown);
    SetDlgItemTextW(dlg_, IDC_STATUS, L"Finished!");
    EXPECT_FALSE(IsWindowVisible(tip));
}

TEST_F(MainDialogTest, ListsCarryTheReplacedClassProcedure)
{
    HWND list = Item(IDC_MAIN_LIST);
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(ListClassProc), GetWindowLongPtrW(list, GWLP_WNDPROC));
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(37, 21));
    SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(37, 21));
    EXPECT_EQ(37u, LastListClick().x);
    EXPECT_EQ(21u, LastListClick().y);
}

TEST_F(MainDialogTest, RadioButtonsSwitchAndGiveTheFilterBoxTheFocus)
{
    Click(IDC_MATCH_PATH);
    EXPECT_EQ(UINT{BST_CHECKED}, IsDlgButtonChecked(dlg_, IDC_MATCH_PATH));
    EXPECT_EQ(UINT{BST_UNCHECKED}, IsDlgButtonChecked(dlg_, IDC_MATCH_ALIAS));
    EXPECT_EQ(Item(IDC_FILTER), GetFocus());

    SetFocus(Item(IDC_PATH));
    Click(IDC_MATCH_ALIAS);
    EXPECT_EQ(UINT{BST_CHECKED}, IsDlgButtonChecked(dlg_, IDC_MATCH_ALIAS));
    EXPECT_EQ(UINT{BST_UNCHECKED}, IsDlgButtonChecked(dlg_, IDC_MATCH_PATH));
    EXPECT_EQ(Item(IDC_FILTER), GetFocus());
}

// A filter row as the filter makes it: carrying the identity of its main row.
void AppendCopy(HWND filter_list, test::Row row, RowId id)
{
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = static_cast<int>(SendMessageW(filter_list, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = row.alias.data();
    item.lParam = id;
    item.iItem = static_cast<int>(SendMessageW(filter_list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    item.mask = LVIF_TEXT;
    item.iSubItem = 2;
    item.pszText = row.path.data();
    SendMessageW(filter_list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

TEST_F(MainDialogTest, ClearInTheFullViewEmptiesTheMainList)
{
    for (int i = 0; i < 5; ++i)
        AppendRow(Item(IDC_MAIN_LIST), {L"a" + std::to_wstring(i), L"", L"c:\\a.exe"});
    SetDlgItemInt(dlg_, IDC_COUNT, 5, FALSE);
    wcscpy(szScanFolder, L"c:\\apps");

    Click(IDC_CLEAR);
    EXPECT_TRUE(Rows(Item(IDC_MAIN_LIST)).empty());
    EXPECT_EQ(L"0", Text(IDC_COUNT));
    EXPECT_STREQ(L"", szScanFolder);
    EXPECT_EQ(1, bModified.load());
}

TEST_F(MainDialogTest, ClearInTheFilteredViewRemovesExactlyTheShownRows)
{
    HWND main_list = Item(IDC_MAIN_LIST);
    HWND filter_list = Item(IDC_FILTER_LIST);
    std::vector<test::Row> all;
    for (int i = 0; i < 10; ++i) {
        all.push_back({L"alias" + std::to_wstring(i), L"", L"c:\\p" + std::to_wstring(i) + L".exe"});
        AppendRow(main_list, all.back());
    }
    for (int i : {2, 5, 9})
        AppendCopy(filter_list, all[i], IdOfRow(main_list, i));
    ShowWindow(main_list, SW_HIDE);
    ShowWindow(filter_list, SW_SHOW);
    SetDlgItemInt(dlg_, IDC_COUNT, 10, FALSE);
    SetDlgItemTextW(dlg_, IDC_FILTER, L"*");

    Click(IDC_CLEAR);

    std::vector<test::Row> expected = all;
    expected.erase(expected.begin() + 9);
    expected.erase(expected.begin() + 5);
    expected.erase(expected.begin() + 2);
    EXPECT_EQ(expected, Rows(main_list));
    EXPECT_TRUE(Rows(filter_list).empty());
    EXPECT_EQ(L"7", Text(IDC_COUNT));
    EXPECT_FALSE(IsMainListShown(dlg_)) << "the filter list stays in view";
    EXPECT_EQ(L"*", Text(IDC_FILTER));
    EXPECT_EQ(1, bModified.load());
}

TEST_F(MainDialogTest, ClearInTheFilteredViewSkipsRowsNoLongerInTheMainList)
{
    HWND main_list = Item(IDC_MAIN_LIST);
    HWND filter_list = Item(IDC_FILTER_LIST);
    for (const wchar_t* alias : {L"a", L"b", L"c", L"d", L"gone"})
        AppendRow(main_list, {alias, L"", L""});
    for (int row : {1, 4, 3})
        AppendCopy(filter_list, {Cell(main_list, row, 0), L"", L""}, IdOfRow(main_list, row));
    SendMessageW(main_list, LVM_DELETEITEM, 4, 0);
    ShowWindow(main_list, SW_HIDE);
    ShowWindow(filter_list, SW_SHOW);

    Click(IDC_CLEAR);
    EXPECT_EQ((std::vector<test::Row>{{L"a", L"", L""}, {L"c", L"", L""}}), Rows(main_list));
    EXPECT_EQ(L"2", Text(IDC_COUNT));
}

TEST_F(MainDialogTest, BrowseCancelledEmptiesThePathBox)
{
    SetDlgItemTextW(dlg_, IDC_PATH, L"c:\\windows");
    WindowWatcher watcher(L"", PressButton(IDCANCEL), dlg_);
    Click(IDC_BROWSE);
    ASSERT_TRUE(watcher.Seen());
    EXPECT_EQ(dlg_, watcher.seen().owner);
    EXPECT_EQ(L"", Text(IDC_PATH));
    EXPECT_TRUE(IsOpen());
}

TEST_F(MainDialogTest, EnterAndEscapeDoNothing)
{
    EXPECT_EQ(FALSE, SendMessageW(dlg_, WM_COMMAND, IDOK, 0));
    EXPECT_EQ(FALSE, SendMessageW(dlg_, WM_COMMAND, IDCANCEL, 0));
    PumpPending();
    EXPECT_TRUE(IsOpen());
}

TEST_F(MainDialogTest, TheMouseOverTheDialogEndsTheRepaintAfterARemoval)
{
    bRowsRemoved = 1;
    SendMessageW(dlg_, WM_NCHITTEST, 0, MAKELPARAM(10, 10));
    EXPECT_EQ(0, bRowsRemoved.load());
}

TEST_F(MainDialogTest, CancelQuitsWithCodeZero)
{
    Click(IDC_CANCEL);
    EXPECT_FALSE(IsOpen());
    MSG quit{};
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(0u, quit.wParam);
}

TEST_F(MainDialogTest, CloseBoxReleasesTablesAndRestoresTheListClass)
{
    SendMessageW(dlg_, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(IsOpen());
    EXPECT_EQ(nullptr, pMainTable);
    EXPECT_EQ(nullptr, pFilterTable);
    MSG quit{};
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(0u, quit.wParam);

    HWND later = CreateWindowExW(0, WC_LISTVIEWW, L"", LVS_REPORT, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(reinterpret_cast<LONG_PTR>(ListClassProc), GetWindowLongPtrW(later, GWLP_WNDPROC));
    DestroyWindow(later);
}

TEST_F(MainDialogTest, ReplacingTheListClassTwiceIsRefused)
{
    WindowWatcher watcher(L"Message", PressButton(IDOK));
    EXPECT_EQ(0, SuperclassListView());
    ASSERT_TRUE(watcher.Seen());
    EXPECT_EQ(L"Aready subclassed (superclassed)!\n", watcher.seen().text);
}
