// A built program's image read without running it: its imports, version
// block and manifest.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The program's image mapped as it would run, without running anything of it.
class MappedImage {
public:
    explicit MappedImage(const std::wstring& path);
    ~MappedImage();
    MappedImage(const MappedImage&) = delete;
    MappedImage& operator=(const MappedImage&) = delete;

    HMODULE module() const { return module_; }
    std::vector<std::string> ImportedModules() const; // lower case, load-time and delay-loaded
    std::string Manifest() const; // resource 1 of RT_MANIFEST; empty when there is none

private:
    HMODULE module_;
};

// The version block: the fixed file and product versions as dotted text, and
// the file version of the US English string table. Empty when missing.
struct FileVersions {
    std::wstring file, product, file_text;
};
FileVersions VersionsOf(const std::wstring& exe);
