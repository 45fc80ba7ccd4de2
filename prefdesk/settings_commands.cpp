#include "settings_commands.h"

#include "color_swatch.h"
#include "language_list.h"
#include "prefdesk_ids.h"
#include "settings_file.h"
#include "settings_keys.h"
#include "transparency.h"

#include <commctrl.h>

namespace {

void StoreHotKey(HWND dlg)
{
    const WORD hot_key = static_cast<WORD>(SendDlgItemMessageW(dlg, IDC_HOTKEY, HKM_GETHOTKEY, 0, 0));
    WriteSettingInt(kHotkeySection, kHotkeyModifiers, HIBYTE(hot_key));
    WriteSettingInt(kHotkeySection, kHotkeyKey, LOBYTE(hot_key));
}

// Save and Apply: every value, in the order the launcher's file has them.
void StoreSettings(HWND dlg)
{
    StoreHotKey(dlg);
    StoreLanguagePath(dlg);
    WriteSettingInt(kAspectSection, kAspectColor, static_cast<int>(ColorChooser.rgbResult));
    RestoreColor = ReadStoredColor();
    StoreAlpha(dlg);
}

void CancelSettings(HWND dlg)
{
    WriteSettingInt(kAspectSection, kAspectColor, static_cast<int>(RestoreColor));
    SendMessageW(dlg, WM_CLOSE, 0, 0);
}

} // namespace

void LoadHotKey(HWND dlg)
{
    const int modifiers = ReadSettingIntDefault(kHotkeySection, kHotkeyModifiers, 0);
    const int key = ReadSettingIntDefault(kHotkeySection, kHotkeyKey, 0);
    SendDlgItemMessageW(dlg, IDC_HOTKEY, HKM_SETHOTKEY, MAKEWORD(LOBYTE(key), LOBYTE(modifiers)), 0);
}

INT_PTR OnSettingsCommand(HWND dlg, WPARAM wParam, LPARAM)
{
    switch (LOWORD(wParam)) {
    case IDC_SAVE:
        StoreSettings(dlg);
        SendMessageW(dlg, WM_CLOSE, 0, 0);
        break;
    case IDC_SETTINGS_APPLY:
        StoreSettings(dlg);
        break;
    case IDC_SETTINGS_CANCEL:
        CancelSettings(dlg);
        break;
    case IDC_COLOR:
        ChooseSwatchColor(dlg);
        break;
    default:
        break;
    }
    return TRUE;
}
