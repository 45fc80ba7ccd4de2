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

constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
constexpr wchar_t kLogPixels[] = L"LogPixels";

// The screen's DPI for the processes started while it is held.
class ScreenDpi {
public:
    explicit ScreenDpi(DWORD dpi)
    {
        DWORD size = sizeof(saved_);
        had_ = RegGetValueW(HKEY_CURRENT_USER, kDesktopKey, kLogPixels, RRF_RT_REG_DWORD, nullptr, &saved_, &size) ==
            ERROR_SUCCESS;
        held_ = Write(dpi);
    }
    ~ScreenDpi() { Restore(); }
    ScreenDpi(const ScreenDpi&) = delete;
    ScreenDpi& operator=(const ScreenDpi&) = delete;

    bool held() const { return held_; }
    void Restore()
    {
        if (!held_)
            return;
        held_ = false;
        if (had_)
            Write(saved_);
        else
            RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktopKey, kLogPixels);
    }

private:
    static bool Write(DWORD dpi)
    {
        return RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, kLogPixels, REG_DWORD, &dpi, sizeof(dpi)) ==
            ERROR_SUCCESS;
    }

    DWORD saved_ = 0;
    bool had_ = false;
    bool held_ = false;
};

struct DpiCase {
    UINT dpi;
    int min_width, min_height; // aliasdesk's smallest window
};
const DpiCase kCases[] = {{96, 819, 753}, {120, 1024, 941}, {144, 1229, 1130}};

struct Program {
    const wchar_t* exe;
    const wchar_t* title;
    bool has_minimum; // aliasdesk keeps a smallest size
};
const Program kPrograms[] = {{L"aliasdesk.exe", L"Velkor - Add", true}, {L"prefdesk.exe", L"Velkor - Setting", false}};

// Dragged smaller than the minimum from the bottom right corner. The system
// carries the rectangle of WM_SIZING to the other process and back.
void ExpectMinimumSize(HWND dlg, const DpiCase& c)
{
    RECT dragged{200, 100, 500, 400};
    SendMessageW(dlg, WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&dragged));
    EXPECT_EQ(200, dragged.left);
    EXPECT_EQ(100, dragged.top);
    EXPECT_EQ(200 + c.min_width, dragged.right);
    EXPECT_EQ(100 + c.min_height, dragged.bottom);
}

class AtScreenDpi : public ::testing::TestWithParam<Program> {
protected:
    // The program started at the DPI; null when it did not come up.
    std::unique_ptr<RemoteProgram> Start(UINT dpi, HWND* dlg)
    {
        const Program& program = GetParam();
        const std::wstring exe = dir_ / program.exe;
        if (!CopyFileW((ProgramDir() + L"\\" + program.exe).c_str(), exe.c_str(), FALSE))
            return nullptr;
        ScreenDpi screen(dpi);
        if (!screen.held())
            return nullptr;
        auto started = std::make_unique<RemoteProgram>(exe, dir_.path());
        *dlg = started->started() ? started->WaitForWindow(program.title) : nullptr;
        return *dlg ? std::move(started) : nullptr;
    }

    TempDir dir_;
};

TEST_P(AtScreenDpi, LaysItsDialogOutForEachDpi)
{
    if (!RunningUnderWine())
        GTEST_SKIP() << "the screen DPI follows the registry only at log-on here";
    SIZE smaller{};
    for (const DpiCase& c : kCases) {
        SCOPED_TRACE(c.dpi);
        HWND dlg = nullptr;
        auto program = Start(c.dpi, &dlg);
        ASSERT_TRUE(program);
        ExpectSaneLayout(dlg);
        if (GetParam().has_minimum)
            ExpectMinimumSize(dlg, c);

        // The dialog grows with its font, whose size follows the DPI only
        // in whole pixels: not in proportion, but always.
        RECT client;
        GetClientRect(dlg, &client);
        EXPECT_GT(client.right, smaller.cx * 105 / 100);
        EXPECT_GT(client.bottom, smaller.cy * 105 / 100);
        smaller = SIZE{client.right, client.bottom};
    }
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, AtScreenDpi, ::testing::ValuesIn(kPrograms),
                         [](const ::testing::TestParamInfo<Program>& info) {
                             return std::string(info.param.has_minimum ? "aliasdesk" : "prefdesk");
                         });

} // namespace
