#include "settings_file.h"

#include "handles.h"
#include "platform.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

// settings.ini in a folder of the test's own; the current folder is that
// folder too, as in the program, so relative language paths resolve there.
class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(dir_.path().empty());
        ASSERT_TRUE(SetCurrentDirectoryW(dir_.path().c_str()));
        ASSERT_EQ(1, BuildSettingsPath((dir_.path() + L"\\").c_str()));
        settings_ = dir_ / L"settings.ini";
    }
    void TearDown() override
    {
        SettingsPath[0] = L'\0';
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        SetCurrentDirectoryW(temp);
        RemoveTree(L"\\\\?\\" + dir_.path()); // the long-path cases leave folders past MAX_PATH
    }

    // What the file holds, read past the layer under test.
    std::wstring Raw(const wchar_t* section, const wchar_t* key) const
    {
        wchar_t value[1024] = {};
        GetPrivateProfileStringW(section, key, L"<missing>", value, 1024, settings_.c_str());
        return value;
    }
    std::vector<std::wstring> Sections() const
    {
        wchar_t names[4096] = {};
        GetPrivateProfileSectionNamesW(names, 4096, settings_.c_str());
        std::vector<std::wstring> out;
        for (const wchar_t* p = names; *p; p += wcslen(p) + 1)
            out.push_back(p);
        return out;
    }
    void WriteLanguageFile(const std::wstring& body)
    {
        ASSERT_TRUE(MakeDirs(dir_ / L"Language"));
        // UTF-16 with its mark, as a translator's editor saves it.
        std::string bytes = "\xFF\xFE";
        bytes.append(reinterpret_cast<const char*>(body.data()), body.size() * sizeof(wchar_t));
        ASSERT_TRUE(WriteFileBytes(dir_ / L"Language\\English.ini", bytes));
        ASSERT_NE(0, WriteSettingString(L"language", L"filepath", L".\\Language\\English.ini"));
    }

    TempDir dir_;
    std::wstring settings_;
};

// A folder of exactly the given length (backslash included) under base, made
// of as few nested folders as needed.
std::wstring MakeDirOfLength(const std::wstring& base, size_t length)
{
    std::wstring path = base;
    CreateDirectoryW(base.c_str(), nullptr);
    while (path.size() + 1 < length) {
        const size_t remaining = length - 1 - path.size(); // a backslash and a name
        const size_t name = remaining > 201 ? 150 : remaining - 1;
        path += L"\\" + std::wstring(name, L'd');
        if (!CreateDirectoryW((L"\\\\?\\" + path).c_str(), nullptr))
            return L"";
    }
    return path + L"\\";
}

// Loads a copy of the probe module from dir and builds the settings path from it.
int InitFromModuleIn(const std::wstring& dir, const std::wstring& name, bool* loaded)
{
    const std::wstring path = dir + name;
    *loaded = false;
    if (!CopyFileW((ProgramDir() + L"\\probe_module.dll").c_str(), path.c_str(), FALSE))
        return -1;
    HMODULE module = LoadLibraryW(path.c_str());
    if (!module)
        return -1;
    *loaded = true;
    const int result = InitSettingsPath(module);
    FreeLibrary(module);
    return result;
}

} // namespace

TEST_F(SettingsFileTest, InitSettingsPathPutsTheFileBesideTheModule)
{
    bool loaded = false;
    const std::wstring dir = dir_.path() + L"\\x\\";
    ASSERT_TRUE(MakeDirs(dir_ / L"x"));
    EXPECT_EQ(1, InitFromModuleIn(dir, L"prefdesk.dll", &loaded));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(dir + L"settings.ini", SettingsPath);

    EXPECT_EQ(1, InitSettingsPath(nullptr));
    EXPECT_EQ(ProgramDir() + L"\\settings.ini", SettingsPath);
}

TEST_F(SettingsFileTest, TheSettingsPathMustFitInMaxPath)
{
    // 247 characters and "settings.ini" make 259, the most a path may have.
    const std::wstring fits = MakeDirOfLength(dir_.path() + L"\\fits", 247);
    ASSERT_EQ(247u, fits.size());
    bool loaded = false;
    EXPECT_EQ(1, InitFromModuleIn(fits, L"p.dll", &loaded));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(fits + L"settings.ini", SettingsPath);
    EXPECT_NE(0, WriteSettingInt(L"aspect", L"alpha", 9));
    EXPECT_EQ(9, ReadSettingInt(L"aspect", L"alpha"));

    // Three more: the module's own path still fits, "settings.ini" beside it does not.
    const std::wstring too_long = MakeDirOfLength(dir_.path() + L"\\long", 250);
    ASSERT_EQ(250u, too_long.size());
    EXPECT_EQ(0, InitFromModuleIn(too_long, L"p.dll", &loaded));
    ASSERT_TRUE(loaded);
    EXPECT_STREQ(L"", SettingsPath);
    EXPECT_EQ(0, WriteSettingString(L"aspect", L"color", L"1"));
    EXPECT_EQ(0, WriteSettingInt(L"aspect", L"color", 1));
    EXPECT_EQ(7, ReadSettingIntDefault(L"aspect", L"color", 7));
    wchar_t text[8] = L"#######";
    EXPECT_EQ(3u, ReadSettingString(L"aspect", L"color", text, 8, L"def"));
    EXPECT_STREQ(L"def", text);
    EXPECT_EQ(0, FileExists((L"\\\\?\\" + too_long + L"settings.ini").c_str()));
}

