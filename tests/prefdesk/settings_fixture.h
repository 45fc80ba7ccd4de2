// Creates the real settings dialog from the real resource inside the test
// process, with settings.ini and the language folder in a folder of the
// test's own (also the current folder, as in the program).
#pragma once

#include "resource_dialog.h"
#include "temp_dir.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

class SettingsDialogTest : public ::testing::Test, protected ResourceDialog {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates and shows the dialog; the files are prepared before.
    void Open();

    // settings.ini, read and written past the layer under test.
    std::wstring settings() const { return dir_ / L"settings.ini"; }
    std::wstring Stored(const wchar_t* section, const wchar_t* key) const; // "<missing>" when absent
    void Store(const wchar_t* section, const wchar_t* key, const std::wstring& value);
    std::vector<std::wstring> StoredSections() const;
    // popup_mod, popup_vk, filepath, color and alpha, as stored.
    std::vector<std::wstring> StoredValues() const;
    bool SettingsExist() const;

    void AddLanguageFiles(const std::vector<std::wstring>& names);
    std::vector<std::wstring> LanguageEntries() const;
    std::wstring SelectedLanguage() const; // empty when nothing is selected

    // Runs the real colour chooser from the swatch; answer gets the
    // chooser's window on another thread. The chooser that was seen, or null.
    HWND RunColorChooser(std::function<void(HWND)> answer);
    // Answers that pick a colour by its red, green and blue fields, or cancel.
    static std::function<void(HWND)> PickColor(COLORREF color);
    static std::function<void(HWND)> CancelChooser();

    TempDir dir_{L" \x00E9\x4E2D"};
};
