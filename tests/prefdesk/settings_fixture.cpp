#include "settings_fixture.h"

#include "prefdesk_ids.h"
#include "settings_dialog.h"
#include "settings_file.h"
#include "transparency.h"
#include "wait.h"
#include "window_watch.h"

#include <colordlg.h>
#include <commctrl.h>

void SettingsDialogTest::SetUp()
{
    ASSERT_FALSE(dir_.path().empty());
    ASSERT_TRUE(SetCurrentDirectoryW(dir_.path().c_str()));
    ASSERT_EQ(1, BuildSettingsPath((dir_.path() + L"\\").c_str()));
}

void SettingsDialogTest::TearDown()
{
    EXPECT_TRUE(Close());
    SetTransparencyQueries(nullptr, nullptr);
    SettingsPath[0] = L'\0';
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    SetCurrentDirectoryW(temp); // lets the test folder go
}

void SettingsDialogTest::Open()
{
    ASSERT_TRUE(Create(IDD_SETTING, SettingsDlgProc));
    PumpPending();
}

std::wstring SettingsDialogTest::Stored(const wchar_t* section, const wchar_t* key) const
{
    wchar_t value[1024] = {};
    GetPrivateProfileStringW(section, key, L"<missing>", value, 1024, settings().c_str());
    return value;
}

void SettingsDialogTest::Store(const wchar_t* section, const wchar_t* key, const std::wstring& value)
{
    if (!SettingsExist()) {
        ASSERT_TRUE(WriteFileBytes(settings(), "\xFF\xFE")); // Unicode, like the program's own
    }
    ASSERT_TRUE(WritePrivateProfileStringW(section, key, value.c_str(), settings().c_str()));
}

std::vector<std::wstring> SettingsDialogTest::StoredSections() const
{
    wchar_t names[4096] = {};
    GetPrivateProfileSectionNamesW(names, 4096, settings().c_str());
    std::vector<std::wstring> out;
    for (const wchar_t* p = names; *p; p += wcslen(p) + 1)
        out.push_back(p);
    return out;
}

std::vector<std::wstring> SettingsDialogTest::StoredValues() const
{
    return {Stored(L"hotkey", L"popup_mod"), Stored(L"hotkey", L"popup_vk"), Stored(L"language", L"filepath"),
            Stored(L"aspect", L"color"), Stored(L"aspect", L"alpha")};
}

bool SettingsDialogTest::SettingsExist() const
{
    return PathExists(settings());
}

void SettingsDialogTest::AddLanguageFiles(const std::vector<std::wstring>& names)
{
    ASSERT_TRUE(MakeDirs(dir_ / L"language"));
    for (const std::wstring& name : names)
        ASSERT_TRUE(WriteFileBytes(dir_ / (L"language\\" + name), "[text]\r\n"));
}

std::vector<std::wstring> SettingsDialogTest::LanguageEntries() const
{
    std::vector<std::wstring> entries;
    HWND combo = Item(IDC_LANGUAGE);
    const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[MAX_PATH] = {};
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        entries.push_back(text);
    }
    return entries;
}

std::wstring SettingsDialogTest::SelectedLanguage() const
{
    HWND combo = Item(IDC_LANGUAGE);
    const int selected = static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
    if (selected == CB_ERR)
        return L"";
    wchar_t text[MAX_PATH] = {};
    SendMessageW(combo, CB_GETLBTEXT, selected, reinterpret_cast<LPARAM>(text));
    return text;
}

HWND SettingsDialogTest::RunColorChooser(std::function<void(HWND)> answer)
{
    WindowWatcher watcher(L"", std::move(answer), dlg_);
    Click(IDC_COLOR);
    if (!watcher.Seen())
        return nullptr;
    EXPECT_EQ(dlg_, watcher.seen().owner) << "the chooser belongs to the dialog";
    return watcher.seen().window;
}

std::function<void(HWND)> SettingsDialogTest::PickColor(COLORREF color)
{
    return [color](HWND chooser) {
        SetDlgItemInt(chooser, COLOR_RED, GetRValue(color), FALSE);
        SetDlgItemInt(chooser, COLOR_GREEN, GetGValue(color), FALSE);
        SetDlgItemInt(chooser, COLOR_BLUE, GetBValue(color), FALSE);
        PostMessageW(chooser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(chooser, IDOK)));
    };
}

std::function<void(HWND)> SettingsDialogTest::CancelChooser()
{
    return PressButton(IDCANCEL);
}
