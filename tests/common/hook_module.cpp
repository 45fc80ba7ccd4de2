// A module that exports a hook procedure by name, for the hook tests. It
// counts the calls it gets, so that a test can see the hook is in place.
#include <windows.h>

namespace {

LONG calls = 0;

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK ProbeHookProc(int code, WPARAM wparam, LPARAM lparam)
{
    InterlockedIncrement(&calls);
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

extern "C" __declspec(dllexport) LONG ProbeHookCalls()
{
    return InterlockedCompareExchange(&calls, 0, 0);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
