// The built programs' resources against the versions CMakeLists.txt defines,
// and the manifest every program of the build carries.
#include "ascii_text.h"
#include "platform.h"
#include "program_image.h"
#include "program_versions.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ProgramVersion {
    const wchar_t* exe;
    const char* identity;
    const char* version;
};

const ProgramVersion kPrograms[] = {
    {L"aliasdesk.exe", "Velkor.aliasdesk", ALIASDESK_VERSION_TEXT},
    {L"prefdesk.exe", "Velkor.prefdesk", PREFDESK_VERSION_TEXT},
};

std::wstring Widened(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

TEST(ProgramResources, VersionBlockAndManifestCarryTheVersionTheBuildDefines)
{
    for (const ProgramVersion& program : kPrograms) {
        SCOPED_TRACE(program.identity);
        const std::wstring exe = ProgramDir() + L"\\" + program.exe;
        const FileVersions versions = VersionsOf(exe);
        EXPECT_EQ(Widened(program.version), versions.file);
        EXPECT_EQ(Widened(program.version), versions.file_text);

        MappedImage image(exe);
        ASSERT_NE(nullptr, image.module());
        const std::string identity =
            std::string("name=\"") + program.identity + "\" version=\"" + program.version + "\"";
        EXPECT_NE(std::string::npos, image.Manifest().find(identity)) << image.Manifest();
    }
}

// Without a manifest that asks to run as the caller, Windows virtualises a
// 32-bit program's writes or, for some names, asks to elevate it.
TEST(ProgramResources, EveryProgramOfTheBuildAsksToRunAsItsCaller)
{
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((ProgramDir() + L"\\*.exe").c_str(), &entry);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    int programs = 0;
    do {
        SCOPED_TRACE(NarrowAscii(entry.cFileName));
        MappedImage image(ProgramDir() + L"\\" + entry.cFileName);
        ASSERT_NE(nullptr, image.module());
        const std::string manifest = image.Manifest();
        const size_t trust = manifest.find("<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">");
        ASSERT_NE(std::string::npos, trust);
        EXPECT_LT(trust, manifest.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"));
        EXPECT_NE(std::string::npos, manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""));
        ++programs;
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    EXPECT_GE(programs, 3) << "aliasdesk, prefdesk and this program at least";
}

} // namespace
