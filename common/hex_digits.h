// Hexadecimal digit strings, read as one big-endian number and stored least
// significant byte first. Plain code: it builds without the system headers.
#pragma once

// Reads the digits from the last character backwards, two per byte, into at
// most count bytes; bytes beyond the digit pairs are left as they were, and
// the leading pairs that do not fit are ignored. An odd first character
// stands alone, as if a '0' came before it.
// Only '0'-'9' and 'a'-'f' are digits; any other character counts as its code
// minus 0x57, cut to 8 bits ('A' reads as 0xEA), and nothing is rejected.
// 1, or 0 for a null string (or null bytes with count above 0).
int HexToBytes(const wchar_t* digits, unsigned char* bytes, int count);