TEST_F(SettingsFileTest, AModulePathLongerThanMaxPathIsNotCutToSomeOtherFolder)
{
    // Cut at MAX_PATH, this module's path would end inside the second folder
    // and its last backslash would name the first: a wrong but short folder.
    const std::wstring first = dir_.path() + L"\\" + std::wstring(180, L'a');
    const std::wstring second = first + L"\\" + std::wstring(120, L'b');
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + first).c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + second).c_str(), nullptr));
    bool loaded = false;
    const int result = InitFromModuleIn(L"\\\\?\\" + second + L"\\", L"p.dll", &loaded);
    if (!loaded)
        GTEST_SKIP() << "this system does not load modules from paths longer than MAX_PATH";
    EXPECT_EQ(0, result);
    EXPECT_STREQ(L"", SettingsPath);
}

TEST_F(SettingsFileTest, MissingFileSectionOrKeyReadsAsTheDefault)
{
    EXPECT_EQ(0, ReadSettingInt(L"hotkey", L"popup_vk"));
    EXPECT_EQ(7, ReadSettingIntDefault(L"hotkey", L"popup_vk", 7));
    EXPECT_EQ(-3, ReadNumberedSettingIntDefault(12, L"count", -3));
    wchar_t text[16] = L"untouched";
    EXPECT_EQ(3u, ReadSettingString(L"language", L"filepath", text, 16, L"abc"));
    EXPECT_STREQ(L"abc", text);
    EXPECT_EQ(0, FileExists(settings_.c_str())) << "reading creates nothing";

    ASSERT_NE(0, WriteSettingInt(L"hotkey", L"popup_mod", 6));
    EXPECT_EQ(0, ReadSettingInt(L"hotkey", L"popup_vk"));
    EXPECT_EQ(7, ReadSettingIntDefault(L"hotkey", L"popup_vk", 7));
    EXPECT_EQ(7, ReadSettingIntDefault(L"other", L"popup_mod", 7));
}

TEST_F(SettingsFileTest, NumbersAreStoredAsTheirWholeDecimalText)
{
    const std::pair<int, const wchar_t*> numbers[] = {
        {16777215, L"16777215"}, {-5, L"-5"}, {0, L"0"}, {INT_MIN, L"-2147483648"}, {INT_MAX, L"2147483647"}};
    for (const auto& [number, text] : numbers) {
        SCOPED_TRACE(number);
        ASSERT_NE(0, WriteSettingInt(L"aspect", L"color", number));
        EXPECT_EQ(text, Raw(L"aspect", L"color"));
        EXPECT_EQ(number, ReadSettingIntDefault(L"aspect", L"color", 1));
    }
}

TEST_F(SettingsFileTest, NumberedSectionsAreNamedByTheNumber)
{
    for (int number : {12, 40, 100}) {
        SCOPED_TRACE(number);
        const std::wstring value = std::to_wstring(number * 3);
        ASSERT_NE(0, WriteNumberedSettingString(number, L"value", value.c_str()));
        EXPECT_EQ(value, Raw(std::to_wstring(number).c_str(), L"value"));
        wchar_t text[32] = {};
        EXPECT_EQ(value.size(), ReadNumberedSettingString(number, L"value", text, 32, L""));
        EXPECT_EQ(value, text);
        EXPECT_EQ(number * 3, ReadNumberedSettingInt(number, L"value"));
        EXPECT_EQ(number * 3, ReadNumberedSettingIntDefault(number, L"value", -1));
        EXPECT_EQ(-1, ReadNumberedSettingIntDefault(number, L"other", -1));
    }
    // Numbers of ten and eleven characters name their sections whole.
    ASSERT_NE(0, WriteNumberedSettingString(1234567890, L"value", L"big"));
    ASSERT_NE(0, WriteNumberedSettingString(-1234567890, L"value", L"negative"));
    EXPECT_EQ(L"big", Raw(L"1234567890", L"value"));
    EXPECT_EQ(L"negative", Raw(L"-1234567890", L"value"));
    const std::vector<std::wstring> expected = {L"12", L"40", L"100", L"1234567890", L"-1234567890"};
    EXPECT_EQ(expected, Sections());
}

