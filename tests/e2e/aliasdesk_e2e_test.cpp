// The real aliasdesk.exe, copied into a folder of its own and driven from
// this process: what only the real start-up shows.
#include "platform.h"
#include "remote_process.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kPath = 1003, kMainList = 1012, kFilterList = 1018, kVersion = 1010, kStatus = 1021, kCancel = 1016;

std::wstring Lower(std::wstring s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](wchar_t c) { return static_cast<wchar_t>(towlower(c)); });
    return s;
}

// The names of the modules that an executable imports at load time.
std::vector<std::string> ImportedModules(const std::wstring& exe)
{
    std::string image;
    if (!ReadFileBytes(exe, &image))
        return {};
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image.data() + dos->e_lfanew);
    const auto* sections = IMAGE_FIRST_SECTION(nt);
    auto offset_of = [&](DWORD rva) -> const char* {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const auto& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + std::max(s.Misc.VirtualSize, s.SizeOfRawData))
                return image.data() + s.PointerToRawData + (rva - s.VirtualAddress);
        }
        return nullptr;
    };
    std::vector<std::string> modules;
    const DWORD rva = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    const auto* import = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(offset_of(rva));
    for (; import && import->Name; ++import) {
        std::string name = offset_of(import->Name);
        std::transform(name.begin(), name.end(), name.begin(), [](char c) { return static_cast<char>(tolower(c)); });
        modules.push_back(name);
    }
    return modules;
}

class AliasdeskProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        exe_ = dir_ / L"aliasdesk.exe";
        ASSERT_TRUE(CopyFileW((ProgramDir() + L"\\aliasdesk.exe").c_str(), exe_.c_str(), FALSE));
        wchar_t elsewhere[MAX_PATH];
        GetTempPathW(MAX_PATH, elsewhere);
        program_ = std::make_unique<RemoteProgram>(exe_, elsewhere);
        ASSERT_TRUE(program_->started());
        dlg_ = program_->WaitForWindow(L"Velkor - Add");
        ASSERT_NE(nullptr, dlg_);
    }

    TempDir dir_{L" e2e \x00E9\x4E2D"};
    std::wstring exe_;
    std::unique_ptr<RemoteProgram> program_;
    HWND dlg_ = nullptr;
};

TEST_F(AliasdeskProgram, StartsInItsOwnFolderWithTheDialogShown)
{
    EXPECT_EQ(Lower(dir_.path() + L"\\"), Lower(program_->CurrentDirectory()));
    EXPECT_TRUE(IsWindowVisible(dlg_));
    EXPECT_EQ(L"2.2.0.24", WindowText(GetDlgItem(dlg_, kVersion)));
    EXPECT_EQ(L"Status...", WindowText(GetDlgItem(dlg_, kStatus)));
    EXPECT_EQ(L"", WindowText(GetDlgItem(dlg_, kPath)));

    HWND main_list = GetDlgItem(dlg_, kMainList);
    HWND filter_list = GetDlgItem(dlg_, kFilterList);
    EXPECT_TRUE(IsWindowVisible(main_list));
    EXPECT_FALSE(IsWindowVisible(filter_list));
    const std::vector<std::wstring> columns{L"alias", L"parameter", L"path"};
    EXPECT_EQ(columns, program_->Headers(main_list));
    EXPECT_EQ(columns, program_->Headers(filter_list));
    EXPECT_EQ(0, program_->RowCount(main_list));
}

TEST_F(AliasdeskProgram, CloseBoxEndsWithCodeZero)
{
    PostMessageW(dlg_, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(0u, program_->WaitForExit());
}

TEST_F(AliasdeskProgram, CancelEndsWithCodeZero)
{
    PostMessageW(dlg_, WM_COMMAND, MAKEWPARAM(kCancel, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dlg_, kCancel)));
    EXPECT_EQ(0u, program_->WaitForExit());
}

