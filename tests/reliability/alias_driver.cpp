#include "alias_driver.h"

#include "ascii_text.h"
#include "platform.h"
#include "wide_text.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <map>

using namespace alias_ids;

namespace {

std::wstring Lowered(std::wstring text)
{
    for (wchar_t& c : text)
        c = LowerAscii(c);
    return text;
}

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
std::vector<AliasRow> ConfigRows(const std::vector<ProfileSection>& sections)
{
    std::vector<AliasRow> rows;
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

} // namespace

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

void PrintTo(const AliasRow& row, std::ostream* os)
{
    *os << "{" << NarrowAscii(row.alias) << ", " << NarrowAscii(row.parameter) << ", " << NarrowAscii(row.path) << "}";
}

std::vector<AliasRow> SavedForm(const std::vector<AliasRow>& table)
{
    std::vector<AliasRow> saved;
    std::map<std::wstring, size_t> place;
    for (const AliasRow& row : table) {
        const AliasRow lowered{Lowered(row.alias), Lowered(row.parameter), Lowered(row.path)};
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
    const std::wstring directory = Lowered(folder);
    for (const std::wstring& file : files) {
        const std::wstring name = Lowered(file);
        const std::wstring stem = name.substr(0, name.size() - 4);
        std::wstring alias = stem;
        for (int counter = 0;; ++counter) {
            const AliasRow* first = Find(alias);
            if (!first) {
                rows.push_back({alias, L"", directory + L"\\" + name});
                break;
            }
            if (Lowered(first->path).starts_with(directory))
                break; // listed already
            alias = stem + L"_#" + std::to_wstring(counter);
        }
    }
}

void TableModel::Sort(int column)
{
    ascending_ = !ascending_;
    auto cell = [column](const AliasRow& row) {
        return Lowered(column == 0 ? row.alias : column == 1 ? row.parameter : row.path);
    };
    std::stable_sort(rows.begin(), rows.end(), [&](const AliasRow& a, const AliasRow& b) {
        return ascending_ ? cell(a) < cell(b) : cell(b) < cell(a);
    });
}

std::vector<AliasRow> TableModel::Matching(const std::wstring& pattern) const
{
    std::vector<AliasRow> shown;
    for (const AliasRow& row : rows)
        if (Lowered(row.alias).starts_with(Lowered(pattern)))
            shown.push_back(row);
    return shown;
}

void TableModel::Edit(const std::wstring& alias, int column, const std::wstring& text)
{
    if (AliasRow* row = Find(alias))
        (column == 1 ? row->parameter : row->path) = text;
}

void TableModel::Remove(const std::wstring& alias)
{
    std::erase_if(rows, [&](const AliasRow& row) { return row.alias == alias; });
}

AliasRow* TableModel::Find(const std::wstring& alias)
{
    auto at = std::find_if(rows.begin(), rows.end(), [&](const AliasRow& row) { return row.alias == alias; });
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

bool WriteStorePair(const TempDir& dir, const std::vector<AliasRow>& rows)
{
    std::wstring names, config;
    for (const AliasRow& row : rows) {
        names += row.alias + L'\0';
        config += L"[" + row.alias + L"]\r\npath=" + row.path + L"\r\nparameter=" + row.parameter + L"\r\n";
    }
    DeleteFileW((dir / L"config.ini").c_str());
    return WriteFileBytes(dir / L"history.dat", Utf16(names)) &&
        (rows.empty() || WriteFileBytes(dir / L"config.ini", "\xFF\xFE" + Utf16(config)));
}

StoredPair ReadStorePair(const TempDir& dir)
{
    StoredPair pair;
    std::string history, config;
    if (!ReadFileBytes(dir / L"history.dat", &history)) {
        pair.fault = L"no history.dat";
        return pair;
    }
    const bool has_config = ReadFileBytes(dir / L"config.ini", &config);
    const std::vector<std::wstring> names = ParseHistory(history, &pair.fault);
    const std::vector<AliasRow> sections = has_config ? ConfigRows(ParseProfile(config)) : std::vector<AliasRow>{};
    if (!pair.fault.empty())
        return pair;
    if (names.size() != sections.size()) {
        pair.fault = L"history.dat lists " + std::to_wstring(names.size()) + L" names, config.ini has " +
            std::to_wstring(sections.size()) + L" sections";
        return pair;
    }
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i] != sections[i].alias) {
            pair.fault = L"name " + std::to_wstring(i) + L" differs: " + names[i] + L" / " + sections[i].alias;
            return pair;
        }
    }
    pair.rows = sections;
    pair.whole = true;
    return pair;
}

std::vector<std::wstring> UnexpectedFiles(const TempDir& dir, const std::vector<std::wstring>& expected)
{
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((dir / L"*").c_str(), &entry);
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

int ThreadCount(DWORD pid)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == pid;
    CloseHandle(snapshot);
    return count;
}

AliasDesk::AliasDesk(const TempDir& dir)
{
    const std::wstring exe = dir / L"aliasdesk.exe";
    if (GetFileAttributesW(exe.c_str()) == INVALID_FILE_ATTRIBUTES &&
        !CopyFileW((ProgramDir() + L"\\aliasdesk.exe").c_str(), exe.c_str(), FALSE))
        return;
    program_ = std::make_unique<RemoteProgram>(exe, dir.path());
    if (program_->started())
        dlg_ = program_->WaitForWindow(L"Velkor - Add");
}

