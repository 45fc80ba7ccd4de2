#include "launch_input.h"

#include "ascii_text.h"
#include "handles.h"
#include "platform.h"
#include "probe_run.h"
#include "resource_counts.h"
#include "temp_dir.h"
#include "wait.h"
#include "window_watch.h"

#include <gtest/gtest.h>

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <utility>

namespace {

std::wstring WithoutTrailingBackslash(std::wstring path)
{
    if (path.size() > 3 && path.back() == L'\\')
        path.pop_back();
    return path;
}

std::wstring CurrentDirectory()
{
    wchar_t path[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, path);
    return path;
}

std::vector<std::wstring> SplitCommandLine(const std::wstring& line)
{
    int count = 0;
    wchar_t** args = CommandLineToArgvW(line.c_str(), &count);
    std::vector<std::wstring> result(args, args + count);
    LocalFree(args);
    return result;
}

// Copies of the probe program in a folder whose name has a blank, so that
// an unquoted path would split.
class ProbeFolder {
public:
    ProbeFolder() : folder_(dir_ / L"probe dir") { MakeDirs(folder_); }

    const std::wstring& path() const { return folder_; }
    std::wstring operator/(const std::wstring& name) const { return folder_ + L"\\" + name; }

    std::wstring Copy(const std::wstring& name) const
    {
        const std::wstring target = *this / name;
        EXPECT_TRUE(CopyFileW((ProgramDir() + L"\\launch_probe.exe").c_str(), target.c_str(), FALSE)) << target;
        return target;
    }

private:
    TempDir dir_;
    std::wstring folder_;
};

class LaunchProgramTest : public testing::Test {
protected:
    ProbeFolder probe_;
};

TEST_F(LaunchProgramTest, ProgramGetsQuotedPathBlankAndParametersInItsOwnFolder)
{
    const std::wstring target = probe_.Copy(L"launch_probe.exe");
    ProbeRun run(probe_.path());
    ASSERT_EQ(1, LaunchProgram(target.c_str(), L"-x 1", SW_SHOWNORMAL, INFINITE));
    ASSERT_TRUE(run.Read());

    EXPECT_EQ(L"\"" + target + L"\" -x 1", run[L"command"]);
    EXPECT_EQ(probe_.path(), WithoutTrailingBackslash(run[L"directory"]));
    EXPECT_TRUE(run.Number(L"flags") & STARTF_USESHOWWINDOW);
    EXPECT_EQ(SW_SHOWNORMAL, run.Number(L"show"));
}

// Null parameters too: Windows would otherwise pass the path unquoted, and
// a program in a folder with a blank would see it split (Wine quotes it).
TEST_F(LaunchProgramTest, TheProgramSeesItsQuotedPathFirstWhateverTheParameters)
{
    const std::wstring target = probe_.Copy(L"launch_probe.exe");
    const std::wstring quoted = L"\"" + target + L"\"";
    const std::pair<const wchar_t*, std::wstring> cases[] = {
        {nullptr, quoted}, {L"", quoted + L" "}, {L"a \"b c\"", quoted + L" a \"b c\""}};
    for (const auto& [parameters, command] : cases) {
        ProbeRun run(probe_.path());
        ASSERT_EQ(1, LaunchProgram(target.c_str(), parameters, SW_SHOWNORMAL, INFINITE));
        ASSERT_TRUE(run.Read());
        EXPECT_EQ(command, run[L"command"]);
    }
}

// CreateProcessW as Windows answers for a program whose manifest asks for
// administrator rights (Wine has no such programs).
DWORD standInError;
int standInCalls;

BOOL WINAPI FailingCreateProcess(LPCWSTR, LPWSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID,
                                 LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION)
{
    ++standInCalls;
    SetLastError(standInError);
    return FALSE;
}

TEST_F(LaunchProgramTest, AProgramThatNeedsElevationGoesOnceThroughTheShell)
{
    const std::wstring target = probe_.Copy(L"launch_probe.exe");
    struct Case {
        DWORD error;
        std::wstring target;
        const wchar_t* parameters;
        std::vector<std::wstring> args; // empty: nothing may start
    };
    const Case cases[] = {
        {ERROR_ELEVATION_REQUIRED, target, L"-x 1", {target, L"-x", L"1"}},
        {ERROR_ELEVATION_REQUIRED, target, nullptr, {target}},
        {ERROR_ELEVATION_REQUIRED, probe_ / L"missing.exe", L"-x", {}},
        {ERROR_ACCESS_DENIED, target, L"-x", {}},
    };
    SetCreateProcessForTest(&FailingCreateProcess);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.error << " " << NarrowAscii(c.target));
        standInError = c.error;
        standInCalls = 0;
        ProbeRun run(probe_.path());
        EXPECT_EQ(c.args.empty() ? 0 : 1, LaunchProgram(c.target.c_str(), c.parameters, SW_SHOWMINNOACTIVE, INFINITE));
        EXPECT_EQ(1, standInCalls);
        if (c.args.empty()) {
            EXPECT_FALSE(run.Reported());
            continue;
        }
        if (!run.Read()) {
            ADD_FAILURE() << "the shell started nothing";
            continue;
        }
        EXPECT_EQ(c.args, SplitCommandLine(run[L"command"])) << NarrowAscii(run[L"command"]);
        EXPECT_EQ(probe_.path(), WithoutTrailingBackslash(run[L"directory"]));
        EXPECT_EQ(SW_SHOWMINNOACTIVE, run.Number(L"show"));
    }
    SetCreateProcessForTest(nullptr);
}

