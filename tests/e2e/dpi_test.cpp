// Both programs started at the screen DPIs a user may set. Wine takes the
// screen's DPI from HKCU\Control Panel\Desktop\LogPixels when a process
// starts, so each start sets it and puts it back once the dialog is there:
// programs started later in the same prefix see the DPI they always had.
// Windows takes it only at log-on; there these starts are skipped.
#include "dialog_geometry.h"
#include "platform.h"
#include "remote_process.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

constexpr wchar_t kDesktop[] = L"Control Panel\\Desktop";

// Sets the screen's DPI for the processes started now; 0 deletes the value.
bool SetLogPixels(DWORD dpi)
{
    if (dpi == 0)
        return RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktop, L"LogPixels") == ERROR_SUCCESS;
    return RegSetKeyValueW(HKEY_CURRENT_USER, kDesktop, L"LogPixels", REG_DWORD, &dpi, sizeof(dpi)) == ERROR_SUCCESS;
}

struct Program {
    const wchar_t* exe;
    const wchar_t* title;
    bool has_minimum; // aliasdesk keeps a smallest size
};
const Program kPrograms[] = {{L"aliasdesk.exe", L"Velkor - Add", true}, {L"prefdesk.exe", L"Velkor - Setting", false}};

class AtScreenDpi : public ::testing::TestWithParam<Program> {
protected:
    // The program started at the DPI, its dialog in *dlg.
    std::unique_ptr<RemoteProgram> Start(DWORD dpi, HWND* dlg)
    {
        const std::wstring exe = dir_ / GetParam().exe;
        CopyFileW((ProgramDir() + L"\\" + GetParam().exe).c_str(), exe.c_str(), FALSE);
        DWORD saved = 0, size = sizeof(saved);
        if (RegGetValueW(HKEY_CURRENT_USER, kDesktop, L"LogPixels", RRF_RT_REG_DWORD, nullptr, &saved, &size))
            saved = 0;
        auto program = SetLogPixels(dpi) ? std::make_unique<RemoteProgram>(exe, dir_.path()) : nullptr;
        *dlg = program && program->started() ? program->WaitForWindow(GetParam().title) : nullptr;
        SetLogPixels(saved);
        return program;
    }

    TempDir dir_;
};

TEST_P(AtScreenDpi, LaysItsDialogOutForEachDpi)
{
    if (!RunningUnderWine())
        GTEST_SKIP() << "the screen DPI follows the registry only at log-on here";
    struct Case {
        DWORD dpi;
        int min_width, min_height; // aliasdesk's smallest window
    };
    SIZE smaller{};
    for (const Case& c : {Case{96, 819, 753}, Case{120, 1024, 941}, Case{144, 1229, 1130}}) {
        SCOPED_TRACE(c.dpi);
        HWND dlg = nullptr;
        auto program = Start(c.dpi, &dlg);
        ASSERT_TRUE(dlg);
        ExpectSaneLayout(dlg);
        if (GetParam().has_minimum) {
            // The system carries WM_SIZING's rectangle to the other process and back.
            RECT dragged{200, 100, 500, 400};
            SendMessageW(dlg, WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&dragged));
            const RECT smallest{200, 100, 200 + c.min_width, 100 + c.min_height};
            EXPECT_TRUE(EqualRect(&smallest, &dragged)) << "to " << dragged.right << ", " << dragged.bottom;
        }
        // The dialog grows with its font, whose size follows the DPI in
        // whole pixels: not in proportion, but always.
        RECT client;
        GetClientRect(dlg, &client);
        EXPECT_GT(client.right, smaller.cx * 105 / 100);
        EXPECT_GT(client.bottom, smaller.cy * 105 / 100);
        smaller = SIZE{client.right, client.bottom};
    }
}

std::string ProgramName(const ::testing::TestParamInfo<Program>& param)
{
    return param.param.has_minimum ? "aliasdesk" : "prefdesk";
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, AtScreenDpi, ::testing::ValuesIn(kPrograms), ProgramName);

} // namespace
