// Drives a copy of the real aliasdesk.exe from the test process, the way a
// user's clicks and keys reach it, and reads the alias store it leaves on
// disk.
#pragma once

#include "remote_process.h"
#include "store_pair.h"
#include "temp_dir.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace alias_ids {
constexpr int kOk = 1001, kAdd = 1002, kPath = 1003, kUnusedEdit = 1006, kCount = 1008, kMainList = 1012,
              kFilter = 1013, kCancel = 1016, kApply = 1017, kFilterList = 1018, kRemove = 1019, kReload = 1020,
              kStatus = 1021;
}

struct AliasRow {
    std::wstring alias, parameter, path;
    bool operator==(const AliasRow&) const = default;
};
void PrintTo(const AliasRow& row, std::ostream* os);

// A profile file as its sections and keys stand, read past the system's
// profile functions (UTF-16LE after a byte-order mark, else the ANSI code page).
struct ProfileSection {
    std::wstring name;
    std::vector<std::pair<std::wstring, std::wstring>> values;
    std::wstring Value(const std::wstring& key) const; // empty when missing
};
std::vector<ProfileSection> ParseProfile(const std::string& bytes);

// What a save of the table writes: every text lowered (A to Z only), one
// row per alias in the order of first appearance, holding the last values.
std::vector<AliasRow> SavedForm(const std::vector<AliasRow>& table);

// The table as the program must show it, changed the way the program changes it.
class TableModel {
public:
    // A scan of a folder without subfolders: each program under its name,
    // or with a counter where the name lists a program of another folder.
    void Scan(const std::wstring& folder, const std::vector<std::wstring>& files);
    // Each header click turns the order round; equal cells keep their order.
    void Sort(int column);
    // The rows whose alias begins with the pattern (letter case aside).
    std::vector<AliasRow> Matching(const std::wstring& pattern) const;
    void Edit(const std::wstring& alias, int column, const std::wstring& text); // column 1 or 2
    void Remove(const std::wstring& alias);

    std::vector<AliasRow> rows;

private:
    AliasRow* Find(const std::wstring& alias);

    bool ascending_ = false; // the program's first click sorts ascending
};

// The programs of a folder in the order the system lists them.
std::vector<std::wstring> ProgramsIn(const std::wstring& folder);

// Writes the pair a save of these rows would leave (rows in saved form).
bool WriteStorePair(const TempDir& dir, const std::vector<AliasRow>& rows);

// The pair on disk: whole when history.dat lists exactly the sections of
// config.ini, in their order (an empty table: history.dat of 0 bytes and
// no config.ini).
struct StoredPair {
    bool whole = false;
    std::wstring fault; // why it is not whole
    std::vector<AliasRow> rows;
};
StoredPair ReadStorePair(const TempDir& dir);

// Names in the folder other than the expected ones (leftovers of a save).
std::vector<std::wstring> UnexpectedFiles(const TempDir& dir, const std::vector<std::wstring>& expected);

// The program's threads now (the dialog thread, the system's own, workers).
int ThreadCount(DWORD pid);

// One running copy of aliasdesk.exe in the folder.
class AliasDesk {
public:
    // Copies the program into the folder (once) and starts it there.
    explicit AliasDesk(const TempDir& dir);

    bool ready() const { return dlg_ != nullptr; }
    // Why it is not ready: not copied, not started, ended (with its exit
    // code) or no dialog within the guard.
    std::string NotReadyReason() const;
    RemoteProgram& program() { return *program_; }
    HWND dlg() const { return dlg_; }
    HWND Item(int id) const { return GetDlgItem(dlg_, id); }
    std::wstring Status() const;
    bool MainListShown() const;

    // Posts a button's command as a click does (the driver checks first
    // that the button is enabled, as a user can only click then).
    void Click(int id);
    void PostClose(bool system_menu); // the close box: SC_CLOSE, or WM_CLOSE itself
    // Marks the status label, so that a wait for "Finished!" cannot see the
    // text of an earlier step.
    void MarkStatus();
    // Posted input has been handled once a change posted after it shows.
    bool WaitPostedHandled();

    void TypePath(const std::wstring& folder); // empties the path box, then WM_CHAR, posted
    void Type(const std::wstring& keys); // WM_CHAR into the filter box, posted
    // Waits for the store or a scan to end: "Finished!" with every button back.
    bool WaitIdle(DWORD guard_ms = 60000);
    // Waits until the program has no thread beyond the given count.
    bool WaitThreadsAtMost(int threads, DWORD guard_ms = 30000);

    std::vector<AliasRow> Rows(int list_id);
    // Opens the cell's edit box by click, pause, click; writes the text and
    // ends the edit with Enter. False when no box came or it did not go.
    bool EditCell(int list_id, int row, int column, const std::wstring& text);
    void ClickHeader(int list_id, int column);
    bool SelectOnly(int list_id, const std::vector<int>& rows);
    void PressDelete(int list_id);

private:
    void ClickAt(HWND window, const RECT& rect);

    std::unique_ptr<RemoteProgram> program_;
    HWND dlg_ = nullptr;
    int marker_ = 100000;
};
