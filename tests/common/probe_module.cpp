// An empty module: the tests copy it to folders of their choice and load it
// there, to see what GetModuleDirectory makes of its path.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
