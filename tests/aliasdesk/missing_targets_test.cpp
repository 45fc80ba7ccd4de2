#include "missing_targets.h"

#include "app_state.h"
#include "ascii_text.h"
#include "conflicts.h"
#include "context_menu.h"
#include "handles.h"
#include "list_input.h"
#include "moved_programs.h"
#include "store_pair.h"
#include "temp_dir.h"
#include "wait.h"
#include "wide_text.h"
#include "window_watch.h"
#include "workers.h"

#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace {

// A drive letter the system does not have, for a path on no fixed drive.
std::wstring AbsentDrivePath()
{
    for (wchar_t letter = L'Z'; letter > L'C'; --letter) {
        const wchar_t root[] = {letter, L':', L'\\', L'\0'};
        if (GetDriveTypeW(root) == DRIVE_NO_ROOT_DIR)
            return std::wstring(root) + L"tools\\gone.exe";
    }
    return L"";
}

int picked = kMenuSelectMissing; // what the menu is answered with
bool picked_enabled; // whether the last menu offered it

int PickSelectMarked(HMENU menu, HWND, POINT)
{
    picked_enabled = !(GetMenuState(menu, static_cast<UINT>(picked), MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
    return picked;
}

std::wstring Lowered(std::wstring path)
{
    LowerAsciiInPlace(path.data());
    return path;
}

// What the Locate box offered once its search ended, and its status line.
struct Offer {
    std::vector<std::wstring> paths;
    std::wstring status;
};

// From the thread that answers the box.
Offer ReadOffer(HWND box)
{
    Offer offer{{}, WindowText(GetDlgItem(box, IDC_LOCATE_STATUS))};
    HWND list = GetDlgItem(box, IDC_LOCATE_LIST);
    for (int i = 0; i < static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0)); ++i) {
        std::wstring path(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)), L'\0');
        SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(path.data()));
        offer.paths.push_back(path);
    }
    return offer;
}

Offer WaitForSearch(HWND box)
{
    PollUntil([&] { return WindowText(GetDlgItem(box, IDC_LOCATE_STATUS)) != L"Searching..."; });
    return ReadOffer(box);
}

// Holds the Locate worker at its first question whether to stop, until the
// box it reports to has gone or the dialog's workers are asked to stop.
std::atomic<HWND> held_box;
std::atomic<int> stop_questions;
void HoldUntilBoxGoes()
{
    if (++stop_questions == 1)
        PollUntil([] { return WorkerStopRequested() || (held_box && !IsWindow(held_box)); });
}

class MissingTargetsTest : public ListTest {
protected:
    void SetUp() override
    {
        ListTest::SetUp();
        SetContextMenuPicker(&PickSelectMarked);
        picked = kMenuSelectMissing;
        ASSERT_TRUE(MakePrograms(programs_.path(), L"tool", 4));
    }
    void TearDown() override
    {
        SetContextMenuPicker(nullptr);
        SetLocateFolderLimit(0);
        SetLocateStopHook(nullptr);
        ListTest::TearDown();
    }

    // The rows, with their programs looked at.
    void FillAndCheck(const std::vector<test::Row>& rows)
    {
        SendMessageW(Main(), LVM_DELETEALLITEMS, 0, 0);
        Fill(rows);
        CheckAllTargets();
        Settle();
    }

    // Locate from the menu of the list's row; answer(box) runs on another
    // thread once the box shows. False when no box came.
    bool Locate(HWND list, int row, std::function<void(HWND)> answer)
    {
        for (int selected : SelectedRows(list))
            Select(list, selected, false);
        Select(list, row);
        ListView_SetItemState(list, row, LVIS_FOCUSED, LVIS_FOCUSED);
        WindowWatcher box(L"Velkor - Locate", std::move(answer), dlg_);
        picked = kMenuLocate;
        SendMessageW(dlg_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(-1, -1));
        return box.Seen();
    }

    std::wstring Present(int n) const { return programs_ / (L"tool" + std::to_wstring(n) + L".exe"); }
    std::wstring Gone(int n) const { return programs_ / (L"gone" + std::to_wstring(n) + L".exe"); }

