// The real aliasdesk.exe saving onto files it may not replace: a read-only
// config.ini or history.dat, or a config.ini that another program holds open
// without sharing. The save must fail visibly and leave the previous pair.
#include "aliasdesk_driver.h"
#include "aliasdesk_ids.h"
#include "store_pair.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <functional>
#include <iostream>

namespace {

struct Blocker {
    const char* name;
    const wchar_t* file;
    // Blocks the file; what it returns undoes the block.
    std::function<std::function<void()>(const std::wstring& path)> block;
};

std::function<void()> MakeReadOnly(const std::wstring& path)
{
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_NE(0u, GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY) << "the attribute did not stick";
    // Wine keeps the attribute in the Unix permissions, which do not stop root.
    HANDLE probe = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::cout << "a plain write open of the read-only file " << (probe == INVALID_HANDLE_VALUE ? "fails" : "succeeds")
              << " on this platform\n";
    if (probe != INVALID_HANDLE_VALUE)
        CloseHandle(probe);
    return [path] { SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL); };
}

std::function<void()> HoldWithoutSharing(const std::wstring& path)
{
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, held);
    return [held] { CloseHandle(held); };
}

const Blocker kBlockers[] = {
    {"read-only config.ini", L"config.ini", MakeReadOnly},
    {"read-only history.dat", L"history.dat", MakeReadOnly},
    {"config.ini held open", L"config.ini", HoldWithoutSharing},
};

// Presses a save button and answers the error box; its text.
std::wstring FailedSave(AliasDesk& program, int button)
{
    program.MarkStatus();
    EXPECT_TRUE(program.Click(button));
    HWND box = program.WaitForBox(L"Velkor Error");
    if (!box)
        return L"<no message box>";
    const std::wstring text = AliasDesk::BoxText(box);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(PollUntil([&] { return !IsWindow(box); }));
    return text;
}

TEST(BlockedSave, FailsVisiblyAndKeepsThePreviousPair)
{
    for (const Blocker& blocker : kBlockers) {
        SCOPED_TRACE(blocker.name);
        TempDir dir;
        ASSERT_TRUE(MakePrograms(dir / L"programs", L"new", 3));
        ASSERT_TRUE(WriteStorePair(dir.path(), NumberedRows(L"old", 5)));
        const StorePair before = ReadStorePair(dir.path());
        AliasDesk program(dir.path());
        ASSERT_TRUE(program.WaitLoaded()) << program.NotReadyReason();
        ASSERT_TRUE(program.Scan(dir / L"programs"));
        // Blocked while the program runs, as an editor or a virus scanner may do.
        auto unblock = blocker.block(dir / blocker.file);
        for (int button : {IDC_APPLY, IDC_OK}) {
            const std::wstring text = FailedSave(program, button);
            EXPECT_NE(std::wstring::npos, text.find(L"Could not save")) << "button " << button;
            EXPECT_TRUE(PollUntil([&] { return program.Status() == L"Save failed!"; }));
            EXPECT_TRUE(IsWindow(program.dlg())) << "OK must not close after a failed save";
        }
        unblock();
        EXPECT_EQ(before, ReadStorePair(dir.path()));
        EXPECT_TRUE(NoSaveLeftovers(dir.path()));

        // Nothing of the table was lost: once the file is free, the save goes through.
        program.MarkStatus();
        ASSERT_TRUE(program.Click(IDC_APPLY));
        ASSERT_TRUE(PollUntil([&] { return program.Status() == L"Finished!"; }));
        EXPECT_EQ(0u, program.Close());
        AliasDesk again(dir.path());
        ASSERT_TRUE(again.WaitLoaded()) << again.NotReadyReason();
        EXPECT_EQ(8, again.RowCount(IDC_MAIN_LIST));
        EXPECT_EQ(L"new2", again.Cell(IDC_MAIN_LIST, 7, 0));
        EXPECT_EQ(0u, again.Close());
    }
}

} // namespace
