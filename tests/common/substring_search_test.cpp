#include "substring_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace {

int First(const std::wstring& text, const std::wstring& pattern)
{
    return FindSubstring(text.data(), static_cast<int>(text.size()), pattern.data(), static_cast<int>(pattern.size()));
}

int Last(const std::wstring& text, const std::wstring& pattern)
{
    return FindLastSubstring(text.data(), static_cast<int>(text.size()), pattern.data(),
                             static_cast<int>(pattern.size()));
}

constexpr int kUntouched = 0x5A5A5A5A;

// The table a builder writes, after checking that it wrote nothing past the pattern's length.
std::vector<int> TableOf(const std::wstring& pattern, void (*build)(const wchar_t*, int, int*))
{
    std::vector<int> table(pattern.size() + 2, kUntouched);
    build(pattern.data(), static_cast<int>(pattern.size()), table.data());
    EXPECT_EQ(kUntouched, table[pattern.size()]) << "wrote past the table";
    EXPECT_EQ(kUntouched, table[pattern.size() + 1]) << "wrote past the table";
    table.resize(pattern.size());
    return table;
}

std::vector<int> PrefixTable(const std::wstring& pattern)
{
    return TableOf(pattern, BuildPrefixTable);
}

std::vector<int> ReversePrefixTable(const std::wstring& pattern)
{
    return TableOf(pattern, BuildReversePrefixTable);
}

// Longest proper border of every prefix, by trying every length.
std::vector<int> NaivePrefixTable(const std::wstring& pattern)
{
    std::vector<int> table(pattern.size());
    if (!table.empty())
        table[0] = -1;
    for (size_t i = 1; i < pattern.size(); ++i) {
        for (size_t k = i - 1;; --k) {
            if (pattern.compare(0, k, pattern, i - k, k) == 0) {
                table[i] = static_cast<int>(k);
                break;
            }
        }
    }
    return table;
}

int ReferenceFirst(const std::wstring& text, const std::wstring& pattern)
{
    const auto found = std::search(text.begin(), text.end(), pattern.begin(), pattern.end());
    return found == text.end() ? -1 : static_cast<int>(found - text.begin());
}

int ReferenceLast(const std::wstring& text, const std::wstring& pattern)
{
    const auto found = std::find_end(text.begin(), text.end(), pattern.begin(), pattern.end());
    return found == text.end() ? -1 : static_cast<int>(found - text.begin());
}

using Table = std::vector<int>;

} // namespace

TEST(PrefixTable, HoldsTheLongestProperBorderOfEachPrefix)
{
    EXPECT_EQ((Table{-1, 0, 0, 1, 1}), PrefixTable(L"abaab"));
    EXPECT_EQ((Table{-1, 0, 1, 0, 1, 2, 2}), PrefixTable(L"aabaaab"));
    EXPECT_EQ((Table{-1, 0, 0, 1, 0, 1, 2, 3}), PrefixTable(L"abacabab"));
    EXPECT_EQ((Table{-1, 0, 1, 2, 3}), PrefixTable(L"aaaaa"));
    EXPECT_EQ((Table{-1}), PrefixTable(L"x"));
    EXPECT_EQ((Table{-1, 0}), PrefixTable(L"xx"));
}

TEST(PrefixTable, ReverseTableIsTheTableOfTheReversedPattern)
{
    EXPECT_EQ((Table{-1, 0, 0, 0, 1}), ReversePrefixTable(L"abaab"));
    EXPECT_EQ((Table{-1, 0, 1, 0, 0, 1, 0}), ReversePrefixTable(L"abcabcc"));
    EXPECT_EQ((Table{-1}), ReversePrefixTable(L"x"));
}

TEST(PrefixTable, WritesNothingForAnEmptyOrNegativeLength)
{
    int table[2] = {kUntouched, kUntouched};
    BuildPrefixTable(L"ab", 0, table);
    BuildReversePrefixTable(L"ab", 0, table);
    BuildPrefixTable(L"ab", -3, table);
    BuildReversePrefixTable(L"ab", -3, table);
    BuildPrefixTable(nullptr, 2, table);
    EXPECT_EQ(kUntouched, table[0]);
    EXPECT_EQ(kUntouched, table[1]);
}

