#include "settings_file.h"

#include "diagnostics.h"
#include "handles.h"
#include "profile_file.h"
#include "wide_text.h"

#include <share.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <vector>

wchar_t SettingsPath[MAX_PATH];

namespace {

// Room for the decimal text of any int: sign, ten digits, terminator.
constexpr size_t kNumberText = 12;
constexpr wchar_t kSettingsFileName[] = L"settings.ini";
constexpr DWORD kLanguageTextCapacity = 32;
constexpr DWORD kRegistryScratchBytes = 512;

struct NumberText {
    wchar_t text[kNumberText] = {};
    explicit NumberText(int value) { FormatText(text, kNumberText, L"%d", value); }
};

bool HasSettingsPath()
{
    return SettingsPath[0] != L'\0';
}

DWORD CopyDefault(wchar_t* buffer, DWORD capacity, const wchar_t* fallback)
{
    if (!buffer || capacity == 0)
        return 0;
    lstrcpynW(buffer, fallback ? fallback : L"", static_cast<int>(capacity));
    return static_cast<DWORD>(lstrlenW(buffer));
}

// The language file that the settings name; false when they name none.
bool ReadLanguageFile(wchar_t (&path)[MAX_PATH])
{
    ReadSettingString(L"language", L"filepath", path, MAX_PATH, L"");
    return path[0] != L'\0';
}

} // namespace

int BuildSettingsPath(const wchar_t* directory)
{
    SettingsPath[0] = L'\0';
    if (!directory || wcslen(directory) + wcslen(kSettingsFileName) >= MAX_PATH)
        return 0;
    lstrcpyW(SettingsPath, directory);
    lstrcatW(SettingsPath, kSettingsFileName);
    return 1;
}

int InitSettingsPath(HMODULE module)
{
    // A buffer far larger than MAX_PATH tells a long path from a cut one.
    std::vector<wchar_t> directory(32768);
    const DWORD capacity = static_cast<DWORD>(directory.size());
    if (GetModuleFileNameW(module, directory.data(), capacity) >= capacity ||
        GetModuleDirectory(module, directory.data(), capacity) == 0) {
        SettingsPath[0] = L'\0';
        return 0;
    }
    return BuildSettingsPath(directory.data());
}

int WriteSettingString(const wchar_t* section, const wchar_t* key, const wchar_t* value)
{
    if (!HasSettingsPath())
        return 0;
    if (section && key && value)
        EnsureUnicodeProfile(SettingsPath);
    return WritePrivateProfileStringW(section, key, value, SettingsPath);
}

int WriteSettingInt(const wchar_t* section, const wchar_t* key, int value)
{
    return WriteSettingString(section, key, NumberText(value).text);
}

int WriteNumberedSettingString(int section, const wchar_t* key, const wchar_t* value)
{
    return WriteSettingString(NumberText(section).text, key, value);
}

int ReadSettingIntDefault(const wchar_t* section, const wchar_t* key, int fallback)
{
    if (!HasSettingsPath())
        return fallback;
    return static_cast<int>(GetPrivateProfileIntW(section, key, fallback, SettingsPath));
}

int ReadSettingInt(const wchar_t* section, const wchar_t* key)
{
    return ReadSettingIntDefault(section, key, 0);
}

int ReadNumberedSettingIntDefault(int section, const wchar_t* key, int fallback)
{
    return ReadSettingIntDefault(NumberText(section).text, key, fallback);
}

int ReadNumberedSettingInt(int section, const wchar_t* key)
{
    return ReadNumberedSettingIntDefault(section, key, 0);
}

DWORD ReadSettingString(const wchar_t* section, const wchar_t* key, wchar_t* buffer, DWORD capacity,
                        const wchar_t* fallback)
{
    if (!HasSettingsPath())
        return CopyDefault(buffer, capacity, fallback);
    return GetPrivateProfileStringW(section, key, fallback, buffer, capacity, SettingsPath);
}

DWORD ReadNumberedSettingString(int section, const wchar_t* key, wchar_t* buffer, DWORD capacity,
                                const wchar_t* fallback)
{
    return ReadSettingString(NumberText(section).text, key, buffer, capacity, fallback);
}

wchar_t* LoadLanguageText(const wchar_t* section, int key)
{
    if (!section)
        return nullptr;
    wchar_t szLanguageFile[MAX_PATH];
    if (!ReadLanguageFile(szLanguageFile))
        return nullptr;
    MallocText text(static_cast<wchar_t*>(calloc(kLanguageTextCapacity, sizeof(wchar_t))));
    if (!text)
        return nullptr;
    if (GetPrivateProfileStringW(section, NumberText(key).text, L"", text.get(), kLanguageTextCapacity,
                                 szLanguageFile) == 0)
        return nullptr;
    return text.release();
}

int ReadLanguageString(const wchar_t* section, const wchar_t* key, wchar_t* buffer)
{
    if (!section || !buffer)
        return 0;
    wchar_t szLanguageFile[MAX_PATH];
    if (!ReadLanguageFile(szLanguageFile)) {
        buffer[0] = L'\0';
        return 0;
    }
    return GetPrivateProfileStringW(section, key, L"", buffer, MAX_PATH, szLanguageFile) > 0 ? 1 : 0;
}

int RegistryValueExists(HKEY root, const wchar_t* subkey, const wchar_t* value)
{
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(root, subkey, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return 0;
    BYTE scratch[kRegistryScratchBytes] = {};
    DWORD dwBufLen = sizeof(scratch);
    const LSTATUS status = RegQueryValueExW(hKey, value, nullptr, nullptr, scratch, &dwBufLen);
    RegCloseKey(hKey);
    return status == ERROR_SUCCESS ? 1 : 0;
}

int IsDirectory(const wchar_t* path)
{
    if (!path)
        return 0;
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return 0;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

int FileExists(const wchar_t* path)
{
    if (!path)
        return 0;
    FILE* file = _wfsopen(path, L"r", _SH_DENYNO);
    if (!file)
        return 0;
    fclose(file);
    return 1;
}
