#include "language_list.h"

#include "handles.h"
#include "prefdesk_ids.h"
#include "settings_file.h"
#include "settings_keys.h"

#include <cwchar>
#include <iterator>

namespace {

constexpr wchar_t kLanguagePattern[] = L".\\language\\*.ini";
constexpr wchar_t kStoredPrefix[] = L".\\Language\\";
constexpr wchar_t kExtension[] = L".ini";

void AddLanguage(HWND combo, const wchar_t* file_name)
{
    wchar_t szLanName[MAX_PATH] = {};
    lstrcpynW(szLanName, file_name, static_cast<int>(wcscspn(file_name, L".")) + 1);
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(szLanName));
}

// The stored language file's name without folder and last extension; empty
// when none is stored or its path does not resolve.
void StoredLanguageName(wchar_t (&name)[MAX_PATH])
{
    name[0] = L'\0';
    wchar_t szLanguageFile[MAX_PATH] = {};
    ReadSettingString(kLanguageSection, kLanguagePath, szLanguageFile, MAX_PATH, L"");
    if (!szLanguageFile[0])
        return;
    wchar_t full_path[MAX_PATH];
    wchar_t* file_part = nullptr;
    const DWORD length = GetFullPathNameW(szLanguageFile, MAX_PATH, full_path, &file_part);
    if (length == 0 || length >= MAX_PATH || !file_part)
        return;
    if (wchar_t* dot = wcsrchr(file_part, L'.'))
        *dot = L'\0';
    lstrcpynW(name, file_part, MAX_PATH);
}

} // namespace

int FillLanguageList(HWND dlg)
{
    wchar_t szFullPath[MAX_PATH];
    const DWORD length = GetFullPathNameW(kLanguagePattern, MAX_PATH, szFullPath, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return 0;
    WIN32_FIND_DATAW found;
    FindHandle search(FindFirstFileW(szFullPath, &found));
    if (!search)
        return 0;

    HWND combo = GetDlgItem(dlg, IDC_LANGUAGE);
    do {
        AddLanguage(combo, found.cFileName);
    } while (FindNextFileW(search.get(), &found));
    search.reset();

    wchar_t name[MAX_PATH];
    StoredLanguageName(name);
    if (name[0])
        SendMessageW(combo, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name));
    return 1;
}

void StoreLanguagePath(HWND dlg)
{
    constexpr int kPrefixLength = static_cast<int>(std::size(kStoredPrefix)) - 1;
    constexpr int kExtensionLength = static_cast<int>(std::size(kExtension)) - 1;
    // A name too long for the buffer is cut so that ".ini" still fits.
    wchar_t szLanguageFile[MAX_PATH] = {};
    lstrcpyW(szLanguageFile, kStoredPrefix);
    GetDlgItemTextW(dlg, IDC_LANGUAGE, szLanguageFile + kPrefixLength, MAX_PATH - kPrefixLength - kExtensionLength);
    lstrcatW(szLanguageFile, kExtension);
    WriteSettingString(kLanguageSection, kLanguagePath, szLanguageFile);
}