TEST(FindSubstring, FindsTheFirstAndTheLastOccurrence)
{
    EXPECT_EQ(0, First(L"aaaa", L"aa"));
    EXPECT_EQ(2, Last(L"aaaa", L"aa"));

    EXPECT_EQ(0, First(L"abcab", L"abcab"));
    EXPECT_EQ(0, Last(L"abcab", L"abcab"));

    EXPECT_EQ(1, First(L"axbxc", L"x"));
    EXPECT_EQ(3, Last(L"axbxc", L"x"));

    // Overlapping candidates that fall back through the table more than once.
    EXPECT_EQ(4, First(L"abaaabaabab", L"abaab"));
    EXPECT_EQ(3, First(L"aabaaabaaab", L"aaab"));
    EXPECT_EQ(7, Last(L"aabaaabaaab", L"aaab"));
    EXPECT_EQ(3, First(L"abacabacabab", L"cabacab"));
    EXPECT_EQ(3, Last(L"abacabacabab", L"cabacab"));
}

TEST(FindSubstring, AnAbsentPatternGivesMinusOne)
{
    EXPECT_EQ(-1, First(L"abaaaabaaab", L"abaab"));
    EXPECT_EQ(-1, Last(L"abaaaabaaab", L"abaab"));
    // No case folding.
    EXPECT_EQ(-1, First(L"a", L"A"));
    EXPECT_EQ(-1, Last(L"a", L"A"));
    // A pattern longer than the text, or any pattern in an empty text.
    EXPECT_EQ(-1, First(L"ab", L"abc"));
    EXPECT_EQ(-1, Last(L"ab", L"abc"));
    EXPECT_EQ(-1, First(L"", L"a"));
    EXPECT_EQ(-1, Last(L"", L"a"));
    // Almost there at the very end.
    EXPECT_EQ(-1, First(L"xxabca", L"abcd"));
    EXPECT_EQ(-1, Last(L"bcdxx", L"abcd"));
}

TEST(FindSubstring, ComparesCodeUnitsAsTheyAre)
{
    const std::wstring text(L"a\0b\0b", 5);
    const std::wstring zero_b(L"\0b", 2);
    EXPECT_EQ(1, First(text, zero_b));
    EXPECT_EQ(3, Last(text, zero_b));

    // Halves of a surrogate pair are characters of their own.
    const std::wstring pairs{L'x', wchar_t(0xD83D), wchar_t(0xDE00), L'y', wchar_t(0xD83D), wchar_t(0xDE01)};
    EXPECT_EQ(1, First(pairs, std::wstring(1, wchar_t(0xD83D))));
    EXPECT_EQ(4, Last(pairs, std::wstring(1, wchar_t(0xD83D))));
    EXPECT_EQ(2, First(pairs, std::wstring{wchar_t(0xDE00), L'y'}));
    EXPECT_EQ(-1, First(pairs, std::wstring{wchar_t(0xDE01), L'x'}));
}

TEST(FindSubstring, TheEmptyPatternIsFoundAtEitherEnd)
{
    EXPECT_EQ(0, First(L"abc", L""));
    EXPECT_EQ(3, Last(L"abc", L""));
    EXPECT_EQ(0, First(L"", L""));
    EXPECT_EQ(0, Last(L"", L""));
    EXPECT_EQ(0, FindSubstring(nullptr, 0, nullptr, 0));
    EXPECT_EQ(0, FindLastSubstring(nullptr, 0, nullptr, 0));
}

TEST(FindSubstring, RejectsNegativeLengthsAndNullUnits)
{
    EXPECT_EQ(-1, FindSubstring(L"abc", -1, L"a", 1));
    EXPECT_EQ(-1, FindLastSubstring(L"abc", -1, L"a", 1));
    EXPECT_EQ(-1, FindSubstring(L"abc", 3, L"a", -1));
    EXPECT_EQ(-1, FindLastSubstring(L"abc", 3, L"a", -1));
    EXPECT_EQ(-1, FindSubstring(nullptr, 3, L"a", 1));
    EXPECT_EQ(-1, FindLastSubstring(nullptr, 3, L"a", 1));
    EXPECT_EQ(-1, FindSubstring(L"abc", 3, nullptr, 1));
    EXPECT_EQ(-1, FindLastSubstring(L"abc", 3, nullptr, 1));
}

