// settings.ini and the language folder as users and accidents leave them:
// numbers out of range, text where numbers belong, random bytes, and a
// language folder of thousands of files, some named outside the ANSI code page.
#include "prefdesk_ids.h"
#include "run_length.h"
#include "settings_fixture.h"
#include "store_pair.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

std::string UnicodeIni(const std::wstring& text)
{
    return "\xFF\xFE" + Utf16(text);
}

struct SettingsCase {
    const char* what;
    std::string bytes;
};

std::vector<SettingsCase> SettingsCases()
{
    return {
        {"numbers out of range",
         UnicodeIni(L"[hotkey]\r\npopup_mod=70000\r\npopup_vk=-1\r\n[aspect]\r\ncolor=99999999999\r\n"
                    L"alpha=2147483648\r\n[language]\r\nfilepath=.\\Language\\nowhere.ini\r\n")},
        {"text where numbers belong",
         UnicodeIni(L"[hotkey]\r\npopup_mod=abc\r\npopup_vk=12abc\r\n[aspect]\r\ncolor= 0x10\r\nalpha=--3\r\n")},
        {"an ANSI file with negative numbers",
         "[hotkey]\r\npopup_mod=-6\r\npopup_vk=-32\r\n[aspect]\r\ncolor=-1\r\nalpha=-300\r\n"},
        {"cut in the middle of a code unit", UnicodeIni(L"[aspect]\r\nalpha=12\r\ncolor=4\r\n") + "\x35"},
        {"random bytes", RandomBytes(64 << 10, 3)},
        {"random bytes after a byte-order mark", "\xFF\xFE" + RandomBytes(64 << 10, 4)},
    };
}

class BadSettingsInput : public SettingsDialogTest {
protected:
    int Read(const wchar_t* section, const wchar_t* key)
    {
        return static_cast<int>(GetPrivateProfileIntW(section, key, 0, settings().c_str()));
    }
};

// The dialog shows what the system's profile functions read, cut to what
// each control can hold, and Apply stores exactly what it shows.
TEST_F(BadSettingsInput, ShowsWhatTheSystemReadsAndSavesWhatItShows)
{
    for (const SettingsCase& c : SettingsCases()) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteFileBytes(settings(), c.bytes));
        const int mod = Read(L"hotkey", L"popup_mod"), vk = Read(L"hotkey", L"popup_vk");
        const int color = Read(L"aspect", L"color"), alpha = Read(L"aspect", L"alpha");
        Open();
        const auto hot_key = static_cast<WORD>(SendMessageW(Item(IDC_HOTKEY), HKM_GETHOTKEY, 0, 0));
        EXPECT_EQ(MAKEWORD(LOBYTE(vk), LOBYTE(mod)), hot_key);
        EXPECT_EQ(std::to_wstring(static_cast<unsigned>(alpha)), Text(IDC_ALPHA_VALUE));
        const int position = std::clamp(alpha, 0, 255);
        EXPECT_EQ(position, SendMessageW(Item(IDC_ALPHA), TBM_GETPOS, 0, 0));
        EXPECT_EQ(CB_ERR, SendMessageW(Item(IDC_LANGUAGE), CB_GETCURSEL, 0, 0));

        Click(IDC_SETTINGS_APPLY);
        EXPECT_EQ(std::to_wstring(HIBYTE(hot_key)), Stored(L"hotkey", L"popup_mod"));
        EXPECT_EQ(std::to_wstring(LOBYTE(hot_key)), Stored(L"hotkey", L"popup_vk"));
        EXPECT_EQ(std::to_wstring(position), Stored(L"aspect", L"alpha"));
        EXPECT_EQ(color, Read(L"aspect", L"color")) << "the colour comes back as it was read";
        EXPECT_EQ(L".\\Language\\.ini", Stored(L"language", L"filepath"));
        Click(IDC_SAVE);
        ASSERT_FALSE(IsOpen());
    }
}

// 10,000 languages in the long run.
TEST_F(BadSettingsInput, ThousandsOfLanguagesAndNamesOutsideTheAnsiCodePage)
{
    const std::vector<std::wstring> unusual{L"\x4E2D\x6587", L"\x0395\x03BB\x03BB\x03B7\x03BD\x03B9\x03BA\x03AC",
                                            L"smile\xD83D\xDE00", L"\x05E2\x05D1\x05E8\x05D9\x05EA"};
    const int plain = RunLength(1000, 10000);
    ASSERT_TRUE(MakeDirs(dir_ / L"language"));
    for (int i = 0; i < plain; ++i) {
        wchar_t name[32];
        _snwprintf(name, 32, L"lang%05d.ini", i);
        HANDLE file = CreateFileW((dir_ / (std::wstring(L"language\\") + name)).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_NEW, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file) << i;
        CloseHandle(file);
    }
    std::vector<std::wstring> files;
    for (const std::wstring& name : unusual)
        files.push_back(name + L".ini");
    AddLanguageFiles(files);

    wchar_t last[16];
    _snwprintf(last, 16, L"lang%05d", plain - 1);
    for (const std::wstring& chosen : {unusual[1], std::wstring(last), unusual[2]}) {
        SCOPED_TRACE(testing::Message() << chosen.size() << " characters");
        Store(L"language", L"filepath", L".\\Language\\" + chosen + L".ini");
        Open();
        const auto entries = LanguageEntries();
        ASSERT_EQ(static_cast<size_t>(plain) + unusual.size(), entries.size());
        EXPECT_TRUE(std::is_sorted(entries.begin(), entries.begin() + plain));
        for (const std::wstring& name : unusual)
            EXPECT_NE(entries.end(), std::find(entries.begin(), entries.end(), name));
        EXPECT_EQ(chosen, SelectedLanguage());
        Click(IDC_SAVE);
        ASSERT_FALSE(IsOpen());
        EXPECT_EQ(L".\\Language\\" + chosen + L".ini", Stored(L"language", L"filepath"));
    }
}

} // namespace
