// Exact search of a pattern in counted UTF-16 text (Knuth-Morris-Pratt), in
// both directions, in time proportional to text plus pattern. Code units are
// compared as they are: case matters, a zero unit is an ordinary character and
// a surrogate pair is two units. Plain code: it builds without the system headers.
#pragma once

// table[0] = -1; for 0 < i < length, table[i] is the length of the longest
// proper prefix of pattern[0 .. i-1] that is also a suffix of it. The table
// needs room for length entries; nothing is written when length is below 1.
void BuildPrefixTable(const wchar_t* pattern, int length, int* table);

// The same table for the pattern read from its end.
void BuildReversePrefixTable(const wchar_t* pattern, int length, int* table);

// Index of the first character of the first occurrence, or -1: when there is
// none, when a length is negative or a pointer with a length above 0 is null,
// and when the search's table cannot be allocated.
// The empty pattern occurs everywhere: it is found at 0 (no table is made).
int FindSubstring(const wchar_t* text, int text_length, const wchar_t* pattern, int pattern_length);

// Index, in the text's own order, of the first character of the last
// occurrence, or -1 as for FindSubstring. The text and the pattern are read
// backwards in place. The empty pattern's last occurrence is at text_length.
int FindLastSubstring(const wchar_t* text, int text_length, const wchar_t* pattern, int pattern_length);
