#include "store_files.h"

#include "handles.h"

#include <cstring>
#include <vector>

namespace {

constexpr char kReplaceConfig[] = "config.ini: replace\r\n";
constexpr char kDeleteConfig[] = "config.ini: delete\r\n";

// path with its last extension (the three characters after the last dot of
// the file name) replaced.
std::wstring WithExtension(const std::wstring& path, const wchar_t* extension)
{
    const size_t dot = path.find_last_of(L'.');
    const size_t name = path.find_last_of(L"\\/");
    if (dot == std::wstring::npos || (name != std::wstring::npos && dot < name))
        return path + L"." + extension;
    return path.substr(0, dot + 1) + extension;
}

// Where a save writes before its commit: the names of one program version.
struct SaveNames {
    std::wstring config, history, mark;
    // The pair the save replaces, staged before its mark to become the
    // backup pair; config_gone stands for a config.ini there was none of.
    // Empty for an earlier version, which kept no backups.
    std::wstring config_staged, config_gone, history_staged;
};

SaveNames CurrentNames(const wchar_t* config_path)
{
    const std::wstring history = HistoryPath(config_path);
    return {SavingPath(config_path),           SavingPath(history),                CommitMarkPath(config_path),
            WithExtension(config_path, L"bkn"), WithExtension(config_path, L"bkd"), WithExtension(history, L"bkn")};
}

// An earlier version appended to the whole names; a save of it that was
// interrupted is finished, or dropped, all the same.
SaveNames EarlierNames(const wchar_t* config_path)
{
    const std::wstring config = config_path;
    return {config + L".saving", HistoryPath(config_path) + L".saving", config + L".commit", L"", L"", L""};
}

// Antivirus, the search indexer and sync clients open a file just written or
// replaced for a moment; what fails with these errors may work a little later.
bool MayPass(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

// Tries again with a growing pause, about 2 s in all, while the error may pass.
template <typename Attempt> bool RetryWhileBusy(Attempt attempt)
{
    constexpr DWORD kPausesMs[] = {10, 20, 40, 80, 160, 320, 500, 500, 500};
    for (DWORD pause : kPausesMs) {
        if (attempt())
            return true;
        if (!MayPass(GetLastError()))
            return false;
        Sleep(pause);
    }
    return attempt();
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool ReadWholeFile(const std::wstring& path, std::string* bytes)
{
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > 0x7FFFFFFF)
        return false;
    bytes->resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    return bytes->empty() ||
        (ReadFile(file.get(), bytes->data(), static_cast<DWORD>(bytes->size()), &read, nullptr) &&
         read == bytes->size());
}

// Undoes the writer's expansion: a 0x0D right before a 0x0A goes.
std::string DecodeHistory(const std::string& raw)
{
    std::string bytes;
    bytes.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')
            continue;
        bytes += raw[i];
    }
    return bytes;
}

bool Replace(const std::wstring& from, const std::wstring& to)
{
    return RetryWhileBusy([&] {
        return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    });
}

bool RemoveIfPresent(const std::wstring& path)
{
    return RetryWhileBusy([&] { return DeleteFileW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND; });
}

// A target that exists must be replaceable, or the commit would stop halfway.
bool CanReplace(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return true;
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return RetryWhileBusy([&] {
        UniqueHandle probe(CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        return static_cast<bool>(probe);
    });
}

// The pair the save replaces, copied to become the backup pair once the save
// commits; history last, so that its staged copy says the staging is whole.
// Nothing is staged when no pair was saved yet.
bool StageBackup(const wchar_t* config_path, const SaveNames& names)
{
    const std::wstring config = config_path;
    const std::wstring history = HistoryPath(config_path);
    // Where the backup's longer names do not fit, the save goes on without one.
    if (!Exists(history) || BackupPath(history).size() >= MAX_PATH)
        return true;
    std::string bytes;
    auto copy = [&bytes](const std::wstring& from, const std::wstring& to) {
        return RetryWhileBusy([&] { return ReadWholeFile(from, &bytes); }) && WriteWholeFile(to, bytes);
    };
    const bool config_staged =
        Exists(config) ? copy(config, names.config_staged) : WriteWholeFile(names.config_gone, std::string());
    return config_staged && copy(history, names.history_staged) && CanReplace(BackupPath(config)) &&
        CanReplace(BackupPath(history));
}

// The backup pair takes what was staged, config first: while the staged
// history stands, the step has not ended, and it may run again.
bool FinishBackup(const wchar_t* config_path, const SaveNames& names)
{
    if (names.history_staged.empty() || !Exists(names.history_staged))
        return true;
    const std::wstring config_backup = BackupPath(config_path);
    bool done = true;
    if (Exists(names.config_staged))
        done = Replace(names.config_staged, config_backup);
    else if (Exists(names.config_gone))
        done = RemoveIfPresent(config_backup) && RemoveIfPresent(names.config_gone);
    return done && Replace(names.history_staged, BackupPath(HistoryPath(config_path)));
}

// The steps after the commit mark; each may run again after an interruption.
bool FinishCommit(const wchar_t* config_path, const SaveNames& names, bool config_present)
{
    const std::wstring config = config_path;
    bool done = FinishBackup(config_path, names);
    done = done &&
        (config_present ? (!Exists(names.config) || Replace(names.config, config))
                        : RemoveIfPresent(config) && RemoveIfPresent(names.config));
    done = done && (!Exists(names.history) || Replace(names.history, HistoryPath(config_path)));
    return done && RemoveIfPresent(names.mark);
}

void Recover(const wchar_t* config_path, const SaveNames& names)
{
    std::string mark;
    if (Exists(names.mark)) {
        // A mark that is there but cannot be read may be whole: nothing is
        // known about the save, so nothing of it is touched.
        if (!RetryWhileBusy([&] { return ReadWholeFile(names.mark, &mark); }))
            return;
        if (mark == kReplaceConfig || mark == kDeleteConfig) {
            FinishCommit(config_path, names, mark == kReplaceConfig);
            return;
        }
    }
    // No complete mark: the save never committed, and the old pairs stand.
    for (const std::wstring* name : {&names.config, &names.history, &names.mark, &names.config_staged,
                                     &names.config_gone, &names.history_staged}) {
        if (!name->empty())
            DeleteFileW(name->c_str());
    }
}

} // namespace

int ReadHistoryFile(wchar_t* buffer, int capacity, int* units)
{
    if (!buffer || capacity <= 0 || !units)
        return 0;
    *units = 0;
    std::string raw;
    if (!ReadWholeFile(kHistoryFile, &raw))
        return 0;
    const std::string bytes = DecodeHistory(raw);
    const size_t complete = bytes.size() / sizeof(wchar_t);
    const size_t copied = complete < static_cast<size_t>(capacity) ? complete : static_cast<size_t>(capacity);
    memcpy(buffer, bytes.data(), copied * sizeof(wchar_t));
    *units = static_cast<int>(copied);
    return complete < static_cast<size_t>(capacity) ? 1 : 0;
}

bool ReadHistoryNames(const std::wstring& path, std::vector<wchar_t>* names)
{
    std::string raw;
    if (!ReadWholeFile(path, &raw))
        return false;
    const std::string bytes = DecodeHistory(raw);
    names->assign(bytes.size() / sizeof(wchar_t) + 1, L'\0');
    memcpy(names->data(), bytes.data(), (names->size() - 1) * sizeof(wchar_t));
    return true;
}

std::string EncodeHistory(const wchar_t* units, size_t count)
{
    const auto* bytes = reinterpret_cast<const char*>(units);
    std::string encoded;
    encoded.reserve(count * sizeof(wchar_t));
    for (size_t i = 0; i < count * sizeof(wchar_t); ++i) {
        if (bytes[i] == '\n')
            encoded += '\r';
        encoded += bytes[i];
    }
    return encoded;
}

std::wstring SavingPath(const std::wstring& path)
{
    return WithExtension(path, L"new");
}

std::wstring HistoryPath(const wchar_t* config_path)
{
    const std::wstring config = config_path;
    const size_t name = config.find_last_of(L"\\/");
    return (name == std::wstring::npos ? L"" : config.substr(0, name + 1)) + kHistoryFile;
}

std::wstring BackupPath(const std::wstring& path)
{
    return path + L".bak";
}

std::wstring CommitMarkPath(const std::wstring& config_path)
{
    return WithExtension(config_path, L"cmt");
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes)
{
    UniqueHandle file;
    if (!RetryWhileBusy([&] {
            file.reset(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                   nullptr));
            return static_cast<bool>(file);
        }))
        return false;
    DWORD written = 0;
    if (bytes.empty())
        return FlushFileBuffers(file.get()) != FALSE;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        return false;
    if (written != bytes.size()) {
        // A write that stops short without an error: the disk ran out of space
        // (Wine reports a partly done write on a full disk as a success).
        SetLastError(ERROR_DISK_FULL);
        return false;
    }
    return FlushFileBuffers(file.get()) != FALSE;
}