TEST(AliasdeskImage, BindsThemeAndCompositionLibrariesOnlyOnFirstUse)
{
    const auto modules = ImportedModules(ProgramDir() + L"\\aliasdesk.exe");
    ASSERT_FALSE(modules.empty());
    EXPECT_NE(modules.end(), std::find(modules.begin(), modules.end(), "comctl32.dll"));
    EXPECT_EQ(modules.end(), std::find(modules.begin(), modules.end(), "uxtheme.dll"));
    EXPECT_EQ(modules.end(), std::find(modules.begin(), modules.end(), "dwmapi.dll"));
}

} // namespace

namespace {

constexpr int kAdd = 1002, kCount = 1008;

struct ModelRow {
    std::wstring alias, path;
};

// An independent model of the scan, for comparing the program with: the
// same walk order and the alias rules, kept in a map instead of a list view.
class ScanModel {
public:
    void Walk(std::wstring directory)
    {
        directory = Lower(directory);
        WIN32_FIND_DATAW entry;
        HANDLE search = FindFirstFileW((directory + L"\\*.exe").c_str(), &entry);
        if (search != INVALID_HANDLE_VALUE) {
            do
                Found(directory, entry.cFileName);
            while (FindNextFileW(search, &entry));
            FindClose(search);
        }
        search = FindFirstFileW((directory + L"\\*").c_str(), &entry);
        if (search == INVALID_HANDLE_VALUE)
            return;
        do {
            const std::wstring name = entry.cFileName;
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." && name != L".." &&
                name[0] != L'$' && name[0] != L'{' && directory.size() + 1 + name.size() < MAX_PATH)
                Walk(directory + L"\\" + name);
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }

    std::vector<ModelRow> rows;

private:
    void Found(const std::wstring& directory, const std::wstring& file)
    {
        const std::wstring name = Lower(file);
        if (name.size() < 4 || name.compare(name.size() - 4, 4, L".exe") != 0)
            return;
        const std::wstring stem = name.substr(0, std::min<size_t>(name.size() - 4, 250));
        std::wstring alias = stem;
        for (int counter = 0;; ++counter) {
            auto first = first_row_.find(alias);
            if (first == first_row_.end())
                break;
            if (rows[first->second].path.compare(0, directory.size(), directory) == 0)
                return; // listed already
            alias = stem + L"_#" + std::to_wstring(counter);
        }
        const std::wstring path = directory + L"\\" + name;
        if (path.size() >= MAX_PATH)
            return;
        first_row_.emplace(alias, rows.size());
        rows.push_back({alias, path});
    }

    std::map<std::wstring, size_t> first_row_;
};

} // namespace

TEST_F(AliasdeskProgram, ScanningTheWindowsFolderListsWhatAnIndependentWalkFinds)
{
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    ScanModel model;
    model.Walk(windows);
    ASSERT_GT(model.rows.size(), 10u);

    SendMessageW(GetDlgItem(dlg_, kPath), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(windows));
    PostMessageW(dlg_, WM_COMMAND, MAKEWPARAM(kAdd, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg_, kAdd)));
    const ULONGLONG deadline = GetTickCount64() + 120000;
    while (GetTickCount64() < deadline &&
           !(WindowText(GetDlgItem(dlg_, kStatus)) == L"Finished!" && IsWindowEnabled(GetDlgItem(dlg_, kAdd))))
        Sleep(50);
    ASSERT_EQ(L"Finished!", WindowText(GetDlgItem(dlg_, kStatus)));

    HWND list = GetDlgItem(dlg_, kMainList);
    ASSERT_EQ(static_cast<int>(model.rows.size()), program_->RowCount(list));
    for (int i = 0; i < program_->RowCount(list); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(model.rows[i].alias, program_->Cell(list, i, 0));
        EXPECT_EQ(L"", program_->Cell(list, i, 1));
        EXPECT_EQ(model.rows[i].path, program_->Cell(list, i, 2));
    }
    EXPECT_EQ(std::to_wstring(model.rows.size()), WindowText(GetDlgItem(dlg_, kCount)));
}
