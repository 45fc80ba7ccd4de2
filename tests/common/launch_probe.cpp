// Started by the launching tests. Writes what it was given (command line,
// current directory, start-up show state, console) to the file named by
// VELKOR_PROBE_REPORT; when VELKOR_PROBE_HOLD names an event, it then stays
// alive until the event is set, so that tests can see whether a launcher
// waited for it.
#include <windows.h>

#include <string>

namespace {

constexpr DWORD kHoldGuardMs = 30000;

std::wstring Variable(const wchar_t* name)
{
    wchar_t value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? value : L"";
}

// Own console without a window: what CREATE_NO_WINDOW gives a console program.
bool HasHiddenConsoleOfItsOwn()
{
    DWORD members[8] = {};
    return GetConsoleProcessList(members, 8) == 1 && GetConsoleWindow() == nullptr;
}

std::wstring Report()
{
    wchar_t directory[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, directory);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    GetStartupInfoW(&si);
    return L"pid=" + std::to_wstring(GetCurrentProcessId()) + L"\n" + L"command=" + GetCommandLineW() + L"\n" +
        L"directory=" + directory + L"\n" + L"flags=" + std::to_wstring(si.dwFlags) + L"\n" + L"show=" +
        std::to_wstring(si.wShowWindow) + L"\n" + L"hidden_console=" +
        std::to_wstring(HasHiddenConsoleOfItsOwn() ? 1 : 0) + L"\n";
}

// Written beside the report and renamed, so that a reader never sees half of it.
bool WriteReport(const std::wstring& path, const std::wstring& text)
{
    const std::wstring partial = path + L".part";
    HANDLE file =
        CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    const BOOL ok = WriteFile(file, text.data(), bytes, &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes && MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

} // namespace

int wmain()
{
    const std::wstring report = Variable(L"VELKOR_PROBE_REPORT");
    if (report.empty() || !WriteReport(report, Report()))
        return 2;
    const std::wstring hold = Variable(L"VELKOR_PROBE_HOLD");
    if (hold.empty())
        return 0;
    HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, hold.c_str());
    if (!event)
        return 3;
    const DWORD waited = WaitForSingleObject(event, kHoldGuardMs);
    CloseHandle(event);
    return waited == WAIT_OBJECT_0 ? 0 : 4;
}