TEST_F(LaunchProgramTest, ShowCommandZeroRunsAConsoleProgramWithoutAConsoleWindow)
{
    const std::wstring target = probe_.Copy(L"launch_probe.exe");
    {
        ProbeRun run(probe_.path());
        ASSERT_EQ(1, LaunchProgram(target.c_str(), L"", SW_HIDE, INFINITE));
        ASSERT_TRUE(run.Read());
        EXPECT_TRUE(run.Number(L"flags") & STARTF_USESHOWWINDOW);
        EXPECT_EQ(SW_HIDE, run.Number(L"show"));
        EXPECT_EQ(1, run.Number(L"hidden_console"));
    }
    {
        // Without CREATE_NO_WINDOW the program shares its starter's console
        // or gets a visible one of its own (Windows), or none (Wine).
        ProbeRun run(probe_.path());
        ASSERT_EQ(1, LaunchProgram(target.c_str(), L"", SW_SHOWMINNOACTIVE, INFINITE));
        ASSERT_TRUE(run.Read());
        EXPECT_EQ(SW_SHOWMINNOACTIVE, run.Number(L"show"));
        EXPECT_EQ(0, run.Number(L"hidden_console"));
    }
}

TEST_F(LaunchProgramTest, UpperCaseExeIsAProgramWaitedForUntilItEnds)
{
    const std::wstring target = probe_.Copy(L"Launch_Probe.EXE");
    ProbeRun run(probe_.path(), true);
    std::atomic<bool> launch_returned{false};
    std::atomic<bool> returned_before_release{false};
    std::thread releaser([&] {
        PollUntil([&] { return run.Reported(); }, kHangGuardMs, 10);
        returned_before_release = launch_returned.load();
        run.Release();
    });
    const int result = LaunchProgram(target.c_str(), L"-w", SW_SHOWNORMAL, INFINITE);
    launch_returned = true;
    releaser.join();

    EXPECT_EQ(1, result);
    EXPECT_FALSE(returned_before_release) << "returned while the program still ran";
    ASSERT_TRUE(run.Read());
    EXPECT_FALSE(run.StillRuns());
    EXPECT_EQ(L"\"" + target + L"\" -w", run[L"command"]);
}

TEST_F(LaunchProgramTest, ZeroTimeOutReturnsWhileTheProgramRuns)
{
    const std::wstring target = probe_.Copy(L"launch_probe.exe");
    ProbeRun run(probe_.path(), true);
    ASSERT_EQ(1, LaunchProgram(target.c_str(), nullptr, SW_SHOWNORMAL, 0));
    ASSERT_TRUE(run.Read());
    EXPECT_TRUE(run.StillRuns());
}

TEST_F(LaunchProgramTest, TargetWithoutBackslashRunsInTheCallersCurrentDirectory)
{
    probe_.Copy(L"launch_probe.exe");
    const std::wstring previous = CurrentDirectory();
    ASSERT_TRUE(SetCurrentDirectoryW(probe_.path().c_str()));
    ProbeRun run(probe_.path());
    const int result = LaunchProgram(L"launch_probe.exe", L"-n", SW_SHOWNORMAL, INFINITE);
    SetCurrentDirectoryW(previous.c_str());

    ASSERT_EQ(1, result);
    ASSERT_TRUE(run.Read());
    EXPECT_EQ(L"\"launch_probe.exe\" -n", run[L"command"]);
    EXPECT_EQ(probe_.path(), WithoutTrailingBackslash(run[L"directory"]));
}

