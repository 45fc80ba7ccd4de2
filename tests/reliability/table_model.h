// The alias table as the program must show and save it, kept by the
// reliability runs beside the real program to compare it with.
#pragma once

#include "test_row.h"

#include <string>
#include <vector>

// What a save of the table writes: every text lowered (A to Z only), one
// row per alias in the order of first appearance, holding the last values.
std::vector<test::Row> SavedForm(const std::vector<test::Row>& table);

// The table as the program must show it, changed the way the program changes it.
class TableModel {
public:
    // A scan of a folder without subfolders: each program under its name,
    // or with a counter where the name lists a program of another folder.
    void Scan(const std::wstring& folder, const std::vector<std::wstring>& files);
    // Each header click turns the order round; equal cells keep their order.
    void Sort(int column);
    // The rows whose alias begins with the pattern (letter case aside).
    std::vector<test::Row> Matching(const std::wstring& pattern) const;
    void Edit(const std::wstring& alias, int column, const std::wstring& text); // column 1 or 2
    void Remove(const std::wstring& alias);

    std::vector<test::Row> rows;

private:
    test::Row* Find(const std::wstring& alias);

    bool ascending_ = false; // the program's first click sorts ascending
};

// The programs of a folder in the order the system lists them.
std::vector<std::wstring> ProgramsIn(const std::wstring& folder);
