// The two files of the alias store as a test sees them from outside, and
// the real aliasdesk.exe driven in a folder of the test's own.
#pragma once

#include "remote_process.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

std::string Utf16(const std::wstring& text);

// size bytes of a seeded random stream: the same seed gives the same bytes.
std::string RandomBytes(size_t size, unsigned seed);

// history.dat and config.ini byte for byte; a missing file reads as "<none>".
struct StorePair {
    std::string history, config;
    bool operator==(const StorePair&) const = default;
};
StorePair ReadPair(const std::wstring& dir);

// Writes the pair as the program saves a table of rows named prefix0,
// prefix1 ...: each with the path c:\programs\<name>.exe and no parameter.
bool WriteTable(const std::wstring& dir, const std::wstring& prefix, int rows);

// True when nothing of an unfinished save lies in the folder.
bool NoSaveLeftovers(const std::wstring& dir);

// Empty files named name0.exe ... in folder, each made with one call.
bool MakePrograms(const std::wstring& folder, const std::wstring& name, int count);

// Polls done() every few milliseconds; false when the guard ran out.
bool WaitUntil(const std::function<bool()>& done, DWORD guard_ms = 60000);

// aliasdesk.exe copied into a folder, started and driven through its dialog.
class AliasdeskInFolder {
public:
    explicit AliasdeskInFolder(std::wstring dir);

    // Starts the program and waits until its start-up load has ended
    // (the status says "Finished!"); false when it did not come up.
    bool Start();
    // Kills the program where it stands.
    void Kill();
    // Closes it with the close box and waits for it to end; its exit code.
    DWORD Close();

    // Scans a folder with Add and waits for the scan to end.
    bool Scan(const std::wstring& folder);
    // Posts a click on a button (only when it is enabled: Wine clicks disabled ones too).
    bool Press(int id);
    // Sets the status label so that the next change of it can be seen.
    void MarkStatus();
    std::wstring Status();
    int Rows();
    std::wstring Cell(int row, int column);

    // The program's message box with this title, once it shows (null on time-out).
    HWND WaitForBox(const std::wstring& title, DWORD guard_ms = 60000);
    static std::wstring BoxText(HWND box);

    HWND dialog() const { return dlg_; }
    RemoteProgram* program() { return program_.get(); }

private:
    std::wstring dir_, exe_;
    std::unique_ptr<RemoteProgram> program_;
    HWND dlg_ = nullptr;
};