TEST_F(LaunchProgramTest, ProgramThatCannotStartGivesZero)
{
    EXPECT_EQ(0, LaunchProgram((probe_ / L"missing.exe").c_str(), L"-x", SW_SHOWNORMAL, INFINITE));
    ASSERT_TRUE(WriteFileBytes(probe_ / L"text.exe", "not a program"));
    EXPECT_EQ(0, LaunchProgram((probe_ / L"text.exe").c_str(), nullptr, SW_SHOWNORMAL, INFINITE));
    EXPECT_EQ(0, LaunchProgram(nullptr, nullptr, SW_SHOWNORMAL, 0));
}

TEST_F(LaunchProgramTest, LeavesNoHandleBehind)
{
    const std::wstring target = probe_.Copy(L"launch_probe.exe");
    const std::wstring missing = probe_ / L"missing.exe";
    {
        ProbeRun warm_up(probe_.path());
        ASSERT_EQ(1, LaunchProgram(target.c_str(), L"", SW_SHOWNORMAL, INFINITE));
    }
    const ResourceSnapshot before;
    for (int i = 0; i < 3; ++i) {
        ProbeRun run(probe_.path());
        ASSERT_EQ(1, LaunchProgram(target.c_str(), L"-x", SW_HIDE, INFINITE));
    }
    ExpectNothingLeaked(before, "started and waited for");
    EXPECT_EQ(0, LaunchProgram(missing.c_str(), L"-x", SW_SHOWNORMAL, INFINITE));
    ExpectNothingLeaked(before, "failed to start");
}

