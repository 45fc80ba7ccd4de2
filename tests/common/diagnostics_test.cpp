#include "diagnostics.h"

#include "debug_capture.h"
#include "platform.h"
#include "temp_dir.h"
#include "window_watch.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <cstdlib>
#include <string>

namespace {

// Loads a copy of the probe module from the given path and asks for its directory.
std::wstring DirectoryOfModuleAt(const std::wstring& path, int* result)
{
    EXPECT_TRUE(CopyFileW((ProgramDir() + L"\\probe_module.dll").c_str(), path.c_str(), FALSE)) << path;
    HMODULE module = LoadLibraryW(path.c_str());
    EXPECT_NE(nullptr, module);
    wchar_t buffer[MAX_PATH] = {};
    *result = GetModuleDirectory(module, buffer, MAX_PATH);
    FreeLibrary(module);
    DeleteFileW(path.c_str());
    return buffer;
}

HWND MakeEdit(const wchar_t* text)
{
    return CreateWindowExW(0, L"EDIT", text, WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
}

} // namespace

TEST(DebugPrint, SendsTheWholeFormattedTextWithoutFixedBuffer)
{
    DebugCapture capture;
    const std::wstring long_text(5000, L'x');
    DebugPrint(L"%s|%d\n", long_text.c_str(), 42);
    DebugPrint(L"%s", L"");

    const auto lines = capture.Lines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(long_text + L"|42\n", lines[0]);
    EXPECT_EQ(L"", lines[1]);
}

// A named function: a lambda has no WINAPI calling convention for the 32-bit build.
DWORD WINAPI PrintOnItsThread(void*)
{
    DebugPrint(L"leave thread, n_thread_id = %d\n", 7);
    return 0;
}

TEST(DebugPrint, WorksFromAnyThread)
{
    DebugCapture capture;
    HANDLE thread = CreateThread(nullptr, 0, PrintOnItsThread, nullptr, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    const auto lines = capture.Lines();
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(L"leave thread, n_thread_id = 7\n", lines[0]);
}

TEST(ShowMessage, ShowsTheWholeTextInATopmostBoxCaptionedMessage)
{
    const std::wstring long_text(3000, L'm');
    WindowWatcher watcher(L"Message", PressButton(IDOK));
    ShowMessage(L"%s %d", long_text.c_str(), 5);
    ASSERT_TRUE(watcher.Seen());
    EXPECT_EQ(long_text + L" 5", watcher.seen().text);
    // Wine's message box does not make itself topmost for MB_TOPMOST; Windows does.
    if (!RunningUnderWine()) {
        EXPECT_TRUE(watcher.seen().ex_style & WS_EX_TOPMOST);
    }
    EXPECT_EQ(nullptr, GetWindow(watcher.seen().window, GW_OWNER));
}

TEST(ShowMessage, AnEmptyTextShowsAnEmptyBox)
{
    WindowWatcher watcher(L"Message", PressButton(IDOK));
    ShowMessage(L"%s", L"");
    ASSERT_TRUE(watcher.Seen());
    EXPECT_EQ(L"", watcher.seen().text);
}

TEST(GetOsGeneration, MapsEveryVersion)
{
    EXPECT_EQ(1, OsGenerationOf(4, 0));
    EXPECT_EQ(2, OsGenerationOf(5, 0));
    EXPECT_EQ(3, OsGenerationOf(5, 1));
    EXPECT_EQ(3, OsGenerationOf(5, 2));
    EXPECT_EQ(4, OsGenerationOf(6, 0));
    EXPECT_EQ(4, OsGenerationOf(6, 1));
    EXPECT_EQ(4, OsGenerationOf(6, 2));
    EXPECT_EQ(1, OsGenerationOf(7, 0));
    EXPECT_EQ(1, OsGenerationOf(10, 0));
}

TEST(GetOsGeneration, ReportsTheSixFamilyHere)
{
    // Wine reports 6.1; Windows 8 and later report 6.2 to programs that do not
    // declare themselves compatible, which these programs do not.
    EXPECT_EQ(4, GetOsGeneration());
}

TEST(TrimToDirectory, KeepsTheDirectoryWithItsBackslash)
{
    wchar_t root[] = L"C:\\prefdesk.exe";
    EXPECT_EQ(4, TrimToDirectory(root));
    EXPECT_STREQ(L"C:\\", root);

    wchar_t nested[] = L"D:\\tools\\x\\prefdesk.exe";
    EXPECT_EQ(12, TrimToDirectory(nested));
    EXPECT_STREQ(L"D:\\tools\\x\\", nested);
}

TEST(TrimToDirectory, OnlyABackslashAfterTheFirstCharacterCounts)
{
    wchar_t leading[] = L"\\prefdesk.exe";
    EXPECT_EQ(0, TrimToDirectory(leading));
    EXPECT_STREQ(L"\\prefdesk.exe", leading);

    wchar_t forward[] = L"C:/tools/prefdesk.exe";
    EXPECT_EQ(0, TrimToDirectory(forward));
    EXPECT_STREQ(L"C:/tools/prefdesk.exe", forward);
}

TEST(GetModuleDirectory, GivesTheFolderOfARealModule)
{
    int result = 0;
    EXPECT_EQ(L"C:\\", DirectoryOfModuleAt(L"C:\\probe.dll", &result));
    EXPECT_EQ(4, result);

    TempDir dir(L" \x00FC\x4E2D");
    const std::wstring expected = dir.path() + L"\\";
    EXPECT_EQ(expected, DirectoryOfModuleAt(dir / L"probe.dll", &result));
    EXPECT_EQ(static_cast<int>(expected.size()) + 1, result);
}

TEST(GetModuleDirectory, CutsATruncatedPathAtItsLastBackslash)
{
    wchar_t buffer[5] = {L'#', L'#', L'#', L'#', L'#'};
    // The drive and one more character fit; the system truncates, the cut keeps the drive.
    EXPECT_EQ(4, GetModuleDirectory(nullptr, buffer, 5));
    EXPECT_EQ(ProgramDir().substr(0, 3), buffer);
}

TEST(GetModuleDirectory, OneArgumentFormFillsTheProgramBuffer)
{
    szModuleDirectory[0] = L'\0';
    const int result = GetModuleDirectory(nullptr);
    const std::wstring expected = ProgramDir() + L"\\";
    EXPECT_EQ(expected, szModuleDirectory);
    EXPECT_EQ(static_cast<int>(expected.size()) + 1, result);
}

TEST(GetWindowTextAlloc, EmptyWindowLeavesThePointerAlone)
{
    HWND edit = MakeEdit(L"");
    wchar_t sentinel = L'?';
    wchar_t* text = &sentinel;
    EXPECT_EQ(0, GetWindowTextAlloc(edit, &text));
    EXPECT_EQ(&sentinel, text);
    DestroyWindow(edit);
}

TEST(GetWindowTextAlloc, CopiesTheTextIntoABufferThatFits)
{
    HWND edit = MakeEdit(L"abc");
    wchar_t* text = nullptr;
    ASSERT_EQ(1, GetWindowTextAlloc(edit, &text));
    EXPECT_STREQ(L"abc", text);
    EXPECT_EQ(4 * sizeof(wchar_t), _msize(text));
    free(text);
    DestroyWindow(edit);
}

TEST(GetWindowTextAlloc, InvalidWindowGivesZero)
{
    wchar_t sentinel = L'?';
    wchar_t* text = &sentinel;
    EXPECT_EQ(0, GetWindowTextAlloc(nullptr, &text));
    EXPECT_EQ(&sentinel, text);
}

TEST(GetWindowTextAlloc, KeepsTextOutsideTheAnsiCodePage)
{
    HWND edit = MakeEdit(L"\x4E2D\x6587 \xD83D\xDE00");
    wchar_t* text = nullptr;
    ASSERT_EQ(1, GetWindowTextAlloc(edit, &text));
    EXPECT_STREQ(L"\x4E2D\x6587 \xD83D\xDE00", text);
    free(text);
    DestroyWindow(edit);
}
