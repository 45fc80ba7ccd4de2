#include "test_row.h"

#include "wide_text.h"

namespace test {

void PrintTo(const Row& row, std::ostream* os)
{
    auto narrow = [](const std::wstring& s) {
        std::string out;
        for (wchar_t c : s)
            out += c < 128 ? static_cast<char>(c) : '?';
        return out;
    };
    *os << "{" << narrow(row.alias) << " | " << narrow(row.parameter) << " | " << narrow(row.path) << "}";
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