// A file type that the probe opens, with "edit" as the default verb so that
// only the verb "open" reaches the open command. Windows reads the user's own
// classes; Wine 8 reads only the machine's (its HKCR does not merge the
// user's), so under Wine the type goes there.
class ProbeFileType {
public:
    explicit ProbeFileType(const std::wstring& probe)
        : root_(RunningUnderWine() ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER)
    {
        Set(L".velkorprobe", L"VelkorProbe.Document");
        Set(L"VelkorProbe.Document\\shell", L"edit");
        Set(L"VelkorProbe.Document\\shell\\open\\command", L"\"" + probe + L"\" open \"%1\"");
        Set(L"VelkorProbe.Document\\shell\\edit\\command", L"\"" + probe + L"\" edit \"%1\"");
        SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    }
    ~ProbeFileType()
    {
        RegDeleteTreeW(root_, L"Software\\Classes\\.velkorprobe");
        RegDeleteTreeW(root_, L"Software\\Classes\\VelkorProbe.Document");
        SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    }
    ProbeFileType(const ProbeFileType&) = delete;
    ProbeFileType& operator=(const ProbeFileType&) = delete;

private:
    void Set(const std::wstring& key, const std::wstring& value) const
    {
        const std::wstring path = L"Software\\Classes\\" + key;
        const LSTATUS status = RegSetKeyValueW(root_, path.c_str(), nullptr, REG_SZ, value.c_str(),
                                               static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        EXPECT_EQ(ERROR_SUCCESS, status) << path;
    }

    HKEY root_;
};

TEST_F(LaunchProgramTest, OtherTargetsGoThroughTheShellWithParametersFolderAndShowCommand)
{
    // A program under another extension: the shell starts it, so the probe
    // sees what the shell was given. The shell never waits for it.
    const std::wstring target = probe_.Copy(L"probe.com");
    {
        ProbeRun run(probe_.path(), true);
        ASSERT_EQ(1, LaunchProgram(target.c_str(), L"-x 1", SW_SHOWMINNOACTIVE, INFINITE));
        ASSERT_TRUE(run.Read());
        EXPECT_TRUE(run.StillRuns());
        const auto args = SplitCommandLine(run[L"command"]);
        EXPECT_EQ((std::vector<std::wstring>{target, L"-x", L"1"}), args) << run[L"command"];
        EXPECT_EQ(probe_.path(), WithoutTrailingBackslash(run[L"directory"]));
        EXPECT_EQ(SW_SHOWMINNOACTIVE, run.Number(L"show"));
    }
    {
        ProbeRun run(probe_.path());
        ASSERT_EQ(1, LaunchProgram(target.c_str(), nullptr, SW_SHOWNORMAL, 0));
        ASSERT_TRUE(run.Read());
        EXPECT_EQ(std::vector<std::wstring>{target}, SplitCommandLine(run[L"command"])) << run[L"command"];
    }
}

TEST_F(LaunchProgramTest, DocumentOpensWithTheOpenVerbInItsFolder)
{
    const std::wstring probe = probe_.Copy(L"launch_probe.exe");
    const ProbeFileType type(probe);
    TempDir documents(L" docs");
    const std::wstring document = documents / L"letter.velkorprobe";
    ASSERT_TRUE(WriteFileBytes(document, "x"));

    ProbeRun run(documents.path());
    ASSERT_EQ(1, LaunchProgram(document.c_str(), nullptr, SW_SHOWNORMAL, INFINITE));
    ASSERT_TRUE(run.Read());
    const auto args = SplitCommandLine(run[L"command"]);
    ASSERT_EQ(3u, args.size()) << run[L"command"];
    EXPECT_EQ(L"open", args[1]);
    EXPECT_EQ(0, _wcsicmp(document.c_str(), args[2].c_str())) << args[2];
    EXPECT_EQ(documents.path(), WithoutTrailingBackslash(run[L"directory"]));
    EXPECT_EQ(SW_SHOWNORMAL, run.Number(L"show"));
}

TEST_F(LaunchProgramTest, TextFileOpensThroughItsAssociation)
{
    TempDir dir;
    const std::wstring name = L"velkor-note-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    const std::wstring file = dir / name;
    ASSERT_TRUE(WriteFileBytes(file, "hello"));

    wchar_t command[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    if (FAILED(AssocQueryStringW(ASSOCF_NONE, ASSOCSTR_COMMAND, L".txt", L"open", command, &size))) {
        // A fresh Wine prefix associates nothing with .txt: the shell answers
        // "no association" (31), which must come back as a failure.
        EXPECT_EQ(0, LaunchProgram(file.c_str(), nullptr, SW_SHOWNORMAL, 0));
        return;
    }
    ASSERT_EQ(1, LaunchProgram(file.c_str(), nullptr, SW_SHOWNORMAL, 0));
    const std::wstring stem = name.substr(0, name.size() - 4);
    EXPECT_TRUE(CloseShellWindow([&](const std::wstring& title) { return title.find(stem) != std::wstring::npos; }));
}

TEST_F(LaunchProgramTest, FolderOpensInTheShell)
{
    TempDir dir;
    const std::wstring folder_name = L"velkor folder " + std::to_wstring(GetCurrentProcessId());
    const std::wstring folder = dir / folder_name;
    ASSERT_TRUE(MakeDirs(folder));

    ASSERT_EQ(1, LaunchProgram((folder + L"\\").c_str(), nullptr, SW_SHOWNORMAL, INFINITE));
    EXPECT_TRUE(CloseShellWindow([&](const std::wstring& title) { return title == folder_name || title == folder; }));
}

TEST_F(LaunchProgramTest, ShortTargetsGoToTheShell)
{
    // Three characters cannot end in ".exe"; the root folder opens.
    ASSERT_EQ(1, LaunchProgram(L"C:\\", nullptr, SW_SHOWNORMAL, INFINITE));
    EXPECT_TRUE(CloseShellWindow([](const std::wstring& title) { return title.find(L"(C:)") != std::wstring::npos; }));

    const std::wstring previous = CurrentDirectory();
    ASSERT_TRUE(SetCurrentDirectoryW(probe_.path().c_str()));
    const int missing = LaunchProgram(L"a.b", nullptr, SW_SHOWNORMAL, INFINITE);
    const int empty = LaunchProgram(L"", nullptr, SW_SHOWNORMAL, INFINITE);
    SetCurrentDirectoryW(previous.c_str());
    EXPECT_EQ(0, missing);
    EXPECT_EQ(0, empty);
}

TEST_F(LaunchProgramTest, ShellFailuresGiveZero)
{
    EXPECT_EQ(0, LaunchProgram((probe_ / L"missing.txt").c_str(), nullptr, SW_SHOWNORMAL, 0));
    const std::wstring unknown = probe_ / L"data.velkornothing";
    ASSERT_TRUE(WriteFileBytes(unknown, "x"));
    EXPECT_EQ(0, LaunchProgram(unknown.c_str(), nullptr, SW_SHOWNORMAL, 0));
}

// A topmost window of this thread at a known place on the screen (of a
// class of its own: a static control would let points fall through it).
class TestWindow {
public:
    TestWindow(int x, int y, int width, int height)
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VelkorLaunchTestWindow";
        RegisterClassW(&wc);
        window_ = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"velkor test", WS_POPUP | WS_VISIBLE, x, y, width,
                                  height, nullptr, nullptr, nullptr, nullptr);
        PumpPending();
    }
    ~TestWindow() { DestroyWindow(window_); }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND get() const { return window_; }

private:
    HWND window_;
};