    // Select missing from the menu of the list; the aliases it selected.
    std::vector<std::wstring> SelectMissing(HWND list)
    {
        picked = kMenuSelectMissing;
        return SelectPicked(list);
    }
    std::vector<std::wstring> SelectPicked(HWND list)
    {
        SendMessageW(dlg_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(-1, -1));
        std::vector<std::wstring> aliases;
        for (int row = -1; (row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, row, LVNI_SELECTED))) != -1;)
            aliases.push_back(Cell(list, row, 0));
        return aliases;
    }

    // Every main row is marked exactly when its program is not there, and the
    // marks of rows that went are forgotten.
    void ExpectMarksMatchTheDisk(const char* when)
    {
        int missing = 0;
        for (int row = 0; row < static_cast<int>(SendMessageW(Main(), LVM_GETITEMCOUNT, 0, 0)); ++row) {
            missing += !PathExists(Cell(Main(), row, 2));
            EXPECT_EQ(!PathExists(Cell(Main(), row, 2)), IsTargetMissing(IdOfRow(Main(), row)))
                << when << ": row " << row << " " << NarrowAscii(Cell(Main(), row, 2));
        }
        EXPECT_EQ(missing, CountMarkedRows(kMarkMissing)) << when;
    }

    // How the row would be drawn: its text colour, and whether in bold.
    std::pair<COLORREF, bool> Drawn(int row)
    {
        UniqueDc dc(CreateCompatibleDC(nullptr));
        SelectObject(dc.get(), GetStockObject(DEFAULT_GUI_FONT));
        NMLVCUSTOMDRAW draw{};
        draw.nmcd.hdr = {Main(), IDC_MAIN_LIST, static_cast<UINT>(NM_CUSTOMDRAW)};
        draw.nmcd.hdc = dc.get();
        draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
        draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(row);
        draw.clrText = CLR_DEFAULT;
        SendMessageW(dlg_, WM_NOTIFY, IDC_MAIN_LIST, reinterpret_cast<LPARAM>(&draw));
        LOGFONTW face{};
        GetObjectW(GetCurrentObject(dc.get(), OBJ_FONT), sizeof(face), &face);
        SelectObject(dc.get(), GetStockObject(SYSTEM_FONT)); // the list's bold font is not this test's to keep
        return {draw.clrText, face.lfWeight >= FW_BOLD};
    }
    COLORREF DrawnTextColor(int row) { return Drawn(row).first; }

    TempDir programs_;
};

TEST_F(MissingTargetsTest, OnlyACertainAbsenceOnAFixedOrRemovableDriveCounts)
{
    const struct {
        std::wstring path;
        TargetState state;
    } cases[] = {
        {Present(0), TargetState::Present},
        {L"\\\\?\\" + Present(1), TargetState::Present},
        {programs_.path(), TargetState::Present},
        {Gone(0), TargetState::Missing},
        {programs_ / L"no such folder\\tool0.exe", TargetState::Missing},
        {L"\\\\server\\share\\tool.exe", TargetState::Unchecked},
        {L"\\\\?\\UNC\\server\\share\\tool.exe", TargetState::Unchecked},
        {AbsentDrivePath(), TargetState::Unchecked},
        {L"tools\\gone.exe", TargetState::Unchecked},
        {L"\"" + Gone(1) + L"\"", TargetState::Unchecked},
        {L"", TargetState::Unchecked},
    };
    DriveTypes drives;
    for (const auto& c : cases)
        EXPECT_EQ(c.state, LookAtTarget(c.path, drives)) << NarrowAscii(c.path);
}

