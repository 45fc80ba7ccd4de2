#include "wildcard.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <random>
#include <string>

namespace {

int Match(const wchar_t* text, const wchar_t* pattern, int full_match)
{
    return WildcardMatch(text, static_cast<int>(wcslen(text)), pattern, static_cast<int>(wcslen(pattern)), full_match,
                         L'x');
}

struct Case {
    const wchar_t* text;
    const wchar_t* pattern;
    int leading; // result with full_match 0
    int full; // result with full_match 1
};

const Case kCases[] = {
    {L"Lighthouse", L"li", 1, 0}, // anchored leading match, case ignored
    {L"lighthouse", L"LIGHTHOUSE", 1, 1},
    {L"lighthouse", L"house", 0, 0}, // anchored at the first character
    {L"lighthouse", L"*house", 1, 1},
    {L"lighthouse", L"l?g", 1, 0},
    {L"lighthouse", L"*t*e", 1, 1},
    {L"", L"*", 1, 1},
    {L"", L"**", 0, 0}, // a single trailing star only
    {L"", L"?", 0, 0},
    {L"", L"", 1, 1},
    {L"abc", L"", 1, 0},
    {L"ab", L"abc", 0, 0}, // text shorter than the run
    {L"a", L"a*", 1, 1},
    {L"a", L"a?", 0, 0},
    {L"ab", L"a**", 1, 1},
    {L"aabc", L"*a?c", 0, 0}, // first fit of the run a is taken; no retry
    {L"abab", L"*b", 1, 0}, // first b taken; ab is left over
    {L"a.exe.exe", L"*.exe", 1, 0},
    {L"setup.exe", L"*.EXE", 1, 1},

    // A literal run reaches to the next wildcard or to the terminator and is
    // compared whole at every step.
    {L"abd", L"abc", 0, 0},
    {L"xaab", L"*ab", 1, 1},
    {L"abab", L"*abc", 0, 0}, // the text always ends inside the run
    {L"abxbc", L"*bc", 1, 1}, // bx does not fit, the later bc does
    {L"abc", L"a?c", 1, 1},
    {L"abxabcd", L"*ab?d", 0, 0}, // the first ab is kept although abcd fits later
    {L"xab", L"*?b", 0, 0}, // ? ends the star: nothing slides
    {L"xb", L"*?b", 1, 1},
    {L"readme", L"*", 1, 1},

    // Only A to Z fold; the characters 0x20 above @ and [ are not their other case.
    {L"\x00C4rger", L"\x00E4rger", 0, 0},
    {L"\x00C4RGER", L"\x00C4rger", 1, 1},
    {L"@", L"`", 0, 0},
    {L"[", L"{", 0, 0},
    {L"Zz", L"zZ", 1, 1},
};

} // namespace

TEST(WildcardMatch, FollowsTheRulesInBothModes)
{
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::Message() << "text \"" << std::wstring(c.text) << "\" pattern \""
                                        << std::wstring(c.pattern) << "\"");
        EXPECT_EQ(c.leading, Match(c.text, c.pattern, 0));
        EXPECT_EQ(c.full, Match(c.text, c.pattern, 1));
    }
}

TEST(WildcardMatch, LengthsDecideWhatIsUsedUp)
{
    // The text counts as used up after its length, although characters follow.
    EXPECT_EQ(1, WildcardMatch(L"lighthouse", 5, L"light", 5, 1, L'x'));
    EXPECT_EQ(0, WildcardMatch(L"lighthouse", 5, L"lighth", 6, 0, L'x'));
    EXPECT_EQ(1, WildcardMatch(L"abc", 0, L"*", 1, 1, L'x'));
    EXPECT_EQ(0, WildcardMatch(L"abc", 0, L"a", 1, 0, L'x'));

    // A shorter pattern length ends the pattern early, but the run is still
    // measured up to the terminator.
    EXPECT_EQ(1, WildcardMatch(L"abc", 3, L"ab", 2, 0, L'x'));
    EXPECT_EQ(0, WildcardMatch(L"abc", 3, L"abx", 2, 0, L'x'));
    EXPECT_EQ(1, WildcardMatch(L"abx", 3, L"abx*", 2, 0, L'x'));
    EXPECT_EQ(0, WildcardMatch(L"abx", 3, L"abx*", 2, 1, L'x'));
    EXPECT_EQ(1, WildcardMatch(L"abc", 3, L"zzz", 0, 0, L'x'));
    EXPECT_EQ(0, WildcardMatch(L"abc", 3, L"zzz", 0, 1, L'x'));
}

