#include "transparency.h"

#include "diagnostics.h"
#include "handles.h"
#include "prefdesk_ids.h"
#include "settings_file.h"
#include "settings_keys.h"

#include <commctrl.h>

namespace {

using DwmIsCompositionEnabledFn = HRESULT(WINAPI*)(BOOL*);

GenerationQuery generation_query;
CompositionQuery composition_query;

// The system's copy only: a bare name would search the program's folder first.
UniqueModule LoadSystemDwm()
{
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length + 12 >= MAX_PATH)
        return UniqueModule();
    lstrcatW(path, L"\\dwmapi.dll");
    return UniqueModule(LoadLibraryW(path));
}

bool IsTransparencyOffered()
{
    const int generation = generation_query ? generation_query() : GetOsGeneration();
    if (generation != 4)
        return false;
    return (composition_query ? composition_query() : SystemCompositionEnabled()) != FALSE;
}

void ShowAlphaValue(HWND dlg, UINT value)
{
    SetDlgItemInt(dlg, IDC_ALPHA_VALUE, value, FALSE);
}

} // namespace

void SetTransparencyQueries(GenerationQuery generation, CompositionQuery composition)
{
    generation_query = generation;
    composition_query = composition;
}

BOOL SystemCompositionEnabled()
{
    // Kept loaded for the rest of the run once asked.
    static const UniqueModule dwmapi = LoadSystemDwm();
    static const auto query = dwmapi ? reinterpret_cast<DwmIsCompositionEnabledFn>(reinterpret_cast<void*>(
                                           GetProcAddress(dwmapi.get(), "DwmIsCompositionEnabled")))
                                     : nullptr;
    BOOL enabled = FALSE;
    if (query && FAILED(query(&enabled)))
        enabled = FALSE;
    return enabled;
}

void InitTransparency(HWND dlg)
{
    HWND trackbar = GetDlgItem(dlg, IDC_ALPHA);
    SendMessageW(trackbar, TBM_SETRANGE, TRUE, MAKELPARAM(0, 255));
    const int alpha = ReadSettingIntDefault(kAspectSection, kAspectAlpha, 0);
    SendMessageW(trackbar, TBM_SETPOS, TRUE, alpha);
    ShowAlphaValue(dlg, static_cast<UINT>(alpha));

    if (IsTransparencyOffered())
        return;
    for (int id : {IDC_ALPHA, IDC_ALPHA_VALUE, IDC_TRANSPARENT})
        ShowWindow(GetDlgItem(dlg, id), SW_HIDE);
}

BOOL OnAlphaScroll(HWND dlg, WPARAM wParam, LPARAM lParam)
{
    HWND trackbar = GetDlgItem(dlg, IDC_ALPHA);
    if (reinterpret_cast<HWND>(lParam) != trackbar)
        return FALSE;
    const WORD code = LOWORD(wParam);
    const UINT position = (code == TB_THUMBPOSITION || code == TB_THUMBTRACK)
        ? HIWORD(wParam)
        : static_cast<UINT>(SendMessageW(trackbar, TBM_GETPOS, 0, 0));
    ShowAlphaValue(dlg, position);
    return TRUE;
}

void StoreAlpha(HWND dlg)
{
    WriteSettingInt(kAspectSection, kAspectAlpha,
                    static_cast<int>(SendDlgItemMessageW(dlg, IDC_ALPHA, TBM_GETPOS, 0, 0)));
}