TEST_F(MissingTargetsTest, ReloadMarksTheGoneRowsGreyAndTheMarksFollowTheirRows)
{
    ASSERT_TRUE(WriteStorePair(dir_.path(), {{L"here", L"", Present(0)},
                                             {L"gone", L"", Gone(1)},
                                             {L"share", L"", L"\\\\server\\share\\tool.exe"},
                                             {L"nodrive", L"", AbsentDrivePath()},
                                             {L"alsogone", L"-x", Gone(0)}}));
    Click(IDC_RELOAD);
    Settle();
    EXPECT_EQ((std::vector<std::wstring>{L"gone", L"alsogone"}), SelectMissing(Main()));
    EXPECT_TRUE(picked_enabled);
    EXPECT_EQ(GetSysColor(COLOR_GRAYTEXT), DrawnTextColor(1));
    EXPECT_EQ(CLR_DEFAULT, DrawnTextColor(0));

    ClickHeader(Main(), 2); // by path: the gone rows move
    PumpPending();
    EXPECT_EQ((std::vector<std::wstring>{L"alsogone", L"gone"}), SelectMissing(Main()));
    TypeFilter(L"*gone");
    EXPECT_EQ((std::vector<std::wstring>{L"alsogone", L"gone"}), SelectMissing(Filter()));
    TypeFilter(L"\b\b\b\b\bhere");
    ASSERT_EQ(1, SendMessageW(Filter(), LVM_GETITEMCOUNT, 0, 0));
    SelectMissing(Filter());
    EXPECT_FALSE(picked_enabled);
    EXPECT_FALSE(picked_enabled);
}

// A sort, a removal, an edit or a Clear landing between the check's reading of
// the paths and its marking still leaves every mark on the right row.
TEST_F(MissingTargetsTest, AnActionBetweenTheChecksStepsLeavesNoMarkOnAWrongRow)
{
    const std::vector<std::pair<const char*, std::function<void()>>> actions = {
        {"sort", [this] { ClickHeader(Main(), 2); }},
        {"remove", [this] { Select(Main(), 0); PressKey(Main(), VK_DELETE); }},
        {"edit to present", [this] {
             ASSERT_TRUE(OpenEditByClicks(Main(), 1, 2));
             EndEdit(Main(), Present(3).c_str(), VK_RETURN);
         }},
        {"edit to gone", [this] {
             ASSERT_TRUE(OpenEditByClicks(Main(), 2, 2));
             EndEdit(Main(), Gone(9).c_str(), VK_RETURN);
         }},
        {"clear", [this] { Click(IDC_CLEAR); }},
    };
    for (const auto& [name, action] : actions) {
        SendMessageW(Main(), LVM_DELETEALLITEMS, 0, 0);
        Fill({{L"a", L"", Present(0)}, {L"b", L"", Gone(0)}, {L"c", L"", Present(1)}, {L"d", L"", Gone(1)},
              {L"e", L"", Present(2)}});
        BetweenWorkerSteps steps(dlg_);
        steps.After(1, action);
        CheckAllTargets();
        ASSERT_TRUE(steps.PumpUntilActed()) << name;
        Settle();
        ExpectMarksMatchTheDisk(name);
    }
}

// Rows whose alias a later row repeats (as the list compares labels: the
// save keeps the last) or whose path repeats an earlier row's are drawn bold
// and selected by Select conflicts; the marks follow an edit (its own row at
// once), a sort and a removal.
TEST_F(MissingTargetsTest, RepeatedAliasesAndPathsAreMarkedAfterEveryChange)
{
    Fill({{L"calc", L"", L"c:\\tools\\calc.exe"},
          {L"notepad", L"", L"c:\\tools\\notepad.exe"},
          {L"CALC", L"", L"d:\\other\\calc.exe"},
          {L"pad", L"", L"C:/Tools/sub/../notepad.exe"},
          {L"nova", L"", L"c:\\nova.exe"}});
    picked = kMenuSelectConflicts;
    auto shows = [this](const std::vector<std::wstring>& aliases) {
        return PumpUntil([&] { return RunningConflictChecks() == 0 && SelectPicked(Main()) == aliases; });
    };
    EXPECT_TRUE(shows({L"calc", L"pad"}));
    EXPECT_TRUE(picked_enabled);
    EXPECT_EQ((std::pair{CLR_DEFAULT, true}), Drawn(0));
    EXPECT_EQ((std::pair{CLR_DEFAULT, false}), Drawn(2));

    ASSERT_TRUE(OpenEditByClicks(Main(), 1, 0));
    EndEdit(Main(), L"Nova", VK_RETURN);
    EXPECT_TRUE(HasRowMark(IdOfRow(Main(), 1), kMarkAliasRepeat)) << "at once";
    EXPECT_TRUE(shows({L"calc", L"Nova", L"pad"}));

    ClickHeader(Main(), 0); // ascending, then descending: pad comes first
    ClickHeader(Main(), 0);
    EXPECT_TRUE(shows({L"Nova", L"calc"}));

    SelectPicked(Main()); // no row stays selected but pad
    Select(Main(), 0);
    for (int row : SelectedRows(Main()))
        Select(Main(), row, row == 0);
    PressKey(Main(), VK_DELETE);
    EXPECT_TRUE(shows({L"Nova", L"calc"}));
    EXPECT_EQ(2, CountMarkedRows(kMarkAliasRepeat));
    EXPECT_EQ(0, CountMarkedRows(kMarkPathRepeat));
}

