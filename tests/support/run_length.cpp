#include "run_length.h"

#include <windows.h>

bool SoakRun()
{
    wchar_t value[8] = {};
    const DWORD length = GetEnvironmentVariableW(L"VELKOR_SOAK", value, 8);
    return length > 0 && length < 8 && value[0] == L'1';
}

int RunLength(int quick, int soak)
{
    return SoakRun() ? soak : quick;
}