TEST(WildcardMatch, NeverReadsPastATerminator)
{
    // Lengths beyond the strings end at the terminators; negative ones count as used up.
    EXPECT_EQ(1, WildcardMatch(L"ab", 100, L"ab", 100, 1, L'x'));
    EXPECT_EQ(1, WildcardMatch(L"ab", 100, L"a?", 5, 1, L'x'));
    EXPECT_EQ(0, WildcardMatch(L"", 5, L"?", 1, 0, L'x'));
    EXPECT_EQ(0, WildcardMatch(L"ab", 50, L"*c", 2, 0, L'x'));
    EXPECT_EQ(1, WildcardMatch(L"abc", -1, L"*", 1, 1, L'x'));
    EXPECT_EQ(1, WildcardMatch(L"abc", -5, L"a", -3, 1, L'x'));
    EXPECT_EQ(0, WildcardMatch(nullptr, 0, L"", 0, 0, L'x'));
    EXPECT_EQ(0, WildcardMatch(L"", 0, nullptr, 0, 0, L'x'));
}

TEST(WildcardMatch, PreviousStarLetsTheTextSlide)
{
    EXPECT_EQ(1, WildcardMatch(L"xxab", 4, L"ab", 2, 1, L'*'));
    EXPECT_EQ(0, WildcardMatch(L"xxab", 4, L"ab", 2, 1, L'x'));
    EXPECT_EQ(0, WildcardMatch(L"xxab", 4, L"ab", 2, 1, L'?'));
}

TEST(WildcardMatch, LongTextsNeedNoDeepStack)
{
    std::wstring text(1'000'000, L'a');
    text += L"Z";
    const int length = static_cast<int>(text.size());
    EXPECT_EQ(1, WildcardMatch(text.c_str(), length, L"*z", 2, 1, L'x'));
    EXPECT_EQ(0, WildcardMatch(text.c_str(), length, L"*y", 2, 0, L'x'));
    EXPECT_EQ(1, WildcardMatch(text.c_str(), length, L"a?a", 3, 0, L'x'));
}

namespace {

std::wstring RandomText(std::mt19937& random, const std::wstring& alphabet, size_t longest)
{
    std::uniform_int_distribution<size_t> length(0, longest);
    std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
    std::wstring text(length(random), L' ');
    for (wchar_t& c : text)
        c = alphabet[pick(random)];
    return text;
}

std::wstring SwapAsciiCase(std::wstring text)
{
    for (wchar_t& c : text) {
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - 32);
        else if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c + 32);
    }
    return text;
}

} // namespace

TEST(WildcardMatch, RandomisedPropertiesHold)
{
    std::mt19937 random(20261207);
    const std::wstring letters = L"abAB.\x00E4\x00C4";
    const std::wstring pattern_letters = letters + L"*?";
    std::uniform_int_distribution<int> slack(-3, 3);
    for (int i = 0; i < 40000; ++i) {
        const std::wstring text = RandomText(random, letters, 12);
        const std::wstring pattern = RandomText(random, pattern_letters, 8);
        const int t = static_cast<int>(text.size());
        const int p = static_cast<int>(pattern.size());
        SCOPED_TRACE(i);

        const int leading = WildcardMatch(text.c_str(), t, pattern.c_str(), p, 0, L'x');
        const int full = WildcardMatch(text.c_str(), t, pattern.c_str(), p, 1, L'x');
        ASSERT_TRUE(leading == 0 || leading == 1);
        ASSERT_TRUE(full == 0 || full == 1);
        ASSERT_TRUE(!full || leading) << "a whole match is also a leading one";
        // Only the ASCII letters fold.
        ASSERT_EQ(full, WildcardMatch(SwapAsciiCase(text).c_str(), t, pattern.c_str(), p, 1, L'x'));
        ASSERT_EQ(leading, WildcardMatch(text.c_str(), t, SwapAsciiCase(pattern).c_str(), p, 0, L'x'));
        // A literal pattern equal to the text, or to its start, always matches.
        ASSERT_EQ(1, WildcardMatch(text.c_str(), t, text.c_str(), t, 1, L'x'));
        ASSERT_EQ(1, WildcardMatch(text.c_str(), t, text.c_str(), t / 2, 0, L'x'));
        ASSERT_EQ(1, WildcardMatch(text.c_str(), t, L"*", 1, 1, L'x'));
        // Lengths that do not fit the strings must stay inside them.
        WildcardMatch(text.c_str(), t + slack(random), pattern.c_str(), p + slack(random), i & 1, L'*');
    }
}
