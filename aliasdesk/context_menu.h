// The context menu of the two report lists: run (also as administrator),
// open the folder, copy, edit and remove the selected rows. In the filtered view every item acts
// on the main rows the filter rows came from.
#pragma once

#include <windows.h>

enum ContextCommand {
    kMenuRun = 1,
    kMenuRunAsAdministrator,
    kMenuOpenFolder,
    kMenuCopyPath,
    kMenuCopyAlias,
    kMenuEdit,
    kMenuRemove,
    kMenuSelectMissing,
    kMenuSelectConflicts,
    kMenuLocate,
    kMenuImport,
    kMenuRestore,
};

// Shows the menu at the screen point and answers the chosen command, 0 for none.
using MenuPicker = int (*)(HMENU menu, HWND owner, POINT screen);

// Puts another picker in the place of TrackPopupMenu; null puts it back.
void SetContextMenuPicker(MenuPicker picker);

// The dialog's WM_CONTEXTMENU: window is the one clicked (wParam), where the
// screen point, or -1, -1 from the keyboard (the menu then opens at the
// focused row). FALSE when the window is not one of the lists.
BOOL OnContextMenu(HWND dlg, HWND window, LPARAM where);
