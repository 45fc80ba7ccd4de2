#include "table_model.h"

#include <windows.h>

#include <algorithm>
#include <map>

std::vector<test::Row> SavedForm(const std::vector<test::Row>& table)
{
    std::vector<test::Row> saved;
    std::map<std::wstring, size_t> place;
    for (const test::Row& row : table) {
        const test::Row lowered = test::Lowered(row);
        const auto [at, added] = place.emplace(lowered.alias, saved.size());
        if (added)
            saved.push_back(lowered);
        else
            saved[at->second] = lowered;
    }
    return saved;
}

void TableModel::Scan(const std::wstring& folder, const std::vector<std::wstring>& files)
{
    const std::wstring directory = test::Lowered(folder);
    for (const std::wstring& file : files) {
        const std::wstring name = test::Lowered(file);
        const std::wstring stem = name.substr(0, name.size() - 4);
        std::wstring alias = stem;
        for (int counter = 0;; ++counter) {
            const test::Row* first = Find(alias);
            if (!first) {
                rows.push_back({alias, L"", directory + L"\\" + name});
                break;
            }
            if (test::Lowered(first->path).starts_with(directory))
                break; // listed already
            alias = stem + L"_#" + std::to_wstring(counter);
        }
    }
}

void TableModel::Sort(int column)
{
    ascending_ = !ascending_;
    auto cell = [column](const test::Row& row) {
        return test::Lowered(column == 0 ? row.alias : column == 1 ? row.parameter : row.path);
    };
    std::stable_sort(rows.begin(), rows.end(), [&](const test::Row& a, const test::Row& b) {
        return ascending_ ? cell(a) < cell(b) : cell(b) < cell(a);
    });
}

std::vector<test::Row> TableModel::Matching(const std::wstring& pattern) const
{
    std::vector<test::Row> shown;
    for (const test::Row& row : rows)
        if (test::Lowered(row.alias).starts_with(test::Lowered(pattern)))
            shown.push_back(row);
    return shown;
}

void TableModel::Edit(const std::wstring& alias, int column, const std::wstring& text)
{
    if (test::Row* row = Find(alias))
        (column == 1 ? row->parameter : row->path) = text;
}

void TableModel::Remove(const std::wstring& alias)
{
    std::erase_if(rows, [&](const test::Row& row) { return row.alias == alias; });
}

test::Row* TableModel::Find(const std::wstring& alias)
{
    auto at = std::find_if(rows.begin(), rows.end(), [&](const test::Row& row) { return row.alias == alias; });
    return at == rows.end() ? nullptr : &*at;
}

std::vector<std::wstring> ProgramsIn(const std::wstring& folder)
{
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*.exe").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return files;
    do
        files.push_back(entry.cFileName);
    while (FindNextFileW(search, &entry));
    FindClose(search);
    return files;
}
