#include "bench_data.h"

#include "handles.h"
#include "temp_dir.h"
#include "wide_text.h"

#include <windows.h>

#include <cwchar>
#include <iterator>

namespace {

constexpr int kFoldersPerGroup = 20;
// Each shared setup name stands in this many neighbouring folders, so the
// later copies get the aliases setup…_#0, _#1 and so on.
constexpr int kFoldersSharingAName = 5;
constexpr const wchar_t* kOtherExtensions[] = {L"dll", L"txt", L"ini", L"dat", L"png"};

bool MakeEmptyFile(const std::wstring& path)
{
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file);
}

// Names mix letter cases as real installations do; aliases come out lowered.
std::wstring ProgramName(int folder, int slot)
{
    wchar_t name[64];
    if (slot == 0)
        FormatText(name, 64, L"ZqTool%05d.exe", folder);
    else if (slot == 1)
        FormatText(name, 64, L"Setup%05d.EXE", folder / kFoldersSharingAName);
    else if (slot == 2)
        FormatText(name, 64, L"Zip%05d.exe", folder);
    else
        FormatText(name, 64, L"App%05d_%d.exe", folder, slot);
    return name;
}

std::wstring OtherName(int folder, int index)
{
    constexpr int kinds = static_cast<int>(std::size(kOtherExtensions));
    wchar_t name[64];
    FormatText(name, 64, L"Part%05d_%02d.%s", folder, index, kOtherExtensions[index % kinds]);
    return name;
}

// Fixed-width names: no folder's path is a prefix of a sibling's.
std::wstring FolderPath(const std::wstring& root, int folder)
{
    wchar_t relative[64];
    FormatText(relative, 64, L"\\g%04d\\d%05d", folder / kFoldersPerGroup, folder);
    return root + relative;
}

bool FillFolder(const std::wstring& path, int folder, TreeShape* shape)
{
    if (!MakeDirs(path))
        return false;
    for (int slot = 0; slot < kProgramsPerFolder; ++slot) {
        if (!MakeEmptyFile(path + L"\\" + ProgramName(folder, slot)))
            return false;
        ++shape->programs;
    }
    for (int i = 0; i < kProgramsPerFolder * kOtherFilesPerProgram; ++i) {
        if (!MakeEmptyFile(path + L"\\" + OtherName(folder, i)))
            return false;
        ++shape->other_files;
    }
    ++shape->folders;
    ++shape->filter_matches; // slot 0
    ++shape->shared_name_programs; // slot 1
    return true;
}

bool EndsWithExe(const wchar_t* name)
{
    const size_t length = wcslen(name);
    return length >= 4 && CompareNoCaseAscii(name + length - 4, L".exe") == 0;
}

} // namespace

int RoundedRowCount(int rows)
{
    return (rows + kProgramsPerFolder - 1) / kProgramsPerFolder * kProgramsPerFolder;
}

bool GenerateTree(const std::wstring& root, int programs, TreeShape* shape)
{
    *shape = TreeShape{};
    const int folders = RoundedRowCount(programs) / kProgramsPerFolder;
    for (int folder = 0; folder < folders; ++folder) {
        if (!FillFolder(FolderPath(root, folder), folder, shape))
            return false;
    }
    return true;
}

int BareWalk(const std::wstring& root)
{
    int programs = 0;
    WIN32_FIND_DATAW entry;
    FindHandle search(FindFirstFileW((root + L"\\*").c_str(), &entry));
    if (!search)
        return 0;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            programs += EndsWithExe(entry.cFileName) ? 1 : 0;
        } else if (wcscmp(entry.cFileName, L".") != 0 && wcscmp(entry.cFileName, L"..") != 0) {
            programs += BareWalk(root + L"\\" + entry.cFileName);
        }
    } while (FindNextFileW(search.get(), &entry));
    return programs;
}