// The program moved under the remembered scan folder and under the old
// path's nearest existing folder, which lies inside the scan folder: each
// place is offered once, and the one chosen in the list or in the file
// dialog becomes the row's path, lowered, in both lists, as one edit. The
// limit keeps the nearest folders; Cancel and the dialog's closing stop a
// search held at its first step.
TEST_F(MissingTargetsTest, LocateOffersEachMoveOnceAndTheChosenPathRelinksTheRow)
{
    const std::wstring old_path = programs_ / L"Old\\Bin\\Tool.exe";
    const std::wstring beside = programs_ / L"Old\\Moved\\Tool.exe", scanned = programs_ / L"Apps\\TOOL.EXE";
    for (const std::wstring& path : {beside, scanned, programs_ / L"Apps\\Tool.exe.txt"}) {
        ASSERT_TRUE(MakeDirs(path.substr(0, path.rfind(L'\\'))));
        ASSERT_TRUE(WriteFileBytes(path, ""));
    }
    wcscpy(szScanFolder, programs_.path().c_str());
    const std::vector<std::wstring> both{Lowered(beside), Lowered(scanned)};

    enum class Answer { Cancel, Ok, DoubleClick, Browse, CancelHeld, CloseHeld };
    const struct {
        const char* name;
        Answer answer;
        bool filtered;
        int limit; // 0: the program's own
        std::wstring written; // empty: nothing
        std::vector<std::wstring> offered;
        std::wstring status;
    } cases[] = {
        {"cancel", Answer::Cancel, false, 0, L"", both, L"2 found."},
        {"ok", Answer::Ok, false, 0, scanned, both, L"2 found."},
        {"double click", Answer::DoubleClick, false, 0, beside, both, L"2 found."},
        {"browse", Answer::Browse, false, 0, scanned, both, L"2 found."},
        {"ok in the filtered view", Answer::Ok, true, 0, scanned, both, L"2 found."},
        // Old, the scan folder, then Old\Moved; Apps would be the fourth.
        {"limited", Answer::Ok, false, 3, beside, {both[0]}, L"1 found; the search stopped after 3 folders."},
        {"cancel while searching", Answer::CancelHeld, false, 0, L"", {}, L"Searching..."},
        {"the dialog closing while searching", Answer::CloseHeld, false, 0, L"", {}, L"Searching..."}, // last
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FillAndCheck({{L"calc", L"", Present(0)}, {L"tool", L"-x", old_path}});
        const RowId id = IdOfRow(Main(), 1);
        ASSERT_TRUE(IsTargetMissing(id));
        if (c.filtered)
            TypeFilter(L"*tool");
        const bool held = c.answer == Answer::CancelHeld || c.answer == Answer::CloseHeld;
        SetLocateFolderLimit(c.limit);
        SetLocateStopHook(held ? &HoldUntilBoxGoes : nullptr);
        stop_questions = 0;
        held_box = nullptr;
        bModified = 0;
        Offer offer;
        bool ok_enabled[2] = {true, false};
        std::wstring browsed_from;
        auto answer = [&](HWND box) {
            offer = held ? ReadOffer(box) : WaitForSearch(box);
            HWND list = GetDlgItem(box, IDC_LOCATE_LIST);
            SendMessageW(list, LB_SETCURSEL, c.written == beside ? 0 : 1, 0);
            ok_enabled[0] = IsWindowEnabled(GetDlgItem(box, IDOK));
            const WORD click = c.answer == Answer::DoubleClick ? LBN_DBLCLK : LBN_SELCHANGE;
            SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDC_LOCATE_LIST, click), reinterpret_cast<LPARAM>(list));
            ok_enabled[1] = IsWindowEnabled(GetDlgItem(box, IDOK));
            held_box = box;
            if (c.answer == Answer::Browse) {
                auto choose_file = [&](HWND files) {
                    wchar_t folder[MAX_PATH] = {};
                    SendMessageW(files, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(folder));
                    browsed_from = folder;
                    SetDlgItemTextW(files, cmb13, scanned.c_str());
                    PressButton(IDOK)(files);
                };
                WindowWatcher open(L"Open", choose_file, box);
                PostMessageW(box, WM_COMMAND, IDC_LOCATE_BROWSE, 0);
                EXPECT_TRUE(open.Seen());
            } else if (c.answer == Answer::CloseHeld) {
                PostMessageW(dlg_, WM_CLOSE, 0, 0);
            } else if (c.answer != Answer::DoubleClick) {
                PressButton(c.answer == Answer::Ok ? IDOK : IDCANCEL)(box);
            }
        };
        ASSERT_TRUE(Locate(c.filtered ? Filter() : Main(), c.filtered ? 0 : 1, answer));
        EXPECT_EQ(c.offered, offer.paths);
        EXPECT_EQ(c.status, offer.status);
        EXPECT_FALSE(ok_enabled[0]) << "OK waits for a choice";
        EXPECT_EQ(!c.offered.empty() && c.answer != Answer::DoubleClick, ok_enabled[1]);
        if (c.answer == Answer::Browse) {
            EXPECT_EQ(Lowered(programs_ / L"Old"), Lowered(browsed_from));
        }
        if (held) {
            EXPECT_TRUE(PumpUntil([] { return RunningWorkerCount() == 0; }));
            EXPECT_EQ(1, stop_questions.load()) << "stopped at the question that was held";
        }
        if (!IsOpen()) {
            Open(); // the dialog closed: nothing to look at, and the fixture's end needs one
            continue;
        }
        const bool written = !c.written.empty();
        EXPECT_EQ(!written, IsTargetMissing(id)) << "the mark goes at once";
        const std::wstring path = written ? Lowered(c.written) : old_path;
        EXPECT_EQ((test::Row{L"tool", L"-x", path}), Rows(Main())[1]);
        if (c.filtered) {
            EXPECT_EQ((std::vector<test::Row>{{L"tool", L"-x", path}}), Rows(Filter()));
        }
        EXPECT_EQ(written ? 1 : 0, bModified.load());
        Settle();
        EXPECT_EQ(!written, IsTargetMissing(id));
    }
}

TEST(ComparablePathTest, SlashesDotsAndLetterCaseAside)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"C:/Tools/Sub/../X.EXE", L"c:\\tools\\x.exe"},
        {L"c:\\a\\.\\b\\\\c.exe", L"c:\\a\\b\\c.exe"},
        {L"c:\\..\\..\\x.exe", L"c:\\x.exe"},
        {L"\\\\Server\\Share\\..\\x.exe", L"\\\\server\\share\\x.exe"},
        {L"tools\\..\\x.exe", L"x.exe"},
        {L"\\tools\\x.exe\\", L"\\tools\\x.exe"},
        {L"", L""},
    };
    for (const auto& [path, compared] : cases)
        EXPECT_EQ(compared, ComparablePath(path)) << NarrowAscii(path);
}

} // namespace
