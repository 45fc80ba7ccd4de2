// The real aliasdesk.exe, copied into a folder of its own and driven from
// this process: what only the real start-up shows.
#include "aliasdesk_driver.h"
#include "aliasdesk_ids.h"
#include "platform.h"
#include "store_pair.h"
#include "temp_dir.h"
#include "test_row.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

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
        wchar_t elsewhere[MAX_PATH];
        GetTempPathW(MAX_PATH, elsewhere);
        desk_ = std::make_unique<AliasDesk>(dir_.path(), elsewhere);
        ASSERT_TRUE(desk_->ready()) << desk_->NotReadyReason();
    }

    TempDir dir_{L" e2e \x00E9\x4E2D"};
    std::unique_ptr<AliasDesk> desk_;
};

TEST_F(AliasdeskProgram, StartsInItsOwnFolderWithTheDialogShown)
{
    EXPECT_EQ(test::Lowered(dir_.path() + L"\\"), test::Lowered(desk_->program().CurrentDirectory()));
    EXPECT_TRUE(IsWindowVisible(desk_->dlg()));
    EXPECT_EQ(L"2.2.0.24", desk_->Text(IDC_VERSION));
    EXPECT_EQ(L"Status...", desk_->Status());
    EXPECT_EQ(L"", desk_->Text(IDC_PATH));

    EXPECT_TRUE(desk_->MainListShown());
    const std::vector<std::wstring> columns{L"alias", L"parameter", L"path"};
    EXPECT_EQ(columns, desk_->program().Headers(desk_->Item(IDC_MAIN_LIST)));
    EXPECT_EQ(columns, desk_->program().Headers(desk_->Item(IDC_FILTER_LIST)));
    EXPECT_EQ(0, desk_->RowCount(IDC_MAIN_LIST));
}

TEST_F(AliasdeskProgram, CloseBoxEndsWithCodeZero)
{
    desk_->PostClose(true);
    EXPECT_EQ(0u, desk_->program().WaitForExit());
}

TEST_F(AliasdeskProgram, CancelEndsWithCodeZero)
{
    ASSERT_TRUE(desk_->Click(IDC_CANCEL));
    EXPECT_EQ(0u, desk_->program().WaitForExit());
}

// One folder, one writer. A second start in the folder of a running copy,
// even during its save, brings that copy back and ends without touching the
// store; two started at once leave one; a copy in another folder runs beside.
TEST_F(AliasdeskProgram, ASecondCopyInTheSameFolderEndsAndBringsTheFirstBack)
{
    const std::wstring exe = dir_.path() + L"\\aliasdesk.exe";
    const std::wstring programs = dir_.path() + L"\\programs";
    ASSERT_TRUE(MakeDirs(programs) && MakePrograms(programs, L"p", 300));
    ASSERT_TRUE(desk_->Scan(programs));
    ShowWindow(desk_->dlg(), SW_MINIMIZE);
    desk_->MarkStatus();
    ASSERT_TRUE(desk_->Click(IDC_APPLY));
    RemoteProgram second(exe, dir_.path());
    ASSERT_TRUE(second.started());
    EXPECT_EQ(0u, second.WaitForExit());
    ASSERT_TRUE(desk_->WaitIdle());
    EXPECT_FALSE(IsIconic(desk_->dlg())) << "the first copy is shown again";
    const StorePair saved = ReadStorePair(dir_.path());
    EXPECT_EQ(desk_->Rows(IDC_MAIN_LIST), saved.rows) << "the second start left the save alone";

    TempDir both(L"-both");
    ASSERT_TRUE(CopyFileW(exe.c_str(), (both.path() + L"\\aliasdesk.exe").c_str(), FALSE));
    RemoteProgram one(both.path() + L"\\aliasdesk.exe", both.path());
    RemoteProgram two(both.path() + L"\\aliasdesk.exe", both.path());
    const HANDLE processes[] = {one.process(), two.process()};
    const DWORD first = WaitForMultipleObjects(2, processes, FALSE, 30000) - WAIT_OBJECT_0;
    ASSERT_LT(first, 2u) << "one of two copies started at once ends";
    RemoteProgram& ends = first == 0 ? one : two;
    RemoteProgram& stays = first == 0 ? two : one;
    EXPECT_EQ(0u, ends.WaitForExit());
    HWND shown = stays.WaitForWindow(L"Velkor - Add");
    ASSERT_NE(nullptr, shown);
    EXPECT_TRUE(IsWindow(desk_->dlg())) << "a copy in another folder runs beside";
    PostMessageW(shown, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, stays.WaitForExit());
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

// An independent model of the scan, for comparing the program with: the
// same walk order and the alias rules, kept in a map instead of a list view.
class ScanModel {
public:
    void Walk(std::wstring directory)
    {
        directory = test::Lowered(directory);
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

    std::vector<test::Row> rows;

private:
    void Found(const std::wstring& directory, const std::wstring& file)
    {
        const std::wstring name = test::Lowered(file);
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
        rows.push_back({alias, L"", path});
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

    ASSERT_TRUE(desk_->Scan(windows, 120000)) << "status " << testing::PrintToString(desk_->Status());

    const std::vector<test::Row> rows = desk_->Rows(IDC_MAIN_LIST);
    ASSERT_EQ(model.rows.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(model.rows[i], rows[i]);
    }
    EXPECT_EQ(std::to_wstring(model.rows.size()), desk_->Text(IDC_COUNT));
}
