// The files of the alias store beside the program: history.dat (the alias
// names) and config.ini (one section per alias). A save writes both under
// temporary names and replaces the old pair only once both are complete;
// a commit mark makes the two replacements one step that an interrupted save
// finishes, or drops, the next time the store is used.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

constexpr const wchar_t* kHistoryFile = L"history.dat"; // relative: resolves beside the program

// Reads history.dat as UTF-16LE code units, turning every 0x0D 0x0A byte pair
// back into the 0x0A that the writer expanded and keeping every other byte,
// 0x1A included. 1 when the whole file fitted with room to spare (the data is
// then followed by a zero unit); 0 otherwise: *units == capacity when the
// buffer was too small, *units == 0 when the file could not be opened.
int ReadHistoryFile(wchar_t* buffer, int capacity, int* units);

// The same reading of the file at path, whole: its code units followed by
// one zero unit. false when it could not be read.
bool ReadHistoryNames(const std::wstring& path, std::vector<wchar_t>* names);

// The names of history.dat as the writer stores them: every byte 0x0A of the
// code units written as 0x0D 0x0A.
std::string EncodeHistory(const wchar_t* units, size_t count);

// Where a save writes a file of the store before it commits, and the mark of
// its commit: the extension replaced, so that no name is longer than the
// file it stands for and each fits wherever that file fits.
std::wstring SavingPath(const std::wstring& path);
std::wstring CommitMarkPath(const std::wstring& config_path);

// history.dat beside config.ini. The store names it so, not by the relative
// name: the system's file dialogs may change the current folder.
std::wstring HistoryPath(const wchar_t* config_path);

// The previous save of a file of the store: each save keeps the pair it
// replaces as config.ini.bak and history.dat.bak, under its commit mark.
std::wstring BackupPath(const std::wstring& path);

// Writes bytes to path, creating or replacing it, and flushes them to disk.
// false (with GetLastError set) when any of it failed. A file another
// program holds for a moment is waited for, about 2 s at most; so is every
// replacement below.
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);

// Replaces history.dat and config.ini by their saving copies as one step;
// config_present false means the new table has no config.ini. Failed: the
// old pair stays whole. Pending: the commit mark is on disk but a file could
// not be replaced yet; the next RecoverInterruptedSave puts the new pair in
// place. GetLastError tells why.
enum class Commit { Done, Failed, Pending };
Commit CommitSavedPair(const wchar_t* config_path, bool config_present);

// A committed save has not been put in place yet.
bool IsCommitPending(const wchar_t* config_path);

// Finishes a save that was interrupted after its commit, or drops the copies
// of one interrupted before it. Run before the store is read or written.
// false while a save that committed could not be put in place (a file held
// elsewhere): the pair on disk may then be half old, half new; GetLastError
// tells why.
bool RecoverInterruptedSave(const wchar_t* config_path);