class SwappedButtons {
public:
    explicit SwappedButtons(bool swap) : previous_(SwapMouseButton(swap ? TRUE : FALSE)) { }
    ~SwappedButtons() { SwapMouseButton(previous_); }
    SwappedButtons(const SwappedButtons&) = delete;
    SwappedButtons& operator=(const SwappedButtons&) = delete;

private:
    BOOL previous_;
};

// Windows may apply injected input a little later; the raw platform answer
// for the physical key says when it has.
bool PhysicallyDown(int vk, bool down)
{
    return PumpUntil([&] { return ((GetAsyncKeyState(vk) & 0x8000) != 0) == down; });
}

// Presses or releases the physical mouse button named by vk.
bool SendMouse(DWORD flags, int vk, bool down)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    return SendInput(1, &input, sizeof(input)) == 1 && PhysicallyDown(vk, down);
}

bool SendKey(WORD vk, bool down)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    return SendInput(1, &input, sizeof(input)) == 1 && PhysicallyDown(vk, down);
}

// The physical buttons press on a window of the test's own.
class IsKeyDownTest : public testing::Test {
protected:
    void SetUp() override
    {
        SetCursorPos(150, 150);
        PumpPending();
    }
    void TearDown() override { PumpPending(); }

    TestWindow target_{100, 100, 100, 100};
};

TEST_F(IsKeyDownTest, ReportsAKeyOnlyWhileItIsDown)
{
    ASSERT_TRUE(SendKey(VK_F13, true));
    EXPECT_EQ(1, IsKeyDown(VK_F13));
    EXPECT_EQ(0, IsKeyDown(VK_F14));
    ASSERT_TRUE(SendKey(VK_F13, false));
    EXPECT_EQ(0, IsKeyDown(VK_F13));
}

// The logical buttons that IsKeyDown reports down: "LRM", '-' for each one up.
std::string LogicalButtonsDown()
{
    std::string down = "---";
    if (IsKeyDown(VK_LBUTTON))
        down[0] = 'L';
    if (IsKeyDown(VK_RBUTTON))
        down[1] = 'R';
    if (IsKeyDown(VK_MBUTTON))
        down[2] = 'M';
    return down;
}

TEST_F(IsKeyDownTest, NamesTheLogicalButtonsWhenTheSystemSwapsThem)
{
    {
        SwappedButtons swapped(true);
        ASSERT_NE(0, GetSystemMetrics(SM_SWAPBUTTON));
        // The physical left button carries the secondary (right) button.
        ASSERT_TRUE(SendMouse(MOUSEEVENTF_LEFTDOWN, VK_LBUTTON, true));
        EXPECT_EQ("-R-", LogicalButtonsDown());
        ASSERT_TRUE(SendMouse(MOUSEEVENTF_LEFTUP, VK_LBUTTON, false));
        EXPECT_EQ("---", LogicalButtonsDown());

        ASSERT_TRUE(SendMouse(MOUSEEVENTF_MIDDLEDOWN, VK_MBUTTON, true));
        EXPECT_EQ("--M", LogicalButtonsDown());
        ASSERT_TRUE(SendMouse(MOUSEEVENTF_MIDDLEUP, VK_MBUTTON, false));
    }
    EXPECT_EQ(0, GetSystemMetrics(SM_SWAPBUTTON));
    ASSERT_TRUE(SendMouse(MOUSEEVENTF_LEFTDOWN, VK_LBUTTON, true));
    EXPECT_EQ("L--", LogicalButtonsDown());
    ASSERT_TRUE(SendMouse(MOUSEEVENTF_LEFTUP, VK_LBUTTON, false));
    EXPECT_EQ("---", LogicalButtonsDown());
}

using ProbeCallsProc = LONG (*)();

class InstallHookByNameTest : public testing::Test {
protected:
    void SetUp() override
    {
        module_.reset(LoadLibraryW((ProgramDir() + L"\\hook_module.dll").c_str()));
        ASSERT_TRUE(module_);
        calls_ = reinterpret_cast<ProbeCallsProc>(
            reinterpret_cast<void (*)()>(GetProcAddress(module_.get(), "ProbeHookCalls")));
        ASSERT_NE(nullptr, calls_);
    }

