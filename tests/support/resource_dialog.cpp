#include "resource_dialog.h"

#include <commctrl.h>

ResourceDialog::ResourceDialog(bool dialog_keys) : dialog_keys_(dialog_keys)
{
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
}

ResourceDialog::~ResourceDialog()
{
    Close();
}

bool ResourceDialog::Create(int resource, DLGPROC procedure)
{
    dlg_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resource), nullptr, procedure, 0);
    if (!dlg_)
        return false;
    ShowWindow(dlg_, SW_SHOW);
    UpdateWindow(dlg_);
    return true;
}

bool ResourceDialog::Close(DWORD guard_ms)
{
    if (IsOpen())
        SendMessageW(dlg_, WM_CLOSE, 0, 0);
    const bool gone = WaitFor([this] { return !IsOpen(); }, guard_ms);
    PumpPending();
    return gone;
}

std::wstring ResourceDialog::Text(int id) const
{
    wchar_t text[1024] = {};
    GetDlgItemTextW(dlg_, id, text, 1024);
    return text;
}

void ResourceDialog::Click(int id) const
{
    SendMessageW(dlg_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
}

bool ResourceDialog::WaitFor(const std::function<bool()>& done, DWORD guard_ms, DWORD poll_ms) const
{
    return PumpUntil(done, guard_ms, {dialog_keys_ ? dlg_ : nullptr, false, poll_ms});
}
