// Profile (INI) files that keep Unicode text.
//
// The system's profile functions write a file that they create themselves in
// the ANSI code page, so every character outside it turns into '?'. A file
// that already begins with the UTF-16LE byte-order mark is read and written
// as UTF-16LE instead; creating the file that way first keeps the text whole.
#pragma once

// Creates the file at path as the two bytes FF FE when nothing is there yet;
// an existing file is left exactly as it is. Returns 1 when a file is there
// afterwards, 0 when it could not be created or the path names a folder
// (GetLastError tells why).
int EnsureUnicodeProfile(const wchar_t* path);