    // Posts to this thread and lets the message go through the message hooks.
    void PassAMessage()
    {
        PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
        PumpPending();
    }

    UniqueModule module_;
    ProbeCallsProc calls_ = nullptr;
    HHOOK const kUntouched = reinterpret_cast<HHOOK>(static_cast<INT_PTR>(0x5EED));
};

TEST_F(InstallHookByNameTest, InstallsTheProcedureThatTheModuleExports)
{
    HHOOK hook = kUntouched;
    ASSERT_EQ(1, InstallHookByName(module_.get(), WH_GETMESSAGE, "ProbeHookProc", GetCurrentThreadId(), &hook));
    ASSERT_NE(kUntouched, hook);
    ASSERT_NE(nullptr, hook);

    const LONG before = calls_();
    PassAMessage();
    EXPECT_GT(calls_(), before);

    ASSERT_TRUE(UnhookWindowsHookEx(hook));
    const LONG after = calls_();
    PassAMessage();
    EXPECT_EQ(after, calls_());
}

TEST_F(InstallHookByNameTest, LeavesTheHandleAloneWhenThereIsNothingToInstall)
{
    HHOOK hook = kUntouched;
    const DWORD thread = GetCurrentThreadId();
    EXPECT_EQ(0, InstallHookByName(module_.get(), WH_GETMESSAGE, "MissingProc", thread, &hook));
    EXPECT_EQ(0, InstallHookByName(module_.get(), WH_GETMESSAGE, "probehookproc", thread, &hook));
    EXPECT_EQ(0, InstallHookByName(nullptr, WH_GETMESSAGE, "ProbeHookProc", thread, &hook));
    EXPECT_EQ(0, InstallHookByName(module_.get(), WH_GETMESSAGE, nullptr, thread, &hook));
    EXPECT_EQ(kUntouched, hook);
    EXPECT_EQ(0, InstallHookByName(module_.get(), WH_GETMESSAGE, "ProbeHookProc", thread, nullptr));
}

TEST_F(InstallHookByNameTest, StoresNullWhenTheSystemRefusesTheHook)
{
    HHOOK hook = kUntouched;
    EXPECT_EQ(0, InstallHookByName(module_.get(), 99, "ProbeHookProc", GetCurrentThreadId(), &hook));
    EXPECT_EQ(nullptr, hook);
}

class FocusWindowAtPointTest : public testing::Test {
protected:
    TestWindow first_{40, 40, 100, 100};
    TestWindow second_{300, 40, 200, 100};
};

TEST_F(FocusWindowAtPointTest, FocusesTheDeepestWindowUnderThePoint)
{
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 100, 20, 80, 40, second_.get(), nullptr,
                                nullptr, nullptr);
    ASSERT_NE(nullptr, edit);
    SetForegroundWindow(second_.get());
    SetFocus(second_.get());
    ASSERT_EQ(second_.get(), GetFocus());

    EXPECT_EQ(second_.get(), FocusWindowAtPoint(300 + 120, 40 + 30));
    EXPECT_EQ(edit, GetFocus());

    // On the window itself, beside its child.
    EXPECT_EQ(edit, FocusWindowAtPoint(300 + 20, 40 + 80));
    EXPECT_EQ(second_.get(), GetFocus());
}

TEST_F(FocusWindowAtPointTest, BringsTheWindowUnderThePointToTheForeground)
{
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 100, 20, 80, 40, second_.get(), nullptr,
                                nullptr, nullptr);
    SetForegroundWindow(first_.get());
    SetFocus(first_.get());
    ASSERT_EQ(first_.get(), GetFocus());

    // Activating the other window may move the focus to it before SetFocus
    // runs (Wine, and Windows when this process may take the foreground);
    // what SetFocus then reports is that window, not the one focused before.
    const HWND previous = FocusWindowAtPoint(300 + 120, 40 + 30);
    EXPECT_TRUE(previous == first_.get() || previous == second_.get()) << previous;
    EXPECT_EQ(edit, GetFocus());
    EXPECT_EQ(second_.get(), GetActiveWindow());
}

TEST_F(FocusWindowAtPointTest, PointWithoutAWindowChangesNothing)
{
    SetForegroundWindow(first_.get());
    SetFocus(first_.get());
    const HWND foreground = GetForegroundWindow();
    EXPECT_EQ(nullptr, FocusWindowAtPoint(-30000, -30000));
    EXPECT_EQ(first_.get(), GetFocus());
    EXPECT_EQ(foreground, GetForegroundWindow());
}

} // namespace