TEST_F(SettingsFileTest, TheFirstWriteCreatesAUnicodeFileThatKeepsEveryCharacter)
{
    const std::wstring name = L".\\Language\\\x65E5\x672C\x8A9E \x0395\x03BB\x03BB \xD83D\xDE00.ini";
    ASSERT_NE(0, WriteSettingString(L"language", L"filepath", name.c_str()));
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(settings_, &bytes));
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ("\xFF\xFE", bytes.substr(0, 2));
    wchar_t text[MAX_PATH] = {};
    ReadSettingString(L"language", L"filepath", text, MAX_PATH, L"");
    EXPECT_EQ(name, text);
}

TEST_F(SettingsFileTest, AnExistingFileKeepsItsEncoding)
{
    ASSERT_TRUE(WriteFileBytes(settings_, "[hotkey]\r\npopup_mod=2\r\n"));
    ASSERT_NE(0, WriteSettingInt(L"hotkey", L"popup_vk", 65));
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(settings_, &bytes));
    EXPECT_EQ("[hotkey]", bytes.substr(0, 8));
    EXPECT_EQ(2, ReadSettingInt(L"hotkey", L"popup_mod"));
    EXPECT_EQ(65, ReadSettingInt(L"hotkey", L"popup_vk"));
}

TEST_F(SettingsFileTest, LanguageTextIsAtMost31Characters)
{
    const std::wstring forty = L"0123456789abcdefghijklmnopqrstuvwxyzABCD";
    WriteLanguageFile(L"[menu]\r\n1=" + forty + L"\r\n2=\r\n-2147483648=lowest\r\n7=\x4E2D\x6587\r\n");

    MallocText text(LoadLanguageText(L"menu", 1)); // freed here, as callers must
    ASSERT_NE(nullptr, text);
    EXPECT_EQ(forty.substr(0, 31), text.get());
    EXPECT_EQ(32 * sizeof(wchar_t), _msize(text.get()));

    MallocText unicode(LoadLanguageText(L"menu", 7));
    ASSERT_NE(nullptr, unicode);
    EXPECT_STREQ(L"\x4E2D\x6587", unicode.get());
    MallocText lowest(LoadLanguageText(L"menu", INT_MIN));
    ASSERT_NE(nullptr, lowest);
    EXPECT_STREQ(L"lowest", lowest.get());

    EXPECT_EQ(nullptr, LoadLanguageText(L"menu", 2)) << "empty value";
    EXPECT_EQ(nullptr, LoadLanguageText(L"menu", 3)) << "missing key";
    EXPECT_EQ(nullptr, LoadLanguageText(L"other", 1)) << "missing section";
    EXPECT_EQ(nullptr, LoadLanguageText(nullptr, 1));
}

TEST_F(SettingsFileTest, LanguageReadersFollowTheStoredPathOnEveryCall)
{
    WriteLanguageFile(L"[menu]\r\n1=English\r\n");
    MallocText first(LoadLanguageText(L"menu", 1));
    ASSERT_NE(nullptr, first);
    EXPECT_STREQ(L"English", first.get());

    ASSERT_TRUE(WriteFileBytes(dir_ / L"Language\\German.ini", "[menu]\r\n1=Deutsch\r\n"));
    ASSERT_NE(0, WriteSettingString(L"language", L"filepath", L".\\Language\\German.ini"));
    MallocText second(LoadLanguageText(L"menu", 1));
    ASSERT_NE(nullptr, second);
    EXPECT_STREQ(L"Deutsch", second.get());

    ASSERT_NE(0, WriteSettingString(L"language", L"filepath", L".\\Language\\French.ini"));
    EXPECT_EQ(nullptr, LoadLanguageText(L"menu", 1)) << "the named file is missing";
    ASSERT_NE(0, WriteSettingString(L"language", L"filepath", L""));
    EXPECT_EQ(nullptr, LoadLanguageText(L"menu", 1)) << "no language named";
    wchar_t text[MAX_PATH] = L"old";
    EXPECT_EQ(0, ReadLanguageString(L"menu", L"1", text));
    EXPECT_STREQ(L"", text);
}

