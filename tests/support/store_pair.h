// The two files of the alias store as a test sees them from outside: read,
// written as a save of the program leaves them, and what a save may leave.
#pragma once

#include "test_row.h"

#include <string>
#include <utility>
#include <vector>

std::string Utf16(const std::wstring& text);

// size bytes of a seeded random stream: the same seed gives the same bytes.
std::string RandomBytes(size_t size, unsigned seed);

// history.dat and config.ini byte for byte (a missing file reads as
// "<none>"), and the table they hold: whole when history.dat lists exactly
// the sections of config.ini, in their order (an empty table: history.dat
// of 0 bytes and no config.ini).
struct StorePair {
    std::string history, config;
    bool whole = false;
    std::wstring fault; // why it is not whole
    std::vector<test::Row> rows;
    bool operator==(const StorePair&) const = default;
};
// suffix: ".bak" for the pair the last save replaced.
StorePair ReadStorePair(const std::wstring& dir, const wchar_t* suffix = L"");

// Writes the pair a save of these rows leaves (rows in saved form).
bool WriteStorePair(const std::wstring& dir, const std::vector<test::Row>& rows, const wchar_t* suffix = L"");

// Rows stem0, stem1 ... in saved form, each with the path c:\tools\<alias>.exe,
// every third with a parameter.
std::vector<test::Row> NumberedRows(const std::wstring& stem, int count);

// True when nothing of an unfinished save lies in the folder.
bool NoSaveLeftovers(const std::wstring& dir);

// Names in the folder other than the expected ones (leftovers of a save).
std::vector<std::wstring> UnexpectedFiles(const std::wstring& dir, const std::vector<std::wstring>& expected);

// Empty files named name0.exe ... in folder, each made with one call.
bool MakePrograms(const std::wstring& folder, const std::wstring& name, int count);

// A profile file as its sections and keys stand, read past the system's
// profile functions (UTF-16LE after a byte-order mark, else the ANSI code page).
struct ProfileSection {
    std::wstring name;
    std::vector<std::pair<std::wstring, std::wstring>> values;
    std::wstring Value(const std::wstring& key) const; // empty when missing
};
std::vector<ProfileSection> ParseProfile(const std::string& bytes);
