// The real aliasdesk.exe driven from the test's process the way a user's
// clicks and keys reach it: started in a folder of the test's own, or
// reached where it already runs.
#pragma once

#include "remote_process.h"
#include "test_row.h"
#include "wait.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

class AliasDesk {
public:
    // Copies the program into dir (unless it is there) and starts it there,
    // or with start_in as its current folder; waits for its dialog.
    explicit AliasDesk(const std::wstring& dir, const std::wstring& start_in = L"");
    // The program that shows this dialog, which it leaves running.
    explicit AliasDesk(HWND dlg);

    bool ready() const { return dlg_ != nullptr; }
    // Why it is not ready: not copied, not started, ended (with its exit
    // code) or no dialog within the guard.
    std::string NotReadyReason() const;
    RemoteProgram& program() { return *program_; }
    HWND dlg() const { return dlg_; }
    HWND Item(int id) const { return GetDlgItem(dlg_, id); }
    std::wstring Text(int id) const { return WindowText(Item(id)); }
    std::wstring Status() const;
    bool MainListShown() const;

    // Posts a button's command as a click does, only when the button is
    // enabled (a user can click it only then); false when it is not.
    bool Click(int id);
    // The same whatever the button's state: under Wine a posted click on a
    // disabled button still sends its command.
    void ClickEvenIfDisabled(int id);
    void PostClose(bool system_menu); // the close box: SC_CLOSE, or WM_CLOSE itself
    DWORD Close(); // WM_CLOSE; the exit code once it ended (STILL_ACTIVE when it did not)
    void Kill(); // where it stands
    // Marks the status label, so that a wait for "Finished!" cannot see the
    // text of an earlier step.
    void MarkStatus();
    // Posted input has been handled once a change posted after it shows.
    bool WaitPostedHandled();

    void TypePath(const std::wstring& folder); // empties the path box, then WM_CHAR, posted
    void Type(const std::wstring& keys); // WM_CHAR into the filter box, posted
    // Waits for the store or a scan to end: "Finished!" with every button back.
    bool WaitIdle(DWORD guard_ms = kHangGuardMs);
    // Waits for the start-up load to end (a folder without both files loads nothing).
    bool WaitLoaded(DWORD guard_ms = kHangGuardMs);
    // Puts the folder into the path box, presses Add and waits for the scan to end.
    bool Scan(const std::wstring& folder, DWORD guard_ms = kHangGuardMs);
    // Waits until the program has no thread beyond the given count.
    bool WaitThreadsAtMost(int threads, DWORD guard_ms = 30000);

    int RowCount(int list_id);
    std::wstring Cell(int list_id, int row, int column);
    std::vector<test::Row> Rows(int list_id);
    // Opens the cell's edit box by click, pause, click; the box, or null when none came.
    HWND OpenCellEdit(int list_id, int row, int column);
    // Opens the cell's edit box, writes the text and ends the edit with
    // Enter. False when no box came or it did not go.
    bool EditCell(int list_id, int row, int column, const std::wstring& text);
    void ClickHeader(int list_id, int column);
    bool SelectOnly(int list_id, const std::vector<int>& rows);
    void PressDelete(int list_id);

    // The program's message box with this title, once it shows (null on time-out).
    HWND WaitForBox(const std::wstring& title, DWORD guard_ms = kHangGuardMs);
    static std::wstring BoxText(HWND box);

private:
    std::wstring dir_;
    std::unique_ptr<RemoteProgram> program_;
    HWND dlg_ = nullptr;
    int marker_ = 100000;
};

// The threads of a process now (the dialog thread, the system's own, workers).
int ThreadCount(DWORD pid);
