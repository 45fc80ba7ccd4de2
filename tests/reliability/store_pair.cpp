#include "store_pair.h"

#include "platform.h"
#include "temp_dir.h"

#include <random>

namespace {

constexpr int kAdd = 1002, kPath = 1003, kMainList = 1012, kApply = 1017, kStatus = 1021;

std::string FileOrNone(const std::wstring& path)
{
    std::string bytes;
    return ReadFileBytes(path, &bytes) ? bytes : std::string("<none>");
}

bool Missing(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
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

StorePair ReadPair(const std::wstring& dir)
{
    return {FileOrNone(dir + L"\\history.dat"), FileOrNone(dir + L"\\config.ini")};
}

bool WriteTable(const std::wstring& dir, const std::wstring& prefix, int rows)
{
    std::wstring names, config = L"\xFEFF";
    for (int i = 0; i < rows; ++i) {
        const std::wstring name = prefix + std::to_wstring(i);
        names += name + L'\0';
        config += L"[" + name + L"]\r\npath=c:\\programs\\" + name + L".exe\r\nparameter=\r\n";
    }
    return WriteFileBytes(dir + L"\\history.dat", Utf16(names)) &&
        WriteFileBytes(dir + L"\\config.ini", rows ? Utf16(config) : std::string());
}

bool NoSaveLeftovers(const std::wstring& dir)
{
    return Missing(dir + L"\\config.cmt") && Missing(dir + L"\\config.new") && Missing(dir + L"\\history.new");
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

bool WaitUntil(const std::function<bool()>& done, DWORD guard_ms)
{
    const ULONGLONG deadline = GetTickCount64() + guard_ms;
    while (!done()) {
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(2);
    }
    return true;
}

AliasdeskInFolder::AliasdeskInFolder(std::wstring dir) : dir_(std::move(dir)), exe_(dir_ + L"\\aliasdesk.exe")
{
    CopyFileW((ProgramDir() + L"\\aliasdesk.exe").c_str(), exe_.c_str(), FALSE);
}

bool AliasdeskInFolder::Start()
{
    program_ = std::make_unique<RemoteProgram>(exe_, dir_);
    dlg_ = program_->WaitForWindow(L"Velkor - Add");
    if (!dlg_)
        return false;
    // A load leaves "Finished!"; without files to load the status keeps its text.
    const bool nothing_to_load = Missing(dir_ + L"\\history.dat") || Missing(dir_ + L"\\config.ini");
    return WaitUntil([&] {
        return IsWindowEnabled(GetDlgItem(dlg_, kApply)) &&
            (nothing_to_load || Status() == L"Finished!" || Status() == L"Load failed!");
    });
}

void AliasdeskInFolder::Kill()
{
    TerminateProcess(program_->process(), 9);
    WaitForSingleObject(program_->process(), 30000);
}

DWORD AliasdeskInFolder::Close()
{
    PostMessageW(dlg_, WM_CLOSE, 0, 0);
    return program_->WaitForExit();
}

bool AliasdeskInFolder::Scan(const std::wstring& folder)
{
    SendMessageW(GetDlgItem(dlg_, kPath), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
    MarkStatus();
    if (!Press(kAdd))
        return false;
    return WaitUntil([&] {
        return IsWindowEnabled(GetDlgItem(dlg_, kAdd)) && IsWindowEnabled(GetDlgItem(dlg_, kApply)) &&
            Status() == L"Finished!";
    });
}

bool AliasdeskInFolder::Press(int id)
{
    HWND button = GetDlgItem(dlg_, id);
    if (!IsWindowEnabled(button))
        return false;
    return PostMessageW(dlg_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button)) != FALSE;
}

void AliasdeskInFolder::MarkStatus()
{
    SendMessageW(GetDlgItem(dlg_, kStatus), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"-"));
}

std::wstring AliasdeskInFolder::Status()
{
    return WindowText(GetDlgItem(dlg_, kStatus));
}

int AliasdeskInFolder::Rows()
{
    return program_->RowCount(GetDlgItem(dlg_, kMainList));
}

std::wstring AliasdeskInFolder::Cell(int row, int column)
{
    return program_->Cell(GetDlgItem(dlg_, kMainList), row, column);
}

HWND AliasdeskInFolder::WaitForBox(const std::wstring& title, DWORD guard_ms)
{
    return program_->WaitForWindow(title, guard_ms);
}

std::wstring AliasdeskInFolder::BoxText(HWND box)
{
    return WindowText(GetDlgItem(box, 0xFFFF)); // the message text of a message box
}
