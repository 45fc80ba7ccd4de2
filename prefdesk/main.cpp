// prefdesk: edits settings.ini, the settings of the Velkor launcher.
#include "diagnostics.h"
#include "prefdesk_ids.h"
#include "settings_dialog.h"
#include "settings_file.h"

#include <commctrl.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    // An empty card reader or disc drive met on the way answers with an
    // error, not with the system's "No disk" box.
    SetErrorMode(SEM_FAILCRITICALERRORS);
    wchar_t directory[MAX_PATH];
    GetModuleDirectory(instance, directory, MAX_PATH);
    SetCurrentDirectoryW(directory); // the language folder and the stored language path resolve here
    if (!InitSettingsPath(instance)) {
        // A cut path would name some other file; nothing is read or written.
        MessageBoxW(nullptr, L"The program's folder path is too long.", L"prefdesk", MB_ICONERROR | MB_TOPMOST);
        return 1;
    }

    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    HWND dlg = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_SETTING), nullptr, SettingsDlgProc, 0);
    if (!dlg) {
        MessageBoxW(nullptr, L"Failed to create prefdesk.", L"prefdesk", MB_ICONERROR | MB_TOPMOST);
        return 1;
    }
    ShowWindow(dlg, show);
    UpdateWindow(dlg);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0)) {
        if (!IsDialogMessageW(dlg, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}
