// The data a benchmark run works on: a folder tree of programs among other
// files, generated so that the rows a scan must produce are known beforehand.
#pragma once

#include <string>

struct TreeShape {
    int programs = 0; // .exe files; a multiple of kProgramsPerFolder
    int other_files = 0;
    int folders = 0;
    int shared_name_programs = 0; // programs whose name recurs in other folders
    int filter_matches = 0; // aliases that begin with kFilterPattern
};

constexpr int kProgramsPerFolder = 10;
constexpr int kOtherFilesPerProgram = 5;
// Every tenth alias begins with it, and no other does. As many again begin
// with its first letter alone, so that the list for that letter, typed first,
// cannot pass for the complete one.
constexpr const wchar_t* kFilterPattern = L"zq";

// Sizes are rounded up to whole folders.
int RoundedRowCount(int rows);

// Writes the tree for that many programs under root (which must not exist);
// false when a file or folder could not be made.
bool GenerateTree(const std::wstring& root, int programs, TreeShape* shape);

// The fastest any scan can see the tree: one FindFirstFileW walk of every
// folder, counting the names that end in .exe. Returns that count.
int BareWalk(const std::wstring& root);