TEST(FindSubstring, ReadsOnlyTheGivenUnits)
{
    // Counted text needs no terminator: exact-size buffers, so that the
    // sanitizer run catches any read past either end.
    const std::vector<wchar_t> text{L'b', L'a', L'b', L'a'};
    const std::vector<wchar_t> pattern{L'b', L'a'};
    EXPECT_EQ(0, FindSubstring(text.data(), 4, pattern.data(), 2));
    EXPECT_EQ(2, FindLastSubstring(text.data(), 4, pattern.data(), 2));
    // Only the given units count: "ab" out of "baba" holds no "ba".
    EXPECT_EQ(-1, FindSubstring(text.data() + 1, 2, pattern.data(), 2));
    EXPECT_EQ(-1, FindLastSubstring(text.data() + 1, 2, pattern.data(), 2));
    EXPECT_EQ(0, FindLastSubstring(text.data(), 3, pattern.data(), 2));
    // A pattern longer than the text is answered before anything is read.
    EXPECT_EQ(-1, FindSubstring(text.data(), 4, pattern.data(), INT_MAX));
    EXPECT_EQ(-1, FindLastSubstring(text.data(), 4, pattern.data(), INT_MAX));
}

#if defined(VELKOR_ALLOCATIONS_CAPPED)
// The sanitizer run caps single allocations (tests/native/sanitizer_options.cpp),
// so a table of 300 million entries cannot be had. Both lengths are lies: a
// search that went on without its table would read or write out of bounds.
TEST(FindSubstring, ATableThatCannotBeAllocatedFailsCleanly)
{
    const wchar_t unit[1] = {L'a'};
    const int huge = 300000000;
    EXPECT_EQ(-1, FindSubstring(unit, huge, unit, huge));
    EXPECT_EQ(-1, FindLastSubstring(unit, huge, unit, huge));
    EXPECT_EQ(-1, FindSubstring(unit, INT_MAX, unit, INT_MAX));
}
#endif

TEST(FindSubstring, LongRepetitiveTexts)
{
    const std::wstring text = std::wstring(100000, L'a') + L'b' + std::wstring(5000, L'a');
    const std::wstring pattern = std::wstring(1000, L'a') + L'b';
    EXPECT_EQ(99000, First(text, pattern));
    EXPECT_EQ(99000, Last(text, pattern));
    EXPECT_EQ(0, First(text, std::wstring(1000, L'a')));
    EXPECT_EQ(static_cast<int>(text.size()) - 1000, Last(text, std::wstring(1000, L'a')));
    EXPECT_EQ(-1, First(text, L'b' + std::wstring(5001, L'a')));
    EXPECT_EQ(-1, Last(text, L'b' + std::wstring(5001, L'a')));
    EXPECT_EQ(-1, First(text, std::wstring(100001, L'a')));
    EXPECT_EQ(-1, Last(text, std::wstring(100001, L'a')));
}

// Many random texts and patterns over small alphabets, where partial matches
// and fallbacks are frequent, against the obvious search.
TEST(SubstringSearchFuzz, AgreesWithStdSearchInBothDirections)
{
    const std::vector<std::wstring> alphabets{
        L"ab",
        L"abc",
        std::wstring{L'\0', L'a', wchar_t(0xD800), wchar_t(0xDC00)},
    };
    constexpr int kIterations = 30000;
    for (const unsigned seed : {1u, 2u, 3u}) {
        std::mt19937 random(seed);
        for (int iteration = 0; iteration < kIterations; ++iteration) {
            const std::wstring& alphabet = alphabets[iteration % alphabets.size()];
            auto unit = [&] { return alphabet[random() % alphabet.size()]; };
            std::wstring text(random() % 41, L'\0');
            std::generate(text.begin(), text.end(), unit);

            std::wstring pattern;
            if (!text.empty() && random() % 2 == 0) {
                // A piece of the text, sometimes with one unit changed.
                const size_t from = random() % text.size();
                pattern = text.substr(from, 1 + random() % (text.size() - from));
                if (random() % 3 == 0)
                    pattern[random() % pattern.size()] = unit();
            } else {
                pattern.resize(1 + random() % 6);
                std::generate(pattern.begin(), pattern.end(), unit);
            }

            const int first = First(text, pattern);
            const int last = Last(text, pattern);
            const bool agree = first == ReferenceFirst(text, pattern) && last == ReferenceLast(text, pattern) &&
                PrefixTable(pattern) == NaivePrefixTable(pattern);
            ASSERT_TRUE(agree) << "seed " << seed << ", iteration " << iteration << ": first " << first << " vs "
                               << ReferenceFirst(text, pattern) << ", last " << last << " vs "
                               << ReferenceLast(text, pattern);

            std::wstring reversed(pattern.rbegin(), pattern.rend());
            ASSERT_EQ(NaivePrefixTable(reversed), ReversePrefixTable(pattern))
                << "seed " << seed << ", iteration " << iteration;
        }
    }
}