Commit CommitSavedPair(const wchar_t* config_path, bool config_present)
{
    const std::wstring config = config_path;
    if (!CanReplace(config) || !CanReplace(HistoryPath(config_path)) ||
        !StageBackup(config_path, CurrentNames(config_path)))
        return Commit::Failed;
    // From the moment the mark is on disk, the new pair is the store.
    const std::string mark = config_present ? kReplaceConfig : kDeleteConfig;
    if (!WriteWholeFile(CommitMarkPath(config_path), mark)) {
        const DWORD error = GetLastError();
        DeleteFileW(CommitMarkPath(config_path).c_str());
        SetLastError(error);
        return Commit::Failed;
    }
    return FinishCommit(config_path, CurrentNames(config_path), config_present) ? Commit::Done : Commit::Pending;
}

bool IsCommitPending(const wchar_t* config_path)
{
    return Exists(CommitMarkPath(config_path));
}

bool RecoverInterruptedSave(const wchar_t* config_path)
{
    Recover(config_path, EarlierNames(config_path));
    Recover(config_path, CurrentNames(config_path));
    const DWORD error = GetLastError();
    const bool settled = !IsCommitPending(config_path) && !Exists(EarlierNames(config_path).mark);
    SetLastError(settled ? ERROR_SUCCESS : (error ? error : ERROR_SHARING_VIOLATION));
    return settled;
}
