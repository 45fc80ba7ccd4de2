#include "profile_file.h"

#include "handles.h"

int EnsureUnicodeProfile(const wchar_t* path)
{
    if (!path || !*path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    UniqueHandle file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return 0;
        const DWORD attributes = GetFileAttributesW(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            SetLastError(ERROR_DIRECTORY);
            return 0;
        }
        return 1;
    }

    static const BYTE kByteOrderMark[] = {0xFF, 0xFE};
    DWORD written = 0;
    if (WriteFile(file.get(), kByteOrderMark, sizeof(kByteOrderMark), &written, nullptr) &&
        written == sizeof(kByteOrderMark))
        return 1;
    const DWORD error = GetLastError();
    file.reset();
    DeleteFileW(path); // a file without its mark would turn ANSI on the first write
    SetLastError(error);
    return 0;
}
