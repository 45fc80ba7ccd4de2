// The sections and keys of settings.ini that prefdesk edits.
#pragma once

inline constexpr wchar_t kHotkeySection[] = L"hotkey";
inline constexpr wchar_t kHotkeyModifiers[] = L"popup_mod"; // 1 Shift, 2 Ctrl, 4 Alt, 8 extended key
inline constexpr wchar_t kHotkeyKey[] = L"popup_vk"; // virtual-key code

inline constexpr wchar_t kLanguageSection[] = L"language";
inline constexpr wchar_t kLanguagePath[] = L"filepath"; // ".\Language\<name>.ini"

inline constexpr wchar_t kAspectSection[] = L"aspect";
inline constexpr wchar_t kAspectColor[] = L"color"; // COLORREF: red in the low byte
inline constexpr wchar_t kAspectAlpha[] = L"alpha"; // 0 to 255
