#include "missing_targets.h"

#include "ascii_text.h"
#include "conflicts.h"
#include "context_menu.h"
#include "handles.h"
#include "list_input.h"
#include "store_pair.h"
#include "temp_dir.h"
#include "wait.h"
#include "workers.h"

#include <commctrl.h>

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
        ListTest::TearDown();
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

// Rows repeating an earlier row's alias (as the list compares labels) or
// path are drawn bold and selected by Select conflicts; the marks follow an
// edit (its own row at once), a sort and a removal.
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
    EXPECT_TRUE(shows({L"CALC", L"pad"}));
    EXPECT_TRUE(picked_enabled);
    EXPECT_EQ((std::pair{CLR_DEFAULT, true}), Drawn(2));
    EXPECT_EQ((std::pair{CLR_DEFAULT, false}), Drawn(1));

    ASSERT_TRUE(OpenEditByClicks(Main(), 4, 0));
    EndEdit(Main(), L"Notepad", VK_RETURN);
    EXPECT_TRUE(HasRowMark(IdOfRow(Main(), 4), kMarkAliasRepeat)) << "at once";
    EXPECT_TRUE(shows({L"CALC", L"pad", L"Notepad"}));

    ClickHeader(Main(), 0); // ascending, then descending: pad comes first
    ClickHeader(Main(), 0);
    EXPECT_TRUE(shows({L"notepad", L"Notepad", L"CALC"}));

    SelectPicked(Main()); // no row stays selected but pad
    Select(Main(), 0);
    for (int row : SelectedRows(Main()))
        Select(Main(), row, row == 0);
    PressKey(Main(), VK_DELETE);
    EXPECT_TRUE(shows({L"Notepad", L"CALC"}));
    EXPECT_EQ(2, CountMarkedRows(kMarkAliasRepeat));
    EXPECT_EQ(0, CountMarkedRows(kMarkPathRepeat));
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
