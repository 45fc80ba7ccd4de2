// Runs both programs from the folder a release zip was unpacked into
// (tests/dist/run_from_zip.sh): aliasdesk scans a tree and OK saves it,
// prefdesk saves its settings; each must end with code 0 and keep its files
// beside itself, and neither may leave anything in the registry.
// Usage: portable_check PROGRAM_FOLDER TREE_FOLDER. Exit code 0 when all holds.
#include "aliasdesk_driver.h"
#include "aliasdesk_ids.h"
#include "prefdesk_ids.h"
#include "program_versions.h"
#include "temp_dir.h"
#include "window_watch.h"

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

int failures = 0;

void Check(bool holds, const char* what)
{
    if (!holds) {
        fprintf(stderr, "portable_check: %s\n", what);
        ++failures;
    }
}

// Keys and values under a registry key down to a depth: "key" -> "",
// "key\\value" -> its type and data.
using RegistryImage = std::map<std::wstring, std::wstring>;

void ReadKey(HKEY root, const std::wstring& path, int depth, REGSAM view, RegistryImage& image)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return;
    image[path] = L"";
    std::vector<wchar_t> name(16384);
    std::vector<BYTE> data(1 << 16);
    for (DWORD i = 0;; ++i) {
        DWORD name_size = static_cast<DWORD>(name.size()), data_size = static_cast<DWORD>(data.size()), type = 0;
        const LSTATUS read = RegEnumValueW(key, i, name.data(), &name_size, nullptr, &type, data.data(), &data_size);
        if (read == ERROR_NO_MORE_ITEMS)
            break;
        std::wstring value = std::to_wstring(type) + L":";
        if (read == ERROR_SUCCESS)
            value.append(data.begin(), data.begin() + data_size); // a byte a character, enough to compare
        image[path + L"\\\\" + std::wstring(name.data(), name_size)] = value;
    }
    std::vector<std::wstring> subkeys;
    for (DWORD i = 0; depth > 0; ++i) {
        DWORD name_size = static_cast<DWORD>(name.size());
        if (RegEnumKeyExW(key, i, name.data(), &name_size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        subkeys.emplace_back(name.data(), name_size);
    }
    RegCloseKey(key);
    for (const std::wstring& subkey : subkeys)
        ReadKey(root, path.empty() ? subkey : path + L"\\" + subkey, depth - 1, view, image);
}

// The whole of the user's hive, and where a program would put keys of its
// own in the machine's: vendor and product under Software, in both views.
// (The machine's Software holds tens of thousands of keys and links between
// the views, too many to read whole.)
RegistryImage ReadRegistry()
{
    RegistryImage image;
    auto read = [&image](const wchar_t* root_name, HKEY root, const wchar_t* path, int depth, REGSAM view) {
        RegistryImage part;
        ReadKey(root, path, depth, view, part);
        for (const auto& [name, value] : part)
            image[std::wstring(root_name) + L"\\" + name] = value;
    };
    read(L"HKCU", HKEY_CURRENT_USER, L"", 64, 0);
    read(L"HKLM", HKEY_LOCAL_MACHINE, L"Software", 2, KEY_WOW64_64KEY);
    read(L"HKLM (32-bit)", HKEY_LOCAL_MACHINE, L"Software", 2, KEY_WOW64_32KEY);
    return image;
}

// Every key and value added, changed or deleted.
void CheckRegistryUnchanged(const RegistryImage& before, const RegistryImage& after)
{
    for (const RegistryImage* image : {&before, &after}) {
        const RegistryImage& other = image == &before ? after : before;
        for (const auto& [name, value] : *image) {
            const auto found = other.find(name);
            if (found == other.end() || found->second != value) {
                fprintf(stderr, "portable_check: the registry changed at %ls\n", name.c_str());
                ++failures;
            }
        }
    }
}

std::set<std::wstring> SectionNames(const std::wstring& file)
{
    std::vector<wchar_t> names(4096);
    GetPrivateProfileSectionNamesW(names.data(), static_cast<DWORD>(names.size()), file.c_str());
    std::set<std::wstring> sections;
    for (const wchar_t* name = names.data(); *name; name += wcslen(name) + 1)
        sections.insert(name);
    return sections;
}

void RunAliasdesk(const std::wstring& dir, const std::wstring& tree)
{
    AliasDesk desk(dir, L"C:\\"); // started from elsewhere, as from a shortcut
    Check(desk.ready(), "aliasdesk did not start");
    if (!desk.ready())
        return;
    Check(desk.Text(IDC_VERSION) == L"" ALIASDESK_VERSION_TEXT, "aliasdesk shows another version");
    Check(desk.Scan(tree) && desk.RowCount(IDC_MAIN_LIST) == 3, "aliasdesk did not list the tree's 3 programs");
    Check(desk.Click(IDC_OK), "aliasdesk's OK is disabled");
    Check(desk.program().WaitForExit() == 0, "aliasdesk did not end with code 0 after OK");
    const std::wstring config = dir + L"\\config.ini";
    Check(SectionNames(config) == std::set<std::wstring>{L"calc", L"notepad", L"player"},
          "config.ini beside aliasdesk does not hold the 3 aliases");
    std::string history;
    Check(ReadFileBytes(dir + L"\\history.dat", &history) && !history.empty(), "no history.dat beside aliasdesk");
}

void RunPrefdesk(const std::wstring& dir)
{
    RemoteProgram program(dir + L"\\prefdesk.exe", L"C:\\");
    HWND dlg = program.started() ? program.WaitForWindow(L"Velkor - Setting") : nullptr;
    Check(dlg != nullptr, "prefdesk did not start");
    if (!dlg)
        return;
    Check(WindowText(GetDlgItem(dlg, IDC_SETTINGS_VERSION)) == L"Version: " PREFDESK_VERSION_TEXT,
          "prefdesk shows another version");
    PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDC_SAVE, BN_CLICKED), 0);
    Check(program.WaitForExit() == 0, "prefdesk did not end with code 0 after Save");
    Check(PathExists(dir + L"\\settings.ini"), "no settings.ini beside prefdesk");
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: portable_check PROGRAM_FOLDER TREE_FOLDER\n");
        return 2;
    }
    const RegistryImage before = ReadRegistry();
    RunAliasdesk(argv[1], argv[2]);
    RunPrefdesk(argv[1]);
    CheckRegistryUnchanged(before, ReadRegistry());
    return failures == 0 ? 0 : 1;
}
