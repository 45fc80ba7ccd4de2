// Wildcard matching of UTF-16 text: '*' any run (also none), '?' one
// character, everything else literal with A to Z folded to a to z.
// Pure: no system headers, so it builds on any platform.
#pragma once

// Returns 1 when the text matches the pattern, 0 otherwise.
//
// The lengths say how much of each string is still to match (callers pass
// the full lengths); a literal run is measured up to the next '*' or '?' in
// the zero-terminated pattern. With full_match zero, text left over once the
// pattern is used up still matches. previous is the pattern character consumed
// last: '*' lets the text slide, callers start with anything else ('x').
//
// One forward pass: after a star the first place where the next literal run
// fits is taken and never revisited. Neither string is read past its
// terminator, whatever the lengths say; a null string matches nothing.
int WildcardMatch(const wchar_t* text, int text_length, const wchar_t* pattern, int pattern_length, int full_match,
                  wchar_t previous);
