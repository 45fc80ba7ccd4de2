#include "file_search.h"

#include "ascii_text.h"
#include "platform.h"
#include "temp_dir.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Call = std::pair<std::wstring, std::wstring>; // (directory, name)

std::vector<Call> calls;
int stop_after = -1; // stop the walk once this many calls were made

int Record(wchar_t* directory, wchar_t* file_name)
{
    calls.emplace_back(directory, file_name);
    return 1;
}

bool StopWhenCounted()
{
    return stop_after >= 0 && static_cast<int>(calls.size()) >= stop_after;
}

std::vector<Call> Search(const std::wstring& directory, const wchar_t* pattern = L"*.exe",
                         SearchStopQuery stop = nullptr)
{
    calls.clear();
    std::wstring buffer = directory;
    SearchFiles(buffer.data(), pattern, Record, stop);
    return calls;
}

void Touch(const std::wstring& path)
{
    ASSERT_TRUE(MakeDirs(path.substr(0, path.rfind(L'\\'))));
    ASSERT_TRUE(WriteFileBytes(path, ""));
}

} // namespace

TEST(SearchFiles, ReportsMatchesBeforeDescendingIntoSubfolders)
{
    TempDir top;
    Touch(top / L"a.exe");
    Touch(top / L"sub\\b.exe");
    Touch(top / L"sub\\deeper\\c.exe");
    Touch(top / L"readme.txt");

    const std::vector<Call> expected{
        {top.path(), L"a.exe"}, {top / L"sub", L"b.exe"}, {top / L"sub\\deeper", L"c.exe"}};
    EXPECT_EQ(expected, Search(top.path()));
}

TEST(SearchFiles, DoesNotEnterDollarAndBraceFoldersButReportsSuchNames)
{
    TempDir top;
    Touch(top / L"$Recycle.Bin\\hidden.exe");
    Touch(top / L"{1234}\\hidden.exe");
    Touch(top / L"$x.exe");
    Touch(top / L"normal\\{brace}.exe");

    const std::vector<Call> expected{{top.path(), L"$x.exe"}, {top / L"normal", L"{brace}.exe"}};
    EXPECT_EQ(expected, Search(top.path()));
}

TEST(SearchFiles, AFolderNamedLikeAMatchIsReportedAndEntered)
{
    TempDir top;
    Touch(top / L"tool.exe\\inside.exe");

    const std::vector<Call> expected{{top.path(), L"tool.exe"}, {top / L"tool.exe", L"inside.exe"}};
    EXPECT_EQ(expected, Search(top.path()));
}

TEST(SearchFiles, AMissingFolderReportsNothing)
{
    TempDir top;
    EXPECT_TRUE(Search(top / L"missing").empty());
}

TEST(SearchFiles, KeepsNamesOutsideTheAnsiCodePage)
{
    TempDir top;
    Touch(top / L"\x4E2D\x6587\\\xD83D\xDE00 \x00E9.exe");
    const std::vector<Call> expected{{top / L"\x4E2D\x6587", L"\xD83D\xDE00 \x00E9.exe"}};
    EXPECT_EQ(expected, Search(top.path()));
}

