// The real prefdesk.exe: its resources as built, and what only the real
// start-up shows, driven from this process.
#include "platform.h"
#include "prefdesk_ids.h"
#include "program_image.h"
#include "remote_process.h"
#include "temp_dir.h"
#include "window_watch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

std::wstring ReadStored(const std::wstring& file, const wchar_t* section, const wchar_t* key)
{
    wchar_t value[MAX_PATH] = {};
    GetPrivateProfileStringW(section, key, L"<missing>", value, MAX_PATH, file.c_str());
    return value;
}

std::wstring Elsewhere()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return temp;
}

} // namespace

TEST(PrefdeskImage, CarriesIconVersionAndManifestAndBindsTheWindowManagerLate)
{
    const std::wstring exe = ProgramDir() + L"\\prefdesk.exe";
    MappedImage image(exe);
    ASSERT_NE(nullptr, image.module());

    const std::vector<std::string> imports = image.ImportedModules();
    EXPECT_NE(imports.end(), std::find(imports.begin(), imports.end(), "comctl32.dll"));
    EXPECT_EQ(imports.end(), std::find(imports.begin(), imports.end(), "dwmapi.dll"))
        << "the program must start where dwmapi.dll is missing";

    // The icon group: five 32-bit images, 128 down to 32 pixels.
    HRSRC group = FindResourceW(image.module(), MAKEINTRESOURCEW(101), MAKEINTRESOURCEW(14));
    ASSERT_NE(nullptr, group);
    const auto* header = static_cast<const WORD*>(LockResource(LoadResource(image.module(), group)));
    ASSERT_EQ(5, header[2]);
    const auto* entries = reinterpret_cast<const BYTE*>(header + 3);
    const int sizes[] = {128, 96, 64, 48, 32};
    for (int i = 0; i < 5; ++i) {
        const BYTE* e = entries + i * 14; // width, height, colours, reserved, planes, bits ...
        EXPECT_EQ(sizes[i], e[0] == 0 ? 256 : e[0]);
        EXPECT_EQ(sizes[i], e[1] == 0 ? 256 : e[1]);
        WORD bits;
        memcpy(&bits, e + 6, sizeof(bits));
        EXPECT_EQ(32, bits);
    }

    const FileVersions versions = VersionsOf(exe);
    EXPECT_EQ(L"1.0.1.150", versions.file);
    EXPECT_EQ(L"1.0.0.1", versions.product);

    const std::string manifest = image.Manifest();
    EXPECT_NE(std::string::npos, manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""));
}

class PrefdeskProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        exe_ = dir_ / L"prefdesk.exe";
        ASSERT_TRUE(CopyFileW((ProgramDir() + L"\\prefdesk.exe").c_str(), exe_.c_str(), FALSE));
    }

    TempDir dir_{L" e2e \x00E9\x4E2D"};
    std::wstring exe_;
};

TEST_F(PrefdeskProgram, WorksOnTheFilesBesideItselfWhereverItIsStarted)
{
    ASSERT_TRUE(MakeDirs(dir_ / L"language"));
    ASSERT_TRUE(WriteFileBytes(dir_ / L"language\\English.ini", ""));
    ASSERT_TRUE(WriteFileBytes(dir_ / L"language\\German.ini", ""));
    const std::wstring settings = dir_ / L"settings.ini";
    ASSERT_TRUE(WriteFileBytes(settings, "[language]\r\nfilepath=.\\Language\\German.ini\r\n"));

    RemoteProgram program(exe_, Elsewhere());
    ASSERT_TRUE(program.started());
    HWND dlg = program.WaitForWindow(L"Velkor - Setting");
    ASSERT_NE(nullptr, dlg);
    EXPECT_TRUE(GetWindowLongPtrW(dlg, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(L"Version: 1.0.1.150", WindowText(GetDlgItem(dlg, IDC_SETTINGS_VERSION)));
    wchar_t language[64] = {}; // a combo box's text is asked for, not kept by the system
    SendMessageW(GetDlgItem(dlg, IDC_LANGUAGE), WM_GETTEXT, 64, reinterpret_cast<LPARAM>(language));
    EXPECT_STREQ(L"German", language);

    PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDC_SAVE, BN_CLICKED), 0);
    EXPECT_EQ(0u, program.WaitForExit());
    EXPECT_EQ(L".\\Language\\German.ini", ReadStored(settings, L"language", L"filepath"));
    EXPECT_EQ(L"0", ReadStored(settings, L"aspect", L"alpha"));
}

TEST_F(PrefdeskProgram, ClosingItWritesNothingAndEndsWithZero)
{
    RemoteProgram program(exe_, Elsewhere());
    ASSERT_TRUE(program.started());
    HWND dlg = program.WaitForWindow(L"Velkor - Setting");
    ASSERT_NE(nullptr, dlg);
    PostMessageW(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(0u, program.WaitForExit());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((dir_ / L"settings.ini").c_str()));
}

TEST_F(PrefdeskProgram, AFolderTooLongForItsSettingsIsReportedAndNothingIsWritten)
{
    // The program's own path fits; "settings.ini" beside it would not.
    ASSERT_LT(dir_.path().size(), 140u);
    std::wstring dir = dir_.path() + L"\\" + std::wstring(147 - dir_.path().size(), L'f') + L"\\" +
        std::wstring(100, L'g'); // 249 characters
    ASSERT_TRUE(MakeDirs(dir));
    dir += L"\\";
    const std::wstring exe = dir + L"p.exe";
    ASSERT_LT(exe.size(), static_cast<size_t>(MAX_PATH));
    ASSERT_GE((dir + L"settings.ini").size(), static_cast<size_t>(MAX_PATH));
    ASSERT_TRUE(CopyFileW(exe_.c_str(), exe.c_str(), FALSE));

    RemoteProgram program(exe, Elsewhere());
    ASSERT_TRUE(program.started());
    HWND box = program.WaitForWindow(L"prefdesk");
    ASSERT_NE(nullptr, box);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(1u, program.WaitForExit());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((L"\\\\?\\" + dir + L"settings.ini").c_str()));
    DeleteFileW(exe.c_str());
}
