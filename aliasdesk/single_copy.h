// One copy of aliasdesk per folder, so that the store's files have one
// writer: a second copy started in the same folder brings the first one's
// dialog to the front and ends.
#pragma once

#include "handles.h"

#include <windows.h>

#include <cstdint>

// Held while the program runs; a named mutex for the folder, whatever path
// (letter case, a substituted drive, a junction) leads to it.
class FolderClaim {
public:
    FolderClaim() = default;
    ~FolderClaim();
    FolderClaim(const FolderClaim&) = delete;
    FolderClaim& operator=(const FolderClaim&) = delete;

    // Takes the folder for this process. When another copy holds it, that
    // copy's dialog is brought to the front and false is answered; a copy
    // that is ending (its dialog gone) is waited for a few seconds.
    bool Take(const wchar_t* directory);

    // Marks the dialog as the one of the folder taken, for a second copy to
    // find; the mark goes with ForgetFolderDialog before the dialog does.
    void MarkDialog(HWND dlg) const;

private:
    UniqueHandle mutex_;
    bool owned_ = false;
    uint64_t key_ = 0;
};

void ForgetFolderDialog(HWND dlg);
