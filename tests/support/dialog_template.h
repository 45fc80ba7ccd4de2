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
