#include "wide_text.h"

#include <gtest/gtest.h>

TEST(FormatText, PercentSTakesAWideString)
{
    // The runtime's standard swprintf reads %s as narrow under MinGW; the
    // project's formats are written for the platform's convention.
    wchar_t buffer[32];
    EXPECT_EQ(8, FormatText(buffer, 32, L"%s_#%d", L"setup", 0));
    EXPECT_STREQ(L"setup_#0", buffer);
}

TEST(FormatText, ATextThatDoesNotFitIsCutAndReported)
{
    wchar_t buffer[4] = {L'#', L'#', L'#', L'#'};
    EXPECT_EQ(-1, FormatText(buffer, 4, L"%s", L"abcdef"));
    EXPECT_STREQ(L"abc", buffer);
    EXPECT_EQ(3, FormatText(buffer, 4, L"%s", L"abc"));
}

TEST(LetterCase, OnlyAToZFold)
{
    wchar_t text[] = L"SeTuP.EXE \x00C4\x0130Z";
    LowerAsciiInPlace(text);
    EXPECT_STREQ(L"setup.exe \x00C4\x0130z", text);
    EXPECT_TRUE(EqualNoCaseAscii(L"C:\\Apps", L"c:\\apps"));
    EXPECT_FALSE(EqualNoCaseAscii(L"\x00C4", L"\x00E4"));
    EXPECT_TRUE(EqualNoCaseAscii(nullptr, L""));
}

TEST(LetterCase, ComparesByCodeUnitWithPrefixFirst)
{
    EXPECT_LT(CompareNoCaseAscii(L"ab", L"abc"), 0);
    EXPECT_GT(CompareNoCaseAscii(L"b", L"Abc"), 0);
    EXPECT_EQ(0, CompareNoCaseAscii(L"ABC", L"abc"));
    // Folding comes first: A is read as a (0x61), which comes after _ (0x5F).
    EXPECT_GT(CompareNoCaseAscii(L"A", L"_"), 0);
    EXPECT_EQ(0, CompareNoCaseAscii(L"abcX", L"ABCy", 3));
}
