// aliasdesk: builds and edits the alias table of the Velkor launcher.
#include "app_state.h"
#include "cell_edit.h"
#include "diagnostics.h"
#include "main_dialog.h"
#include "shortcut_keys.h"
#include "single_copy.h"
#include "aliasdesk_ids.h"

#include <commctrl.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    // An empty card reader or disc drive met on the way answers with an
    // error, not with the system's "No disk" box.
    SetErrorMode(SEM_FAILCRITICALERRORS);
    GetModuleDirectory(instance);
    SetCurrentDirectoryW(szModuleDirectory); // history.dat resolves beside the program
    if (!BuildConfigPath(szModuleDirectory)) {
        MessageBoxW(nullptr, L"The program's folder path is too long.", L"Velkor Error", MB_ICONERROR | MB_TOPMOST);
        return 1;
    }

    FolderClaim claim;
    if (!claim.Take(szModuleDirectory))
        return 0; // the copy that holds the folder is in front now

    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    SuperclassListView();

    HWND dlg = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDlgProc, 0);
    if (!dlg)
        return 1;
    claim.MarkDialog(dlg);
    ShowWindow(dlg, show);
    UpdateWindow(dlg);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0)) {
        if (TakeFilterShortcut(dlg, msg))
            continue;
        if (!IsDialogMessageW(dlg, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}
