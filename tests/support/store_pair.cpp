#include "store_pair.h"

#include "temp_dir.h"

#include <windows.h>

#include <algorithm>
#include <random>

namespace {

// config.ini as text: UTF-16LE after its byte-order mark, else the ANSI code page.
std::wstring DecodeProfile(const std::string& bytes)
{
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE)
        return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    std::wstring text(bytes.size(), L'\0');
    const int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                                           static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(std::max(length, 0)));
    return text;
}

// config.ini's sections, in their order, with their "path" and "parameter".
std::vector<test::Row> ConfigRows(const std::vector<ProfileSection>& sections)
{
    std::vector<test::Row> rows;
    for (const ProfileSection& section : sections)
        rows.push_back({section.name, section.Value(L"parameter"), section.Value(L"path")});
    return rows;
}

// history.dat: UTF-16LE names, each ended by a zero unit; the writer put a
// 0x0D before every byte 0x0A.
std::vector<std::wstring> ParseHistory(std::string bytes, std::wstring* fault)
{
    for (size_t i = bytes.find("\r\n"); i != std::string::npos; i = bytes.find("\r\n", i))
        bytes.erase(i, 1);
    if (bytes.size() % 2) {
        *fault = L"history.dat has an odd length";
        return {};
    }
    const std::wstring units(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    if (!units.empty() && units.back() != L'\0')
        *fault = L"history.dat does not end with a terminator";
    std::vector<std::wstring> names;
    for (size_t p = 0; p < units.size();) {
        const size_t end = std::min(units.find(L'\0', p), units.size());
        names.push_back(units.substr(p, end - p));
        p = end + 1;
    }
    return names;
}

// The table of the pair, or why the pair is not whole.
void ReadTable(bool has_config, StorePair* pair)
{
    const std::vector<std::wstring> names = ParseHistory(pair->history, &pair->fault);
    const std::vector<test::Row> sections =
        has_config ? ConfigRows(ParseProfile(pair->config)) : std::vector<test::Row>{};
    if (!pair->fault.empty())
        return;
    if (names.size() != sections.size()) {
        pair->fault = L"history.dat lists " + std::to_wstring(names.size()) + L" names, config.ini has " +
            std::to_wstring(sections.size()) + L" sections";
        return;
    }
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i] != sections[i].alias) {
            pair->fault = L"name " + std::to_wstring(i) + L" differs: " + names[i] + L" / " + sections[i].alias;
            return;
        }
    }
    pair->rows = sections;
    pair->whole = true;
}

} // namespace

std::string Utf16(const std::wstring& text)
{
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

std::string RandomBytes(size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; i += 4) {
        const unsigned word = random();
        for (size_t j = 0; j < 4 && i + j < size; ++j)
            bytes[i + j] = static_cast<char>(word >> (8 * j));
    }
    return bytes;
}

StorePair ReadStorePair(const std::wstring& dir, const wchar_t* suffix)
{
    StorePair pair;
    const bool has_history = ReadFileBytes(dir + L"\\history.dat" + suffix, &pair.history);
    const bool has_config = ReadFileBytes(dir + L"\\config.ini" + suffix, &pair.config);
    if (has_history) {
        ReadTable(has_config, &pair);
    } else {
        pair.history = "<none>";
        pair.fault = L"no history.dat";
    }
    if (!has_config)
        pair.config = "<none>";
    return pair;
}

bool WriteStorePair(const std::wstring& dir, const std::vector<test::Row>& rows, const wchar_t* suffix)
{
    std::wstring names, config;
    for (const test::Row& row : rows) {
        names += row.alias + L'\0';
        config += L"[" + row.alias + L"]\r\npath=" + row.path + L"\r\nparameter=" + row.parameter + L"\r\n";
    }
    DeleteFileW((dir + L"\\config.ini" + suffix).c_str());
    return WriteFileBytes(dir + L"\\history.dat" + suffix, Utf16(names)) &&
        (rows.empty() || WriteFileBytes(dir + L"\\config.ini" + suffix, "\xFF\xFE" + Utf16(config)));
}

std::vector<test::Row> NumberedRows(const std::wstring& stem, int count)
{
    std::vector<test::Row> rows;
    for (int i = 0; i < count; ++i) {
        const std::wstring alias = stem + std::to_wstring(i);
        rows.push_back({alias, i % 3 ? L"" : L"/p" + std::to_wstring(i), L"c:\\tools\\" + alias + L".exe"});
    }
    return rows;
}

bool NoSaveLeftovers(const std::wstring& dir)
{
    for (const wchar_t* name : {L"config.new", L"history.new", L"config.cmt", L"config.bkn", L"config.bkd", L"history.bkn"})
        if (PathExists(dir + L"\\" + name))
            return false;
    return true;
}

std::vector<std::wstring> UnexpectedFiles(const std::wstring& dir, const std::vector<std::wstring>& expected)
{
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((dir + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return found;
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L".." && std::find(expected.begin(), expected.end(), name) == expected.end())
            found.push_back(name);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return found;
}

bool MakePrograms(const std::wstring& folder, const std::wstring& name, int count)
{
    if (!MakeDirs(folder))
        return false;
    for (int i = 0; i < count; ++i) {
        HANDLE file = CreateFileW((folder + L"\\" + name + std::to_wstring(i) + L".exe").c_str(), GENERIC_WRITE, 0,
                                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        CloseHandle(file);
    }
    return true;
}

std::wstring ProfileSection::Value(const std::wstring& key) const
{
    for (const auto& [found, value] : values)
        if (found == key)
            return value;
    return L"";
}

std::vector<ProfileSection> ParseProfile(const std::string& bytes)
{
    const std::wstring text = DecodeProfile(bytes);
    std::vector<ProfileSection> sections;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        const size_t equals = line.find(L'=');
        if (line.size() >= 2 && line.front() == L'[' && line.back() == L']')
            sections.push_back({line.substr(1, line.size() - 2), {}});
        else if (!sections.empty() && equals != std::wstring::npos)
            sections.back().values.emplace_back(line.substr(0, equals), line.substr(equals + 1));
    }
    return sections;
}
