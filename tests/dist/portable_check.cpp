// Runs both programs from the folder a release zip was unpacked into
// (tests/dist/run_from_zip.sh): aliasdesk scans a tree and OK saves it,
// prefdesk saves its settings; each must show its version, end with code 0
// and keep its files beside itself.
// Usage: portable_check PROGRAM_FOLDER TREE_FOLDER. Exit code 0 when all holds.
#include "aliasdesk_driver.h"
#include "aliasdesk_ids.h"
#include "prefdesk_ids.h"
#include "program_versions.h"
#include "temp_dir.h"
#include "window_watch.h"

#include <cstdio>
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
    RunAliasdesk(argv[1], argv[2]);
    RunPrefdesk(argv[1]);
    return failures == 0 ? 0 : 1;
}
