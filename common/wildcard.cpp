#include "wildcard.h"

#include "wide_text.h"

namespace {

bool IsWildcard(wchar_t c)
{
    return c == L'*' || c == L'?';
}

// Compares the literal run that starts the pattern with the text; a text that
// ends inside the run does not fit.
bool RunFits(const wchar_t* text, const wchar_t* run)
{
    for (; *run && !IsWildcard(*run); ++run, ++text) {
        if (!*text || LowerAscii(*text) != LowerAscii(*run))
            return false;
    }
    return true;
}

// A length past the terminator would walk off the string: the terminator ends it.
int Remaining(const wchar_t* s, int length)
{
    return (length > 0 && *s) ? length : 0;
}

} // namespace

int WildcardMatch(const wchar_t* text, int text_length, const wchar_t* pattern, int pattern_length, int full_match,
                  wchar_t previous)
{
    if (!text || !pattern)
        return 0;
    for (;;) {
        text_length = Remaining(text, text_length);
        pattern_length = Remaining(pattern, pattern_length);
        if (text_length == 0)
            return (pattern_length == 0 || (pattern_length == 1 && *pattern == L'*')) ? 1 : 0;
        if (pattern_length == 0)
            return full_match ? 0 : 1;

        if (*pattern == L'*') {
            ++pattern;
            if (--pattern_length == 0)
                return 1; // a trailing star takes the rest of the text
            previous = L'*';
            continue;
        }
        if (*pattern == L'?' || RunFits(text, pattern)) {
            // One character only, though the whole run was compared: the rest
            // of the run is compared again at the next step.
            previous = *pattern++;
            --pattern_length;
            ++text;
            --text_length;
            continue;
        }
        if (previous != L'*')
            return 0;
        ++text; // the text slides under the star
        --text_length;
    }
}
