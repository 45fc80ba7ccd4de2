// The test programs' entry. Its first act is the start mark that
// tools/wine-exec.sh looks for: a run that failed without it never reached
// the program's own code, so Wine's start failed, not a test.
#include <windows.h>

#include <gtest/gtest.h>

namespace {

void WriteStartMark()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"VELKOR_START_MARK", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    // Programs this one starts are not the program the mark stands for.
    SetEnvironmentVariableW(L"VELKOR_START_MARK", nullptr);
}

} // namespace

int main(int argc, char** argv)
{
    WriteStartMark();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
