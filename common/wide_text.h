// Small helpers for zero-terminated UTF-16 text: bounded formatting and the
// letter-case rules of the project (only A to Z fold to a to z).
#pragma once

#include <cstddef>

// Formats like swprintf with the platform's conventions (%s takes a wide string).
// Returns the length written, or -1 when the text did not fit; the buffer is
// always terminated.
int FormatText(wchar_t* buffer, size_t capacity, const wchar_t* format, ...);

inline wchar_t LowerAscii(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + (L'a' - L'A')) : c;
}

// Lowers A to Z in place; every other character stays.
void LowerAsciiInPlace(wchar_t* text);

// Compares at most count characters, A to Z folded, by UTF-16 code unit
// otherwise; a shorter text that is a prefix of the other comes first.
int CompareNoCaseAscii(const wchar_t* a, const wchar_t* b, size_t count = static_cast<size_t>(-1));

// Null counts as the empty text.
bool EqualNoCaseAscii(const wchar_t* a, const wchar_t* b);
