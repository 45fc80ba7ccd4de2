// The real prefdesk.exe through many cycles of hot key, language, colour,
// transparency and Apply; settings.ini must hold each cycle's values and
// what the process holds must not grow with the cycles.
#include "ascii_text.h"
#include "platform.h"
#include "prefdesk_ids.h"
#include "process_usage.h"
#include "remote_process.h"
#include "run_length.h"
#include "store_pair.h"
#include "temp_dir.h"
#include "wait.h"

#include <colordlg.h>
#include <commctrl.h>

#include <gtest/gtest.h>

namespace {

const std::vector<std::wstring> kLanguages{L"Deutsch", L"English", L"Francais", L"Norsk"}; // as the list sorts

struct Settings {
    std::wstring popup_mod, popup_vk, filepath, color, alpha;
    bool operator==(const Settings&) const = default;
};

void PrintTo(const Settings& s, std::ostream* os)
{
    *os << "{" << NarrowAscii(s.popup_mod) << ", " << NarrowAscii(s.popup_vk) << ", " << NarrowAscii(s.filepath)
        << ", " << NarrowAscii(s.color) << ", " << NarrowAscii(s.alpha) << "}";
}

struct Target {
    DWORD pid;
    HWND excluded;
    HWND found;
};

BOOL CALLBACK FindChooser(HWND window, LPARAM param)
{
    auto* target = reinterpret_cast<Target*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != target->pid || window == target->excluded || !IsWindowVisible(window) || !GetDlgItem(window, COLOR_RED))
        return TRUE;
    target->found = window;
    return FALSE;
}

class PrefdeskSoak : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::wstring exe = dir_ / L"prefdesk.exe";
        ASSERT_TRUE(CopyFileW((ProgramDir() + L"\\prefdesk.exe").c_str(), exe.c_str(), FALSE));
        ASSERT_TRUE(MakeDirs(dir_ / L"language"));
        for (const std::wstring& name : kLanguages)
            ASSERT_TRUE(WriteFileBytes(dir_ / (L"language\\" + name + L".ini"), "[lang]\r\n"));
        program_ = std::make_unique<RemoteProgram>(exe, dir_.path());
        dlg_ = program_->WaitForWindow(L"Velkor - Setting");
        ASSERT_NE(nullptr, dlg_);
    }

    Settings Stored() const
    {
        std::string bytes;
        if (!ReadFileBytes(dir_ / L"settings.ini", &bytes))
            return {};
        Settings stored;
        for (const ProfileSection& section : ParseProfile(bytes)) {
            if (section.name == L"hotkey") {
                stored.popup_mod = section.Value(L"popup_mod");
                stored.popup_vk = section.Value(L"popup_vk");
            } else if (section.name == L"language") {
                stored.filepath = section.Value(L"filepath");
            } else if (section.name == L"aspect") {
                stored.color = section.Value(L"color");
                stored.alpha = section.Value(L"alpha");
            }
        }
        return stored;
    }

    // The swatch opens the modal chooser in the program; its fields take the
    // colour and OK closes it, after which the program stores the colour.
    void ChooseColour(COLORREF color)
    {
        PostMessageW(dlg_, WM_COMMAND, MAKEWPARAM(IDC_COLOR, BN_CLICKED), reinterpret_cast<LPARAM>(Item(IDC_COLOR)));
        Target target{program_->pid(), dlg_, nullptr};
        ASSERT_TRUE(PollUntil([&] {
            EnumWindows(FindChooser, reinterpret_cast<LPARAM>(&target));
            return target.found != nullptr;
        })) << "no colour chooser";
        SetDlgItemInt(target.found, COLOR_RED, GetRValue(color), FALSE);
        SetDlgItemInt(target.found, COLOR_GREEN, GetGValue(color), FALSE);
        SetDlgItemInt(target.found, COLOR_BLUE, GetBValue(color), FALSE);
        PostMessageW(target.found, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(target.found, IDOK)));
        ASSERT_TRUE(PollUntil([&] { return !IsWindow(target.found); }));
        ASSERT_TRUE(PollUntil([&] { return Stored().color == std::to_wstring(color); }))
            << "the chosen colour is stored when the chooser closes";
    }

    Settings Cycle(int cycle)
    {
        const BYTE modifiers = static_cast<BYTE>(1 + cycle % 7);
        const BYTE key = static_cast<BYTE>('A' + cycle % 26);
        SendMessageW(Item(IDC_HOTKEY), HKM_SETHOTKEY, MAKEWORD(key, modifiers), 0);

        const size_t language = static_cast<size_t>(cycle) % kLanguages.size();
        SendMessageW(Item(IDC_LANGUAGE), CB_SETCURSEL, language, 0);
        SendMessageW(dlg_, WM_COMMAND, MAKEWPARAM(IDC_LANGUAGE, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(Item(IDC_LANGUAGE)));

        const COLORREF color = RGB(cycle * 7 % 256, 255 - cycle % 256, cycle * 13 % 256);
        ChooseColour(color);

        // The trackbar is there even where transparency is hidden, and Apply stores it then too.
        const int alpha = (cycle * 37) % 256;
        SendMessageW(Item(IDC_ALPHA), TBM_SETPOS, TRUE, alpha);
        SendMessageW(dlg_, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, alpha), reinterpret_cast<LPARAM>(Item(IDC_ALPHA)));
        EXPECT_EQ(std::to_wstring(alpha), WindowText(Item(IDC_ALPHA_VALUE)));

        SendMessageW(dlg_, WM_COMMAND, MAKEWPARAM(IDC_SETTINGS_APPLY, BN_CLICKED),
                     reinterpret_cast<LPARAM>(Item(IDC_SETTINGS_APPLY)));
        return {std::to_wstring(modifiers), std::to_wstring(key), L".\\Language\\" + kLanguages[language] + L".ini",
                std::to_wstring(color), std::to_wstring(alpha)};
    }

    HWND Item(int id) const { return GetDlgItem(dlg_, id); }

    TempDir dir_;
    std::unique_ptr<RemoteProgram> program_;
    HWND dlg_ = nullptr;
};

TEST_F(PrefdeskSoak, CyclesStoreEveryValueAndKeepTheResources)
{
    // What the system caches on first use (Wine's colour chooser and fonts)
    // fills over the first cycles: on Wine the GDI objects went from 210 to
    // 267 by the ninth cycle and stayed there through 200.
    constexpr int kWarmUpCycles = 10;
    const int cycles = RunLength(20, 200);
    ProcessUsage first;
    Settings expected;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        expected = Cycle(cycle);
        if (HasFatalFailure())
            return;
        ASSERT_EQ(expected, Stored());
        if (cycle == kWarmUpCycles - 1)
            first = MeasureProcess(program_->process());
    }
    ExpectWithinBounds("prefdesk", cycles - kWarmUpCycles, first, MeasureProcess(program_->process()));

    SendMessageW(Item(IDC_HOTKEY), HKM_SETHOTKEY, MAKEWORD(VK_SPACE, HOTKEYF_CONTROL | HOTKEYF_ALT), 0);
    PostMessageW(dlg_, WM_COMMAND, MAKEWPARAM(IDC_SAVE, BN_CLICKED), reinterpret_cast<LPARAM>(Item(IDC_SAVE)));
    EXPECT_EQ(0u, program_->WaitForExit());
    expected.popup_mod = L"6";
    expected.popup_vk = L"32";
    EXPECT_EQ(expected, Stored());
}

} // namespace
