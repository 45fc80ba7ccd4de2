#include "wide_text.h"

#include <cstdarg>
#include <cstdio>

int FormatText(wchar_t* buffer, size_t capacity, const wchar_t* format, ...)
{
    if (!buffer || capacity == 0)
        return -1;
    va_list args;
    va_start(args, format);
    // The underscore form keeps the platform's %s on every compiler.
    const int written = _vsnwprintf(buffer, capacity, format, args);
    va_end(args);
    if (written < 0 || static_cast<size_t>(written) >= capacity) {
        buffer[capacity - 1] = L'\0';
        return -1;
    }
    return written;
}

void LowerAsciiInPlace(wchar_t* text)
{
    for (; text && *text; ++text)
        *text = LowerAscii(*text);
}

int CompareNoCaseAscii(const wchar_t* a, const wchar_t* b, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const wchar_t ca = LowerAscii(a[i]);
        const wchar_t cb = LowerAscii(b[i]);
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == L'\0')
            return 0;
    }
    return 0;
}

bool EqualNoCaseAscii(const wchar_t* a, const wchar_t* b)
{
    return CompareNoCaseAscii(a ? a : L"", b ? b : L"") == 0;
}
