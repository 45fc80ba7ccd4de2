// A dialog of the program under test created from its real resource on this
// thread, the way the program creates it, and closed the way a user closes it.
#pragma once

#include "wait.h"

#include <windows.h>

#include <string>

class ResourceDialog {
public:
    // dialog_keys: waits dispatch through IsDialogMessageW, as the program's
    // own message loop does.
    explicit ResourceDialog(bool dialog_keys = false);
    ~ResourceDialog();
    ResourceDialog(const ResourceDialog&) = delete;
    ResourceDialog& operator=(const ResourceDialog&) = delete;

    // Creates and shows the dialog of the module's resource; false when none came.
    bool Create(int resource, DLGPROC procedure);
    // WM_CLOSE, then dispatches until the dialog is gone and what it left;
    // false when it did not go within the guard.
    bool Close(DWORD guard_ms = kHangGuardMs);
    bool IsOpen() const { return dlg_ && IsWindow(dlg_); }

    HWND dlg() const { return dlg_; }
    HWND Item(int id) const { return GetDlgItem(dlg_, id); }
    std::wstring Text(int id) const;
    void Click(int id) const; // the command a button click sends, enabled or not

    // Dispatches until done() is true; false at the guard.
    bool WaitFor(const std::function<bool()>& done, DWORD guard_ms = kHangGuardMs, DWORD poll_ms = 10) const;

protected:
    HWND dlg_ = nullptr;

private:
    bool dialog_keys_;
};
