// Reading a pair of store files whole (the store itself, the pair its last
// save replaced, or another table to import) before anything of the table
// is touched: a read that fails changes nothing.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The two files of one table.
struct StorePaths {
    std::wstring history; // history.dat: the alias names
    std::wstring config; // config.ini: one section per alias
};

struct LoadedRow {
    const wchar_t* alias; // in StoreContents::names
    std::wstring path;
    std::wstring parameter;
};

struct StoreContents {
    std::vector<wchar_t> names; // history.dat's code units and a zero unit
    int units = 0;
    int listed = 0; // names read, the ones too long to list included
    std::vector<LoadedRow> rows;
};

// Yes: both read. Missing: a file does not exist (for the store: nothing
// saved yet). No: a file is there but cannot be read whole (held open
// elsewhere, no access). *unreadable names the file missing or unreadable.
enum class Readable { Yes, Missing, No };

// Reads both files, a progress position (0 ... units) passed to the dialog's
// bar now and then; stops early when the workers are asked to stop.
Readable ReadStoreFiles(HWND dlg, const StorePaths& paths, StoreContents* contents, std::wstring* unreadable);

// The bar under the lists: shown with a range, moved, hidden at a position.
void ShowProgress(HWND dlg, int upper);
void SetProgress(HWND dlg, int position);
void HideProgress(HWND dlg, int position);
