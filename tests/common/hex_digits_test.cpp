#include "hex_digits.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr unsigned char kUntouched = 0xCC;
using Bytes = std::vector<unsigned char>;

// Converts into count bytes inside a larger buffer and checks that nothing
// around them was written.
Bytes Convert(const wchar_t* digits, int count, int* result = nullptr)
{
    Bytes buffer(static_cast<size_t>(count) + 4, kUntouched);
    const int answer = HexToBytes(digits, buffer.data() + 2, count);
    if (result)
        *result = answer;
    else
        EXPECT_EQ(1, answer);
    EXPECT_EQ(kUntouched, buffer[0]);
    EXPECT_EQ(kUntouched, buffer[1]);
    EXPECT_EQ(kUntouched, buffer[buffer.size() - 2]);
    EXPECT_EQ(kUntouched, buffer.back());
    return Bytes(buffer.begin() + 2, buffer.end() - 2);
}

Bytes Convert(const std::wstring& digits, int count)
{
    return Convert(digits.c_str(), count);
}

} // namespace

TEST(HexToBytes, ReadsPairsFromTheEndLeastSignificantFirst)
{
    EXPECT_EQ((Bytes{0x2b, 0x1a}), Convert(L"1a2b", 2));
    EXPECT_EQ((Bytes{0x2b}), Convert(L"1a2b", 1));
    EXPECT_EQ((Bytes{0x2b, 0x1a, kUntouched, kUntouched}), Convert(L"1a2b", 4));
    EXPECT_EQ((Bytes{0xff}), Convert(L"ff", 1));
    EXPECT_EQ((Bytes{0x05, 0x04}), Convert(L"0102030405", 2));
    EXPECT_EQ((Bytes{0xef, 0xcd, 0xab, 0x89, 0x67, 0x45, 0x23, 0x01}), Convert(L"0123456789abcdef", 8));
}

TEST(HexToBytes, OnlyLowerCaseLettersAreDigits)
{
    // 'A' is 0x41 - 0x57, cut to 8 bits.
    EXPECT_EQ((Bytes{0xea}), Convert(L"0A", 1));
    // 0xEA << 4 loses its high bits; 0xEB spills over the whole byte.
    EXPECT_EQ((Bytes{0xeb}), Convert(L"AB", 1));
    // 'g' is 16: as a low digit it lands in the high half, as a high digit it is lost.
    EXPECT_EQ((Bytes{0x10}), Convert(L"0g", 1));
    EXPECT_EQ((Bytes{0x10}), Convert(L"1g", 1));
    EXPECT_EQ((Bytes{0x01}), Convert(L"g1", 1));
    // Blanks and characters outside ASCII are not rejected either.
    EXPECT_EQ((Bytes{0xc9}), Convert(L"0 ", 1));
    EXPECT_EQ((Bytes{0xd6}), Convert(std::wstring{L'0', wchar_t(0x4E2D)}, 1));
}

TEST(HexToBytes, AnOddFirstDigitStandsAlone)
{
    EXPECT_EQ((Bytes{0x0f}), Convert(L"f", 1));
    EXPECT_EQ((Bytes{0xbc, 0x0a}), Convert(L"abc", 2));
    EXPECT_EQ((Bytes{0xb3, 0xa2, 0x01, kUntouched}), Convert(L"1a2b3", 4));
    EXPECT_EQ((Bytes{0xb3}), Convert(L"1a2b3", 1));
}

TEST(HexToBytes, WritesNothingWithoutDigitsOrRoom)
{
    EXPECT_EQ((Bytes{kUntouched, kUntouched}), Convert(L"", 2));
    EXPECT_EQ((Bytes{}), Convert(L"1a2b", 0));

    unsigned char byte = kUntouched;
    EXPECT_EQ(1, HexToBytes(L"1a", &byte, -1));
    EXPECT_EQ(kUntouched, byte);
}

TEST(HexToBytes, RefusesANullStringOrANullOutput)
{
    int result = -1;
    EXPECT_EQ((Bytes{kUntouched, kUntouched}), Convert(nullptr, 2, &result));
    EXPECT_EQ(0, result);
    EXPECT_EQ(0, HexToBytes(L"1a", nullptr, 1));
    EXPECT_EQ(1, HexToBytes(L"1a", nullptr, 0));
}

// Random bytes written out as lower-case digits come back, and arbitrary code
// units never make the conversion write outside its bytes.
TEST(HexToBytesFuzz, RoundTripsAndStaysInsideItsBytes)
{
    constexpr int kIterations = 20000;
    for (const unsigned seed : {1u, 2u}) {
        std::mt19937 random(seed);
        for (int iteration = 0; iteration < kIterations; ++iteration) {
            Bytes bytes(random() % 12);
            std::wstring digits;
            for (auto& byte : bytes) {
                byte = static_cast<unsigned char>(random());
                digits.insert(digits.begin(), L"0123456789abcdef"[byte & 0xF]);
                digits.insert(digits.begin(), L"0123456789abcdef"[byte >> 4]);
            }
            if (!digits.empty() && digits[0] == L'0' && random() % 2 == 0)
                digits.erase(0, 1); // an odd count reads the same
            ASSERT_EQ(bytes, Convert(digits, static_cast<int>(bytes.size())))
                << "seed " << seed << ", iteration " << iteration;

            std::wstring noise(1 + 2 * (random() % 5), L'\0');
            for (auto& unit : noise)
                unit = static_cast<wchar_t>(1 + random() % 0xFFFE);
            const int count = static_cast<int>(random() % 6);
            // An odd count of characters reads as if a '0' came first.
            const Bytes odd = Convert(noise, count);
            ASSERT_EQ(odd, Convert(L"0" + noise, count)) << "seed " << seed << ", iteration " << iteration;
            if (::testing::Test::HasFailure())
                return;
        }
    }
}
