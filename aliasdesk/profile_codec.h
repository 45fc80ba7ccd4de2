// config.ini in one pass instead of one profile call per key.
//
// Every WritePrivateProfileStringW rewrites the whole file and every
// GetPrivateProfileStringW searches the section list, so a table of thousands
// of aliases takes minutes to save and seconds to load. These functions write
// and read the file themselves, but only where their result is exactly what
// the profile functions give; whatever they cannot vouch for is left to the
// profile functions.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// One row of the main table; the caller lowers all three texts.
struct ConfigRow {
    std::wstring alias; // the section name
    std::wstring parameter;
    std::wstring path;
};

// config.ini as the profile functions leave it after each row's "path" and
// then "parameter" were written, in row order, into a file that held only the
// UTF-16LE byte-order mark: one section per alias in the place of its first
// row, holding the values of its last row.
struct ConfigImage {
    // False when a row holds something whose treatment by the profile
    // functions is not reproduced here (blanks at the ends, line breaks,
    // brackets in an alias, aliases that may match each other without regard
    // to letter case, ...): bytes and names are then empty, and the rows must
    // be written with the profile functions.
    bool fast = false;
    std::string bytes; // the whole file; empty for a table without rows, which has no file
    // As GetPrivateProfileSectionNamesW lists the file: each name followed by one zero.
    std::vector<wchar_t> section_names;
};

ConfigImage EncodeConfig(const std::vector<ConfigRow>& rows);

// One section of a config.ini that was read; offsets count code units of the text.
struct ConfigSection {
    size_t name_at = 0, name_length = 0;
    size_t path_at = 0, path_length = 0;
    size_t parameter_at = 0, parameter_length = 0;
    bool has_path = false, has_parameter = false;
    // Nothing in it that only the profile functions can interpret, and no
    // other section of the same name, letter case aside.
    bool answerable = true;
};

// A config.ini read once. Lookups that the text answers beyond doubt are
// answered from it; all others go to the profile functions on the file, so
// every answer is the system's. Move-only: the maps point into the text.
struct ConfigIndex {
    std::wstring file;
    bool read = false; // the file's bytes were read; false for a file that is there but held elsewhere
    std::vector<wchar_t> text;
    bool answerable = false; // false: the file is not in a form read here, every lookup is delegated
    std::vector<ConfigSection> sections;
    std::unordered_map<std::wstring_view, size_t> by_name;
    // Names that a case-blind comparison may confuse share a key here.
    std::unordered_map<std::wstring, unsigned> names_by_fold;

    ConfigIndex() = default;
    ConfigIndex(ConfigIndex&&) = default;
    ConfigIndex& operator=(ConfigIndex&&) = default;
    ConfigIndex(const ConfigIndex&) = delete;
    ConfigIndex& operator=(const ConfigIndex&) = delete;
};

// Reads the file at path as it is now; a file that cannot be read gives an
// index that delegates every lookup.
ConfigIndex ReadConfigIndex(const wchar_t* path);

// What GetPrivateProfileStringW (section, key, no default, buffer, capacity,
// the index's file) gives, and the same count.
DWORD ReadConfigString(const ConfigIndex& index, const wchar_t* section, const wchar_t* key, wchar_t* buffer,
                       DWORD capacity);

// True when ReadConfigString answers this lookup from the text without asking
// the profile functions.
bool ConfigAnswersLocally(const ConfigIndex& index, const wchar_t* section, const wchar_t* key, DWORD capacity);
