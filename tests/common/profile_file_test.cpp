#include "profile_file.h"

#include "temp_dir.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring ReadValue(const std::wstring& file, const wchar_t* section, const wchar_t* key)
{
    wchar_t value[256] = {};
    GetPrivateProfileStringW(section, key, L"", value, 256, file.c_str());
    return value;
}

} // namespace

TEST(EnsureUnicodeProfile, CreatesAnEmptyUtf16FileThatTheProfileFunctionsKeepUnicode)
{
    TempDir dir;
    const std::wstring text = L"\x65E5\x672C\x8A9E \x0416 \xD83D\xDE00";
    const std::wstring file = dir / L"config.ini";
    ASSERT_EQ(1, EnsureUnicodeProfile(file.c_str()));
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(file, &bytes));
    EXPECT_EQ("\xFF\xFE", bytes);
    ASSERT_TRUE(WritePrivateProfileStringW(L"alias \x4E2D", L"path", text.c_str(), file.c_str()));
    EXPECT_EQ(text, ReadValue(file, L"alias \x4E2D", L"path"));

    // Why the helper exists: a file that the profile functions create is ANSI.
    const std::wstring plain = dir / L"plain.ini";
    ASSERT_TRUE(WritePrivateProfileStringW(L"alias", L"path", text.c_str(), plain.c_str()));
    EXPECT_NE(text, ReadValue(plain, L"alias", L"path"));
}

TEST(EnsureUnicodeProfile, LeavesAnExistingFileAsItIs)
{
    TempDir dir;
    const std::wstring file = dir / L"settings.ini";
    ASSERT_TRUE(WriteFileBytes(file, "[hotkey]\r\npopup_vk=32\r\n"));
    EXPECT_EQ(1, EnsureUnicodeProfile(file.c_str()));
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(file, &bytes));
    EXPECT_EQ("[hotkey]\r\npopup_vk=32\r\n", bytes);

    const std::wstring empty = dir / L"empty.ini";
    ASSERT_TRUE(WriteFileBytes(empty, ""));
    EXPECT_EQ(1, EnsureUnicodeProfile(empty.c_str()));
    ASSERT_TRUE(ReadFileBytes(empty, &bytes));
    EXPECT_EQ("", bytes);
}

TEST(EnsureUnicodeProfile, FailsForFoldersMissingFoldersAndNoPath)
{
    TempDir dir;
    EXPECT_EQ(0, EnsureUnicodeProfile(dir.path().c_str()));
    const std::wstring nested = dir / L"missing\\settings.ini";
    EXPECT_EQ(0, EnsureUnicodeProfile(nested.c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(nested.c_str()));
    EXPECT_EQ(0, EnsureUnicodeProfile(L""));
    EXPECT_EQ(0, EnsureUnicodeProfile(nullptr));
}
