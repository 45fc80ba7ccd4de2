// Settings file access: the system's profile functions bound to settings.ini
// beside the program, two readers of the current language file, and small
// probes of the registry and the file system.
//
// Numbers are stored as their decimal text; every int fits, the sign and all
// ten digits of the extremes included. Numbered sections and keys are named
// by that same text (the number 12 names section "12").
#pragma once

#include <windows.h>

// Full path of settings.ini; empty until InitSettingsPath succeeds. While it
// is empty, every read gives its default and every write fails.
extern wchar_t SettingsPath[MAX_PATH];

// SettingsPath = the module's directory followed by "settings.ini". Returns 1,
// or 0 with SettingsPath emptied when the module's path is not known whole
// or that file's path does not fit in MAX_PATH characters.
int InitSettingsPath(HMODULE module);

// As InitSettingsPath, from a directory that ends with its backslash.
int BuildSettingsPath(const wchar_t* directory);

// Writers: nonzero on success, 0 on failure. The first write creates
// settings.ini as a UTF-16 file, so text outside the ANSI code page survives.
int WriteSettingString(const wchar_t* section, const wchar_t* key, const wchar_t* value);
int WriteSettingInt(const wchar_t* section, const wchar_t* key, int value);
int WriteNumberedSettingString(int section, const wchar_t* key, const wchar_t* value);

// Integer readers: the stored number, or the default (0 where none is named)
// when the file, the section or the key is missing.
int ReadSettingInt(const wchar_t* section, const wchar_t* key);
int ReadSettingIntDefault(const wchar_t* section, const wchar_t* key, int fallback);
int ReadNumberedSettingInt(int section, const wchar_t* key);
int ReadNumberedSettingIntDefault(int section, const wchar_t* key, int fallback);

// String readers: copy at most capacity - 1 characters and the terminator
// (the default text when the key is missing); return the characters copied.
DWORD ReadSettingString(const wchar_t* section, const wchar_t* key, wchar_t* buffer, DWORD capacity,
                        const wchar_t* fallback);
DWORD ReadNumberedSettingString(int section, const wchar_t* key, wchar_t* buffer, DWORD capacity,
                                const wchar_t* fallback);

// The language file is the one named by "filepath" in section "language" of
// the settings, read again on every call.

// At most 31 characters of the numbered key's value, in a new buffer that the
// caller frees with free(); null when the section is null, no language file
// is named or the value is missing or empty.
wchar_t* LoadLanguageText(const wchar_t* section, int key);

// The key's value, at most 259 characters, into a buffer of at least
// MAX_PATH characters. 1 when a character was read, else 0; a null section
// leaves the buffer untouched.
int ReadLanguageString(const wchar_t* section, const wchar_t* key, wchar_t* buffer);

// 1 when the value can be read under the key and its data fits in 512 bytes.
int RegistryValueExists(HKEY root, const wchar_t* subkey, const wchar_t* value);

// 1 when the path exists and is a folder; 0 for files, missing paths and null.
int IsDirectory(const wchar_t* path);

// 1 when the file can be opened for reading; 0 for missing files and folders.
int FileExists(const wchar_t* path);