TEST_F(SettingsFileTest, ReadLanguageStringReadsUpTo259Characters)
{
    const std::wstring long_value(300, L'v');
    WriteLanguageFile(L"[text]\r\ntitle=Velkor \x00E9\x4E2D\r\nlong=" + long_value + L"\r\nempty=\r\n");

    wchar_t text[MAX_PATH] = {};
    EXPECT_EQ(1, ReadLanguageString(L"text", L"title", text));
    EXPECT_STREQ(L"Velkor \x00E9\x4E2D", text);
    EXPECT_EQ(1, ReadLanguageString(L"text", L"long", text));
    EXPECT_EQ(long_value.substr(0, 259), text);
    EXPECT_EQ(0, ReadLanguageString(L"text", L"empty", text));
    EXPECT_EQ(0, ReadLanguageString(L"text", L"missing", text));
    EXPECT_STREQ(L"", text);

    wchar_t untouched[MAX_PATH] = L"keep";
    EXPECT_EQ(0, ReadLanguageString(nullptr, L"title", untouched));
    EXPECT_STREQ(L"keep", untouched);
}

namespace {

// A key of this test's own under HKEY_CURRENT_USER, removed with its values.
class TestRegistryKey {
public:
    TestRegistryKey() : path_(L"Software\\Velkor tests " + std::to_wstring(GetCurrentProcessId()))
    {
        RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key_, nullptr);
    }
    ~TestRegistryKey()
    {
        if (key_)
            RegCloseKey(key_);
        RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    }
    bool SetBytes(const wchar_t* name, size_t bytes)
    {
        const std::vector<BYTE> data(bytes, 0x5A);
        return RegSetValueExW(key_, name, 0, REG_BINARY, data.data(), static_cast<DWORD>(bytes)) == ERROR_SUCCESS;
    }
    bool SetText(const wchar_t* name, const std::wstring& text)
    {
        return RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    const std::wstring& path() const { return path_; }
    bool open() const { return key_ != nullptr; }

private:
    std::wstring path_;
    HKEY key_ = nullptr;
};

bool KeyExists(const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

} // namespace

TEST(RegistryValueExists, AnswersForValuesThatFitTheScratchBuffer)
{
    std::wstring path;
    {
        TestRegistryKey key;
        ASSERT_TRUE(key.open());
        path = key.path();
        ASSERT_TRUE(key.SetBytes(L"small", 300));
        ASSERT_TRUE(key.SetBytes(L"exact", 512));
        ASSERT_TRUE(key.SetBytes(L"over", 513));
        ASSERT_TRUE(key.SetBytes(L"large", 600));
        ASSERT_TRUE(key.SetText(L"text", L"C:\\Program Files\\Velkor\\velkor.exe"));
        ASSERT_TRUE(key.SetText(L"", L"default"));

        EXPECT_EQ(1, RegistryValueExists(HKEY_CURRENT_USER, path.c_str(), L"small"));
        EXPECT_EQ(1, RegistryValueExists(HKEY_CURRENT_USER, path.c_str(), L"exact"));
        EXPECT_EQ(0, RegistryValueExists(HKEY_CURRENT_USER, path.c_str(), L"over"));
        EXPECT_EQ(0, RegistryValueExists(HKEY_CURRENT_USER, path.c_str(), L"large"));
        EXPECT_EQ(1, RegistryValueExists(HKEY_CURRENT_USER, path.c_str(), L"text"));
        EXPECT_EQ(1, RegistryValueExists(HKEY_CURRENT_USER, path.c_str(), nullptr));
        EXPECT_EQ(0, RegistryValueExists(HKEY_CURRENT_USER, path.c_str(), L"missing"));
        EXPECT_EQ(0, RegistryValueExists(HKEY_CURRENT_USER, (path + L"\\no such key").c_str(), L"small"));
    }
    EXPECT_FALSE(KeyExists(path)) << "the test key is removed afterwards";
}

TEST(FileSystemProbes, TellFilesFromFoldersAndMissingPaths)
{
    TempDir dir(L" \x00E9\x4E2D");
    const std::wstring file = dir / L"settings \x4E2D.ini";
    ASSERT_TRUE(WriteFileBytes(file, "x"));
    const std::wstring missing = dir / L"missing.ini";

    EXPECT_EQ(1, IsDirectory(dir.path().c_str()));
    EXPECT_EQ(0, IsDirectory(file.c_str()));
    EXPECT_EQ(0, IsDirectory(missing.c_str()));
    EXPECT_EQ(0, IsDirectory(nullptr));

    EXPECT_EQ(1, FileExists(file.c_str()));
    EXPECT_EQ(0, FileExists(dir.path().c_str()));
    EXPECT_EQ(0, FileExists(missing.c_str()));
    EXPECT_EQ(0, FileExists(nullptr));
}

TEST(FileSystemProbes, AFileThatAnotherProgramWritesStillExists)
{
    TempDir dir;
    const std::wstring file = dir / L"history.dat";
    HANDLE writer = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    EXPECT_EQ(1, FileExists(file.c_str()));
    CloseHandle(writer);

    HANDLE locked = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, locked);
    EXPECT_EQ(0, FileExists(file.c_str())) << "a file that cannot be opened for reading";
    CloseHandle(locked);
}
