#include "diagnostics.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

wchar_t szModuleDirectory[MAX_PATH];

namespace {

// Bytes for count wide characters; saturates so that an absurd count makes
// the allocation fail instead of wrapping round to a small block.
size_t WideBytes(size_t count)
{
    return count > SIZE_MAX / sizeof(wchar_t) ? SIZE_MAX : count * sizeof(wchar_t);
}

// Formats into a buffer sized by a counting pass; the caller frees it.
wchar_t* FormatAlloc(const wchar_t* format, va_list args)
{
    va_list counting;
    va_copy(counting, args);
    const int count = _vscwprintf(format, counting);
    va_end(counting);
    if (count < 0)
        return nullptr;

    auto* text = static_cast<wchar_t*>(malloc(WideBytes(static_cast<size_t>(count) + 1)));
    if (!text)
        return nullptr;
    _vsnwprintf(text, static_cast<size_t>(count) + 1, format, args);
    text[count] = L'\0';
    return text;
}

} // namespace

void DebugPrint(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    wchar_t* text = FormatAlloc(format, args);
    va_end(args);
    if (!text)
        return;
    OutputDebugStringW(text);
    free(text);
}

void ShowMessage(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    wchar_t* text = FormatAlloc(format, args);
    va_end(args);
    if (!text)
        return;
    MessageBoxW(nullptr, text, L"Message", MB_TOPMOST);
    free(text);
}

int OsGenerationOf(DWORD major, DWORD minor)
{
    if (major < 5)
        return 1;
    if (major == 5)
        return minor == 0 ? 2 : 3;
    if (major == 6)
        return 4;
    return 1;
}

int GetOsGeneration()
{
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
#if defined(_MSC_VER)
#pragma warning(suppress : 4996) // the reported version is exactly what is wanted
    if (!GetVersionExW(&info))
#else
    if (!GetVersionExW(&info))
#endif
        return 0;
    return OsGenerationOf(info.dwMajorVersion, info.dwMinorVersion);
}

int TrimToDirectory(wchar_t* path)
{
    for (int i = lstrlenW(path); i >= 1; --i) {
        if (path[i] == L'\\') {
            path[i + 1] = L'\0';
            return i + 2;
        }
    }
    return 0;
}

int GetModuleDirectory(HMODULE module, wchar_t* buffer, DWORD capacity)
{
    if (!buffer || capacity == 0)
        return 0;
    GetModuleFileNameW(module, buffer, capacity);
    buffer[capacity - 1] = L'\0'; // older systems leave a truncated path unterminated
    return TrimToDirectory(buffer);
}

int GetModuleDirectory(HMODULE module)
{
    return GetModuleDirectory(module, szModuleDirectory, MAX_PATH);
}

int GetWindowTextAlloc(HWND window, wchar_t** text)
{
    const int length = GetWindowTextLengthW(window);
    if (length <= 0)
        return 0;

    const size_t capacity = static_cast<size_t>(length) + 1;
    *text = static_cast<wchar_t*>(malloc(WideBytes(capacity)));
    if (!*text)
        return 0;
    memset(*text, 0, capacity * sizeof(wchar_t));
    if (GetWindowTextW(window, *text, static_cast<int>(capacity)) == 0) {
        free(*text);
        *text = nullptr;
        return 0;
    }
    return 1;
}
