#include "status_tip.h"

#include "aliasdesk_ids.h"
#include "handles.h"

#include <commctrl.h>

#include <iterator>

namespace {

bool CutShort(HWND label, const wchar_t* text, int length)
{
    RECT client{};
    GetClientRect(label, &client);
    WindowDc dc(label);
    if (!dc)
        return false;
    const HGDIOBJ previous = SelectObject(dc.get(), reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
    SIZE extent{};
    const BOOL measured = GetTextExtentPoint32W(dc.get(), text, length, &extent);
    SelectObject(dc.get(), previous);
    return measured && extent.cx > client.right;
}

// A tip up while the status changes would go on showing the old one.
LRESULT CALLBACK LabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR tip)
{
    if (message == WM_SETTEXT)
        SendMessageW(reinterpret_cast<HWND>(tip), TTM_POP, 0, 0);
    else if (message == WM_NCDESTROY)
        RemoveWindowSubclass(label, LabelProc, id);
    return DefSubclassProc(label, message, wParam, lParam);
}

} // namespace

void AttachStatusTip(HWND dlg)
{
    HWND label = GetDlgItem(dlg, IDC_STATUS);
    HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dlg, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    if (!label || !tip)
        return;
    // Without it the label lets the mouse through, and the tip never hears of it.
    SetWindowLongPtrW(label, GWL_STYLE, GetWindowLongPtrW(label, GWL_STYLE) | SS_NOTIFY);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = dlg;
    tool.uId = reinterpret_cast<UINT_PTR>(label);
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SetWindowSubclass(label, LabelProc, 0, reinterpret_cast<DWORD_PTR>(tip));
}

bool OnStatusTipNotify(HWND dlg, NMHDR* header)
{
    // Asked first and cheaply: the lists notify the dialog of every cell read or drawn.
    if (header->code != TTN_GETDISPINFOW)
        return false;
    HWND label = GetDlgItem(dlg, IDC_STATUS);
    if (header->idFrom != reinterpret_cast<UINT_PTR>(label))
        return false;
    auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
    const int length = GetWindowTextW(label, info->szText, static_cast<int>(std::size(info->szText)));
    if (!CutShort(label, info->szText, length))
        info->szText[0] = L'\0';
    info->lpszText = info->szText;
    info->hinst = nullptr;
    return true;
}
