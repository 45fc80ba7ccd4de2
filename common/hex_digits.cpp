#include "hex_digits.h"

#include <cwchar>

namespace {

unsigned DigitValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return static_cast<unsigned>(c - L'0');
    // Letters are lower case only; everything else lands wherever the offset puts it.
    return static_cast<unsigned>(c - 0x57) & 0xFFu;
}

} // namespace

int HexToBytes(const wchar_t* digits, unsigned char* bytes, int count)
{
    if (!digits || (count > 0 && !bytes))
        return 0;

    size_t end = std::wcslen(digits);
    for (int j = 0; j < count && end > 0; ++j) {
        const unsigned low = DigitValue(digits[end - 1]);
        const unsigned high = end >= 2 ? DigitValue(digits[end - 2]) : 0;
        // A low value above 15 spills into the high half; high bits past 8 are lost.
        bytes[j] = static_cast<unsigned char>((high << 4) | low);
        end = end >= 2 ? end - 2 : 0;
    }
    return 1;
}
