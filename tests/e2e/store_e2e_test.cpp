// The real aliasdesk.exe killed in the middle of saves: what it leaves on
// disk must load as either the table before the save or the one saved.
#include "platform.h"
#include "remote_process.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kAdd = 1002, kPath = 1003, kMainList = 1012, kApply = 1017, kStatus = 1021;

bool WaitUntil(const std::function<bool()>& done, DWORD guard_ms = 60000)
{
    const ULONGLONG deadline = GetTickCount64() + guard_ms;
    while (!done()) {
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(10);
    }
    return true;
}

void Press(HWND dlg, int id)
{
    PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
}

std::string Utf16(const std::wstring& text)
{
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

class KilledSave : public ::testing::Test {
protected:
    void SetUp() override
    {
        exe_ = dir_ / L"aliasdesk.exe";
        ASSERT_TRUE(CopyFileW((ProgramDir() + L"\\aliasdesk.exe").c_str(), exe_.c_str(), FALSE));
        ASSERT_TRUE(MakeDirs(dir_ / L"programs"));
        for (int i = 0; i < kPrograms; ++i)
            ASSERT_TRUE(WriteFileBytes(dir_ / (L"programs\\tool" + std::to_wstring(i) + L".exe"), ""));
    }

    // The table before every save: three rows written by hand.
    void WriteOldPair()
    {
        std::wstring names;
        std::string config = "\xFF\xFE";
        for (int i = 0; i < 3; ++i) {
            const std::wstring name = L"old" + std::to_wstring(i);
            names += name + L'\0';
            config += Utf16(L"[" + name + L"]\r\npath=c:\\" + name + L".exe\r\nparameter=\r\n");
        }
        ASSERT_TRUE(WriteFileBytes(dir_ / L"history.dat", Utf16(names)));
        ASSERT_TRUE(WriteFileBytes(dir_ / L"config.ini", config));
    }

    // Starts the program and waits for its start-up load to end.
    std::unique_ptr<RemoteProgram> Start(HWND* dlg)
    {
        auto program = std::make_unique<RemoteProgram>(exe_, dir_.path());
        *dlg = program->WaitForWindow(L"Velkor - Add");
        EXPECT_NE(nullptr, *dlg);
        EXPECT_TRUE(WaitUntil([&] { return WindowText(GetDlgItem(*dlg, kStatus)) == L"Finished!"; }));
        return program;
    }

    std::vector<std::wstring> Aliases(RemoteProgram& program, HWND dlg)
    {
        HWND list = GetDlgItem(dlg, kMainList);
        std::vector<std::wstring> aliases;
        for (int i = 0; i < program.RowCount(list); ++i)
            aliases.push_back(program.Cell(list, i, 0));
        return aliases;
    }

    static constexpr int kPrograms = 60;
    TempDir dir_;
    std::wstring exe_;
};

TEST_F(KilledSave, LeavesThePreviousOrTheNewTable)
{
    std::vector<std::wstring> old_table{L"old0", L"old1", L"old2"};
    int olds = 0, news = 0;
    for (int delay_ms : {0, 5, 15, 30, 50, 80, 120, 200, 400}) {
        SCOPED_TRACE(delay_ms);
        WriteOldPair();
        HWND dlg = nullptr;
        std::vector<std::wstring> new_table;
        {
            auto program = Start(&dlg);
            ASSERT_EQ(old_table, Aliases(*program, dlg));
            SendMessageW(GetDlgItem(dlg, kPath), WM_SETTEXT, 0, reinterpret_cast<LPARAM>((dir_ / L"programs").c_str()));
            // The status changes only when the posted click has been handled.
            SendMessageW(GetDlgItem(dlg, kStatus), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"clicked"));
            Press(dlg, kAdd);
            ASSERT_TRUE(WaitUntil([&] {
                return IsWindowEnabled(GetDlgItem(dlg, kAdd)) && IsWindowEnabled(GetDlgItem(dlg, kApply)) &&
                    WindowText(GetDlgItem(dlg, kStatus)) == L"Finished!";
            }));
            new_table = Aliases(*program, dlg);
            ASSERT_EQ(3u + kPrograms, new_table.size());

            Press(dlg, kApply);
            Sleep(static_cast<DWORD>(delay_ms));
            TerminateProcess(program->process(), 9);
            WaitForSingleObject(program->process(), 10000);
        }
        auto again = Start(&dlg);
        const auto loaded = Aliases(*again, dlg);
        if (loaded == old_table)
            ++olds;
        else if (loaded == new_table)
            ++news;
        else
            ADD_FAILURE() << "a table that is neither: " << loaded.size() << " rows";
        PostMessageW(dlg, WM_CLOSE, 0, 0);
        EXPECT_EQ(0u, again->WaitForExit());
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((dir_ / L"config.ini.commit").c_str()));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((dir_ / L"history.dat.saving").c_str()));
    }
    RecordProperty("previous_tables", olds);
    RecordProperty("new_tables", news);
    EXPECT_GT(olds + news, 0);
}

} // namespace
