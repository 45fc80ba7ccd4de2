#include "settings_dialog.h"

#include "color_swatch.h"
#include "dpi_scale.h"
#include "handles.h"
#include "language_list.h"
#include "prefdesk_ids.h"
#include "program_versions.h"
#include "settings_commands.h"
#include "transparency.h"

#include <cstdio>

namespace {

UniqueIcon small_icon;
DialogScale dialog_scale;

void ShowVersion(HWND dlg)
{
    char szVersionInfo[MAX_PATH];
    snprintf(szVersionInfo, sizeof(szVersionInfo), "Version: %s", PREFDESK_VERSION_TEXT);
    SetDlgItemTextA(dlg, IDC_SETTINGS_VERSION, szVersionInfo);
}

INT_PTR OnInitDialog(HWND dlg)
{
    ShowVersion(dlg);
    LoadHotKey(dlg);
    FillLanguageList(dlg);
    LoadColorHolders();
    InitTransparency(dlg);
    SetSmallIconForDpi(dlg, IDI_PREFDESK, WindowDpi(dlg), small_icon);
    StartDialogScale(dlg, dialog_scale);
    return TRUE;
}

INT_PTR OnDpiChanged(HWND dlg, UINT dpi, const RECT* suggested)
{
    RescaleDialog(dlg, dpi, *suggested, dialog_scale);
    SetSmallIconForDpi(dlg, IDI_PREFDESK, dpi, small_icon);
    return TRUE;
}

INT_PTR OnCtlColorButton(HWND dlg, HWND control)
{
    if (control != GetDlgItem(dlg, IDC_COLOR))
        return FALSE;
    return reinterpret_cast<INT_PTR>(SwatchBrush());
}

// Windows fills an owner-drawn button with the brush of WM_CTLCOLORBTN
// before it asks for the drawing; other systems leave the drawing to us.
INT_PTR OnDrawItem(const DRAWITEMSTRUCT* item)
{
    if (item->CtlType != ODT_BUTTON || item->CtlID != IDC_COLOR)
        return FALSE;
    FillRect(item->hDC, &item->rcItem, SwatchBrush());
    return TRUE;
}

INT_PTR OnDestroy()
{
    FreeSwatchBrush();
    small_icon.reset();
    PostQuitMessage(0);
    return TRUE;
}

// The controls are gone by now; their font may go.
INT_PTR OnNcDestroy()
{
    EndDialogScale(dialog_scale);
    return FALSE;
}

} // namespace

INT_PTR CALLBACK SettingsDlgProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dlg);
    case WM_COMMAND:
        return OnSettingsCommand(dlg, wParam, lParam);
    case WM_HSCROLL:
        return OnAlphaScroll(dlg, wParam, lParam);
    case WM_CTLCOLORBTN:
        return OnCtlColorButton(dlg, reinterpret_cast<HWND>(lParam));
    case WM_DRAWITEM:
        return OnDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_DPICHANGED:
        return OnDpiChanged(dlg, HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
    case kWmGetDpiScaledSize:
        return AnswerDpiScaledSize(dlg, static_cast<UINT>(wParam), dialog_scale, reinterpret_cast<SIZE*>(lParam));
    case WM_CLOSE:
        DestroyWindow(dlg);
        return TRUE;
    case WM_DESTROY:
        return OnDestroy();
    case WM_NCDESTROY:
        return OnNcDestroy();
    default:
        return FALSE;
    }
}
