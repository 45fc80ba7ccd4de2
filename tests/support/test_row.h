// A row of the alias table as the tests read it from a list or the files,
// and the letter-case rule of the program (only A to Z fold) for their models.
#pragma once

#include <ostream>
#include <string>

namespace test {

struct Row {
    std::wstring alias, parameter, path;
    bool operator==(const Row&) const = default;
};
void PrintTo(const Row& row, std::ostream* os);

std::wstring Lowered(std::wstring text);
Row Lowered(const Row& row);

} // namespace test
