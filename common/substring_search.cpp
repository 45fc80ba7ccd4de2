#include "substring_search.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

// Counted text read as it stands, or from its end without copying it.
struct Forward {
    const wchar_t* units;
    int length;
    wchar_t operator[](int k) const { return units[k]; }
};

struct Backward {
    const wchar_t* units;
    int length;
    wchar_t operator[](int k) const { return units[length - 1 - k]; }
};

template <typename Units> void FillPrefixTable(Units w, int* table)
{
    if (w.length < 1)
        return;
    table[0] = -1;
    if (w.length < 2)
        return;
    table[1] = 0;
    int pos = 2;
    int cnd = 0;
    while (pos < w.length) {
        if (w[pos - 1] == w[cnd])
            table[pos++] = ++cnd;
        else if (cnd > 0)
            cnd = table[cnd];
        else
            table[pos++] = 0;
    }
}

// The alignment in s where w first matches whole, or -1. The text position
// start + i never moves back.
template <typename Units> int MatchAlignment(Units s, Units w, const int* table)
{
    int start = 0;
    int i = 0;
    while (start + i < s.length) {
        if (s[start + i] == w[i]) {
            if (++i == w.length)
                return start;
        } else {
            start += i - table[i];
            if (i > 0)
                i = table[i];
        }
    }
    return -1;
}

struct FreeTable {
    void operator()(int* table) const noexcept { std::free(table); }
};
using PrefixTable = std::unique_ptr<int[], FreeTable>;

// No table rather than a short one when the size does not fit in size_t.
PrefixTable AllocateTable(int length)
{
    const size_t entries = static_cast<size_t>(length);
    if (entries > SIZE_MAX / sizeof(int))
        return nullptr;
    return PrefixTable(static_cast<int*>(std::malloc(entries * sizeof(int))));
}

template <typename Units> int Search(Units s, Units w)
{
    PrefixTable table = AllocateTable(w.length);
    if (!table)
        return -1;
    FillPrefixTable(w, table.get());
    return MatchAlignment(s, w, table.get());
}

bool ValidCount(const wchar_t* units, int length)
{
    return length >= 0 && (units || length == 0);
}

} // namespace

void BuildPrefixTable(const wchar_t* pattern, int length, int* table)
{
    if (pattern && table)
        FillPrefixTable(Forward{pattern, length}, table);
}

void BuildReversePrefixTable(const wchar_t* pattern, int length, int* table)
{
    if (pattern && table)
        FillPrefixTable(Backward{pattern, length}, table);
}

int FindSubstring(const wchar_t* text, int text_length, const wchar_t* pattern, int pattern_length)
{
    if (!ValidCount(text, text_length) || !ValidCount(pattern, pattern_length))
        return -1;
    if (pattern_length == 0)
        return 0;
    if (pattern_length > text_length)
        return -1;
    return Search(Forward{text, text_length}, Forward{pattern, pattern_length});
}

int FindLastSubstring(const wchar_t* text, int text_length, const wchar_t* pattern, int pattern_length)
{
    if (!ValidCount(text, text_length) || !ValidCount(pattern, pattern_length))
        return -1;
    if (pattern_length == 0)
        return text_length;
    if (pattern_length > text_length)
        return -1;
    // The backward search's first match is the occurrence that ends, and so begins, last.
    const int start = Search(Backward{text, text_length}, Backward{pattern, pattern_length});
    return start < 0 ? -1 : text_length - start - pattern_length;
}
