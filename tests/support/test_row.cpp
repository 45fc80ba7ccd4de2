#include "test_row.h"

#include "ascii_text.h"
#include "wide_text.h"

namespace test {

void PrintTo(const Row& row, std::ostream* os)
{
    *os << "{" << NarrowAscii(row.alias) << " | " << NarrowAscii(row.parameter) << " | " << NarrowAscii(row.path)
        << "}";
}

std::wstring Lowered(std::wstring text)
{
    for (wchar_t& c : text)
        c = LowerAscii(c);
    return text;
}

Row Lowered(const Row& row)
{
    return {Lowered(row.alias), Lowered(row.parameter), Lowered(row.path)};
}

} // namespace test
