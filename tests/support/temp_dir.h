// A folder of its own for one test, removed with everything in it afterwards.
#pragma once

#include <string>

class TempDir {
public:
    // Creates a new folder under the system's temporary folder; the name may
    // carry a suffix (for instance characters outside the ANSI code page).
    explicit TempDir(const std::wstring& suffix = L"");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::wstring& path() const { return path_; }
    // path() + L"\\" + name
    std::wstring operator/(const std::wstring& name) const;

private:
    std::wstring path_;
};

// Helpers on real files.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool ReadFileBytes(const std::wstring& path, std::string* bytes);
bool MakeDirs(const std::wstring& path); // creates every missing folder of the path
bool RemoveTree(const std::wstring& path);
bool PathExists(const std::wstring& path); // a file or a folder