TEST(SearchFiles, SkipsFoldersWhosePathsDoNotFit)
{
    TempDir top;
    // A chain of folders up to the limit, each with a match; below the last
    // one a folder made through a long path, whose own path does not fit.
    std::wstring path = top.path();
    std::vector<std::wstring> reachable;
    while (path.size() + 1 + 40 + 6 < MAX_PATH) {
        path += L"\\" + std::wstring(40, L'd');
        reachable.push_back(path);
    }
    ASSERT_TRUE(MakeDirs(path));
    for (const auto& folder : reachable)
        ASSERT_TRUE(WriteFileBytes(folder + L"\\x.exe", ""));
    const std::wstring too_deep = L"\\\\?\\" + path + L"\\" + std::wstring(40, L'e');
    ASSERT_TRUE(CreateDirectoryW(too_deep.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(too_deep + L"\\y.exe", ""));

    const auto found = Search(top.path());
    ASSERT_EQ(reachable.size(), found.size());
    for (size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(reachable[i], found[i].first);
        EXPECT_EQ(L"x.exe", found[i].second);
    }
    DeleteFileW((too_deep + L"\\y.exe").c_str());
    RemoveDirectoryW(too_deep.c_str());
}

TEST(SearchFiles, ADirectoryLinkBackUpTheTreeIsNotFollowedRoundAndRound)
{
    // loop\top.exe, loop\sub\inner.exe, loop\sub\back -> loop, loop\sub\self -> loop\sub
    const std::wstring loop = FixtureFolder(L"loop");
    if (loop.empty())
        GTEST_SKIP() << "no fixture folder loop (tools/make-test-fixtures.sh makes it on Unix hosts)";
    const auto found = Search(loop);
    const std::vector<Call> expected{{loop, L"top.exe"}, {loop + L"\\sub", L"inner.exe"}};
    EXPECT_EQ(expected, found);
}

TEST(SearchFiles, StopsWhenAsked)
{
    TempDir top;
    for (int i = 0; i < 5; ++i)
        Touch(top / (L"f" + std::to_wstring(i) + L"\\p.exe"));
    stop_after = 2;
    const auto found = Search(top.path(), L"*.exe", StopWhenCounted);
    stop_after = -1;
    EXPECT_EQ(2u, found.size());
}

TEST(SearchFiles, PassesThePatternToTheSystemUnchanged)
{
    TempDir top;
    Touch(top / L"one.txt");
    Touch(top / L"two.exe");
    Touch(top / L"sub\\three.txt");
    const std::vector<Call> expected{{top.path(), L"one.txt"}, {top / L"sub", L"three.txt"}};
    EXPECT_EQ(expected, Search(top.path(), L"*.txt"));
}

namespace {

// The walk done the plain way: the system's own matching for each folder's
// matches, then a second listing for its subfolders.
void ReferenceWalk(const std::wstring& directory, const wchar_t* pattern, std::vector<Call>* found)
{
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((directory + L"\\" + pattern).c_str(), &entry);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &entry))
        found->emplace_back(directory, entry.cFileName);
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    search = FindFirstFileW((directory + L"\\*").c_str(), &entry);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &entry)) {
        const std::wstring name = entry.cFileName;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." && name != L".." && name[0] != L'$' &&
            name[0] != L'{')
            ReferenceWalk(directory + L"\\" + name, pattern, found);
    }
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
}

} // namespace

TEST(SearchFiles, ExtensionPatternsMatchWhatTheSystemMatches)
{
    TempDir top;
    const wchar_t* names[] = {L"a.exe",
                              L"B.EXE",
                              L"c.Exe",
                              L"d.exe1",
                              L"e.exex",
                              L"f.exe.txt",
                              L"g.txt.exe",
                              L"exe",
                              L".exe",
                              L"h..exe",
                              L"spaced name.exe",
                              L"ex.e",
                              L"\u00FCn\u00EF.exe",
                              L"averylongname.exe",
                              L"averylongname.exe1",
                              L"abc.exe~",
                              L"tool.ex",
                              L"x.e"};
    for (const wchar_t* folder : {L"", L"sub\\", L"x.exe\\", L"sub\\deeper.txt\\"}) {
        for (const wchar_t* name : names)
            Touch(top / (std::wstring(folder) + name));
    }
    for (const wchar_t* pattern : {L"*.exe", L"*.EXE", L"*.txt", L"*.ex", L"*.e", L"*.exe1"}) {
        SCOPED_TRACE(testing::Message() << "pattern " << NarrowAscii(pattern));
        std::vector<Call> expected;
        ReferenceWalk(top.path(), pattern, &expected);
        EXPECT_FALSE(expected.empty());
        EXPECT_EQ(expected, Search(top.path(), pattern));
    }
}

// Breadth first and by name: a link back up is passed over as the walk above passes it over.
TEST(SearchFileName, ADirectoryLinkBackUpTheTreeIsNotFollowed)
{
    const std::wstring loop = FixtureFolder(L"loop");
    if (loop.empty())
        GTEST_SKIP() << "no fixture folder loop (tools/make-test-fixtures.sh makes it on Unix hosts)";
    std::vector<std::wstring> found;
    const NameSearchResult result = SearchFileName(
        {loop}, L"INNER.exe", 100, [&](const std::wstring& path) { found.push_back(path); }, nullptr);
    EXPECT_EQ((std::vector<std::wstring>{loop + L"\\sub\\inner.exe"}), found);
    EXPECT_EQ(2, result.folders);
}