std::string AliasDesk::NotReadyReason() const
{
    if (!program_)
        return "aliasdesk.exe could not be copied";
    if (!program_->started())
        return "aliasdesk.exe could not be started";
    const DWORD code = program_->WaitForExit(0);
    if (code == STILL_ACTIVE)
        return "no dialog came within the guard";
    char text[64];
    std::snprintf(text, sizeof text, "it ended before its dialog showed, code 0x%08lX",
                  static_cast<unsigned long>(code));
    return text;
}

std::wstring AliasDesk::Status() const
{
    return WindowText(Item(kStatus));
}

bool AliasDesk::MainListShown() const
{
    return IsWindowVisible(Item(kMainList)) && !IsWindowVisible(Item(kFilterList));
}

void AliasDesk::Click(int id)
{
    PostMessageW(dlg_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
}

void AliasDesk::PostClose(bool system_menu)
{
    if (system_menu)
        PostMessageW(dlg_, WM_SYSCOMMAND, SC_CLOSE, 0);
    else
        PostMessageW(dlg_, WM_CLOSE, 0, 0);
}

void AliasDesk::MarkStatus()
{
    SendMessageW(Item(kStatus), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"(driver)"));
}

bool AliasDesk::WaitPostedHandled()
{
    // The hidden edit is never used by the program: its text limit is the marker.
    HWND marker = Item(kUnusedEdit);
    const int value = ++marker_;
    PostMessageW(marker, EM_SETLIMITTEXT, static_cast<WPARAM>(value), 0);
    return WaitUntil([&] { return SendMessageW(marker, EM_GETLIMITTEXT, 0, 0) == value; });
}

void AliasDesk::TypePath(const std::wstring& folder)
{
    SendMessageW(Item(kPath), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    for (wchar_t c : folder)
        PostMessageW(Item(kPath), WM_CHAR, c, 1);
}

void AliasDesk::Type(const std::wstring& keys)
{
    for (wchar_t c : keys)
        PostMessageW(Item(kFilter), WM_CHAR, c, 1);
}

bool AliasDesk::WaitIdle(DWORD guard_ms)
{
    return WaitUntil(
        [&] {
            return Status() == L"Finished!" && IsWindowEnabled(Item(kAdd)) && IsWindowEnabled(Item(kApply)) &&
                IsWindowEnabled(Item(kOk)) && IsWindowEnabled(Item(kReload));
        },
        guard_ms);
}

bool AliasDesk::WaitThreadsAtMost(int threads, DWORD guard_ms)
{
    return WaitUntil([&] { return ThreadCount(program_->pid()) <= threads; }, guard_ms);
}

std::vector<AliasRow> AliasDesk::Rows(int list_id)
{
    HWND list = Item(list_id);
    std::vector<AliasRow> rows;
    const int count = program_->RowCount(list);
    for (int i = 0; i < count; ++i)
        rows.push_back({program_->Cell(list, i, 0), program_->Cell(list, i, 1), program_->Cell(list, i, 2)});
    return rows;
}

void AliasDesk::ClickAt(HWND window, const RECT& rect)
{
    const LPARAM where = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, where);
    PostMessageW(window, WM_LBUTTONUP, 0, where);
}

bool AliasDesk::EditCell(int list_id, int row, int column, const std::wstring& text)
{
    HWND list = Item(list_id);
    auto edit_box = [list] { return reinterpret_cast<HWND>(SendMessageW(list, LVM_GETEDITCONTROL, 0, 0)); };
    const RECT cell = program_->SubItemRect(list, row, column);
    ClickAt(list, cell);
    Sleep(GetDoubleClickTime() + 100); // a second click after this is no double click
    WaitPostedHandled();
    if (!edit_box()) {
        ClickAt(list, cell); // the first click only selected the row
        if (!WaitUntil([&] { return edit_box() != nullptr && IsWindowVisible(edit_box()); }, 10000))
            return false;
    }
    HWND box = edit_box();
    SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    PostMessageW(box, WM_KEYDOWN, VK_RETURN, 1 | (MapVirtualKeyW(VK_RETURN, MAPVK_VK_TO_VSC) << 16));
    return WaitUntil([&] { return edit_box() == nullptr; }, 10000);
}

void AliasDesk::ClickHeader(int list_id, int column)
{
    HWND list = Item(list_id);
    ClickAt(reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0)), program_->HeaderItemRect(list, column));
}

bool AliasDesk::SelectOnly(int list_id, const std::vector<int>& rows)
{
    HWND list = Item(list_id);
    bool done = program_->SetSelected(list, -1, false);
    for (int row : rows)
        done = program_->SetSelected(list, row, true) && done;
    return done;
}

void AliasDesk::PressDelete(int list_id)
{
    const UINT scan = MapVirtualKeyW(VK_DELETE, MAPVK_VK_TO_VSC);
    PostMessageW(Item(list_id), WM_KEYDOWN, VK_DELETE, 1 | (scan << 16));
    PostMessageW(Item(list_id), WM_KEYUP, VK_DELETE, static_cast<LPARAM>(1u | (scan << 16) | 0xC0000000u));
}
