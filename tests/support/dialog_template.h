// Reads an extended dialog template from a module's resources, so that tests
// can check a dialog exactly as the resource lays it out (the controls
// themselves may adjust their styles once created).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct TemplateItem {
    DWORD ex_style = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;
    std::wstring cls; // predefined classes by name: Button, Edit, Static, ...
    std::wstring text;
};

struct DialogTemplate {
    DWORD ex_style = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::wstring title;
    WORD point_size = 0;
    WORD weight = 0;
    std::wstring font;
    std::vector<TemplateItem> items;
};

// False when the resource is missing or is not an extended template.
bool LoadDialogTemplate(HMODULE module, int id, DialogTemplate* out);

// One row of a dialog's control table: the style without WS_CHILD, the place
// in dialog units.
struct ControlRow {
    int id;
    const wchar_t* cls;
    const wchar_t* text;
    DWORD style;
    short x, y, cx, cy;
};

// Checks the template's items against the rows, in order (class names in
// any case, no extended styles).
void ExpectItemsAsRows(const DialogTemplate& dialog, const ControlRow* rows, size_t count);

// Checks the created dialog's children against the rows' ids and classes, in order.
void ExpectChildrenAsRows(HWND dlg, const ControlRow* rows, size_t count);
