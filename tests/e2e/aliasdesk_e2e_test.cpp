// The real aliasdesk.exe, copied into a folder of its own and driven from
// this process: what only the real start-up shows.
#include "remote_process.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
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
