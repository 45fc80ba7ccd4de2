// Folders that make a scan hard: very many programs, very deep trees, names
// as long as a file system allows, paths longer than the program's buffers,
// and folders the scan may not list. Each scan must end with a clear result.
#include "aliasdesk_ids.h"
#include "dialog_fixture.h"
#include "platform.h"
#include "run_length.h"
#include "wait.h"
#include "workers.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <iostream>
#include <set>

namespace {

bool Touch(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

class BadScanInput : public MainDialogTest {
protected:
    void Scan(const std::wstring& folder)
    {
        SetDlgItemTextW(dlg_, IDC_PATH, folder.c_str());
        Click(IDC_ADD);
        ASSERT_TRUE(PumpUntil([&] { return RunningWorkerCount() == 0; }));
        Settle();
        EXPECT_EQ(L"Finished!", Text(IDC_STATUS));
        EXPECT_TRUE(IsWindowEnabled(Item(IDC_ADD)));
        EXPECT_TRUE(IsWindowEnabled(Item(IDC_APPLY)));
    }

    int RowCount() { return static_cast<int>(SendMessageW(Item(IDC_MAIN_LIST), LVM_GETITEMCOUNT, 0, 0)); }
};

TEST_F(BadScanInput, ManyProgramsAreAllListed)
{
    // 100,000 in the long run; folders of 1,000 as a program collection has them.
    const int total = RunLength(2000, 100000);
    const std::wstring top = dir_ / L"many";
    for (int folder = 0; folder * 1000 < total; ++folder) {
        const std::wstring sub = top + L"\\f" + std::to_wstring(folder);
        ASSERT_TRUE(MakeDirs(sub));
        for (int i = folder * 1000; i < std::min(total, folder * 1000 + 1000); ++i)
            ASSERT_TRUE(Touch(sub + L"\\p" + std::to_wstring(i) + L".exe"));
    }
    Scan(top);
    EXPECT_EQ(total, RowCount());
    EXPECT_EQ(std::to_wstring(total), Text(IDC_COUNT));
    RecordProperty("programs", total);
}

TEST_F(BadScanInput, ADeepTreeIsListedAsFarAsItsPathsFit)
{
    // 200 levels, each with a program; the deeper ones only reachable by \\?\ paths.
    std::wstring folder = dir_ / L"deep";
    std::vector<std::wstring> programs; // by level
    size_t fitting = 0; // levels whose program's path fits a path buffer
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    for (int level = 0; level < 200; ++level) {
        if (level > 0) {
            folder += L"\\d";
            ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr)) << level;
        }
        ASSERT_TRUE(Touch(L"\\\\?\\" + folder + L"\\x.exe")) << level;
        programs.push_back(test::Lowered(folder + L"\\x.exe"));
        if (programs.back().size() < MAX_PATH)
            ++fitting;
    }
    ASSERT_GT(folder.size(), MAX_PATH + 100u);
    Scan(dir_ / L"deep");
    // Every program whose path fits is listed, top down; whatever else is
    // listed carries its whole path, never one cut to a buffer.
    const auto rows = Rows(Item(IDC_MAIN_LIST));
    ASSERT_GE(rows.size(), fitting);
    ASSERT_LE(rows.size(), programs.size());
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(programs[i], rows[i].path) << i;
    std::cout << rows.size() << " of 200 levels listed\n";
    EXPECT_TRUE(RemoveTree(L"\\\\?\\" + dir_ / L"deep"));
}

TEST_F(BadScanInput, NamesAsLongAsAllowedAndPathsBeyondTheLimit)
{
    const std::wstring top = dir_ / L"long";
    ASSERT_TRUE(CreateDirectoryW(top.c_str(), nullptr));
    // A program whose path just fits (259 characters), one beside it named
    // with 255 characters, and one below a folder named with 255 characters.
    const std::wstring longest(251, L'n');
    const std::wstring fits = top + L"\\" + longest.substr(0, MAX_PATH - 1 - top.size() - 1 - 4) + L".exe";
    ASSERT_TRUE(Touch(fits));
    const std::wstring far_folder = L"\\\\?\\" + top + L"\\" + std::wstring(255, L'f');
    ASSERT_TRUE(CreateDirectoryW(far_folder.c_str(), nullptr));
    ASSERT_TRUE(Touch(far_folder + L"\\" + longest + L".exe"));
    ASSERT_TRUE(Touch(L"\\\\?\\" + top + L"\\" + longest + L".exe")) << "a name of 255 characters";
    Scan(top);
    // The program whose path fits is listed; one beyond the limit may be, but
    // only with its whole path, never one cut to a buffer.
    const std::set<std::wstring> whole{test::Lowered(fits), test::Lowered(top + L"\\" + longest + L".exe"),
                                       test::Lowered(far_folder.substr(4) + L"\\" + longest + L".exe")};
    const auto rows = Rows(Item(IDC_MAIN_LIST));
    std::set<std::wstring> listed;
    for (const test::Row& row : rows) {
        EXPECT_EQ(1u, whole.count(row.path)) << row.path.size() << " characters";
        listed.insert(row.path);
    }
    EXPECT_EQ(1u, listed.count(test::Lowered(fits)));
    EXPECT_EQ(listed.size(), rows.size()) << "a program listed twice";
    EXPECT_TRUE(RemoveTree(L"\\\\?\\" + top));
}

TEST_F(BadScanInput, AFolderThatCannotBeListedIsPassedOver)
{
    // unreadable\open.exe, unreadable\closed\hidden.exe with closed not listable.
    const std::wstring top = FixtureFolder(L"unreadable");
    if (top.empty())
        GTEST_SKIP() << "no fixture folder unreadable (tools/make-test-fixtures.sh makes it on Unix hosts)";
    WIN32_FIND_DATAW found{};
    HANDLE probe = FindFirstFileW((top + L"\\closed\\*").c_str(), &found);
    const bool listable = probe != INVALID_HANDLE_VALUE;
    if (listable)
        FindClose(probe);
    // Root reads every folder whatever its permissions: then the folder is simply scanned.
    std::cout << "the closed folder " << (listable ? "can" : "cannot") << " be listed here\n";
    Scan(top);
    const auto rows = Rows(Item(IDC_MAIN_LIST));
    ASSERT_EQ(listable ? 2u : 1u, rows.size());
    EXPECT_EQ(L"open", rows[0].alias);
    if (listable) {
        EXPECT_EQ(L"hidden", rows[1].alias);
    }
}

} // namespace
