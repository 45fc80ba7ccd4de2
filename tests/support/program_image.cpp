#include "program_image.h"

#include <algorithm>
#include <cctype>
#include <cstring>

MappedImage::MappedImage(const std::wstring& path)
    : module_(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE))
{
}

MappedImage::~MappedImage()
{
    if (module_)
        FreeLibrary(module_);
}

std::vector<std::string> MappedImage::ImportedModules() const
{
    const auto* base = reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(module_) & ~ULONG_PTR{3});
    const auto* nt =
        reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    std::vector<std::string> names;
    for (int entry : {IMAGE_DIRECTORY_ENTRY_IMPORT, IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT}) {
        const DWORD rva = nt->OptionalHeader.DataDirectory[entry].VirtualAddress;
        // Both kinds of descriptor name their module at the same place.
        const size_t stride = entry == IMAGE_DIRECTORY_ENTRY_IMPORT ? sizeof(IMAGE_IMPORT_DESCRIPTOR) : 32;
        const size_t name_at = entry == IMAGE_DIRECTORY_ENTRY_IMPORT ? 12 : 4;
        for (const BYTE* d = rva ? base + rva : nullptr; d; d += stride) {
            DWORD name_rva;
            memcpy(&name_rva, d + name_at, sizeof(name_rva));
            if (!name_rva)
                break;
            std::string name = reinterpret_cast<const char*>(base + name_rva);
            std::transform(name.begin(), name.end(), name.begin(),
                           [](char c) { return static_cast<char>(tolower(c)); });
            names.push_back(name);
        }
    }
    return names;
}

std::string MappedImage::Manifest() const
{
    HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    if (!found)
        return "";
    const auto* data = static_cast<const char*>(LockResource(LoadResource(module_, found)));
    return std::string(data, SizeofResource(module_, found));
}

FileVersions VersionsOf(const std::wstring& exe)
{
    DWORD ignored = 0;
    std::vector<BYTE> block(GetFileVersionInfoSizeW(exe.c_str(), &ignored));
    if (block.empty() || !GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(block.size()), block.data()))
        return {};
    VS_FIXEDFILEINFO* info = nullptr;
    UINT size = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &size))
        return {};
    auto text = [](DWORD high, DWORD low) {
        return std::to_wstring(HIWORD(high)) + L"." + std::to_wstring(LOWORD(high)) + L"." +
            std::to_wstring(HIWORD(low)) + L"." + std::to_wstring(LOWORD(low));
    };
    FileVersions versions{text(info->dwFileVersionMS, info->dwFileVersionLS),
                          text(info->dwProductVersionMS, info->dwProductVersionLS), L""};
    wchar_t* file_text = nullptr;
    if (VerQueryValueW(block.data(), L"\\StringFileInfo\\040904b0\\FileVersion", reinterpret_cast<void**>(&file_text),
                       &size) && size)
        versions.file_text = file_text;
    return versions;
}
