#include "ui/FileDialogs.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

bool TFileDialog::Execute(HWND Owner) {
    // One filter entry: display text and pattern are the same, double NUL at the end.
    std::wstring Filters = Filter + L'\0' + Filter + L'\0';
    std::vector<wchar_t> Buffer(32768, L'\0');
    FileName.copy(Buffer.data(), std::min(FileName.size(), Buffer.size() - 1));

    OPENFILENAMEW Dialog{};
    Dialog.lStructSize = sizeof(Dialog);
    Dialog.hwndOwner = Owner;
    Dialog.lpstrFilter = Filters.c_str();
    Dialog.nFilterIndex = 1;
    Dialog.lpstrFile = Buffer.data();
    Dialog.nMaxFile = static_cast<DWORD>(Buffer.size());
    Dialog.lpstrTitle = Title.empty() ? nullptr : Title.c_str();
    Dialog.lpstrDefExt = DefaultExt.empty() ? nullptr : DefaultExt.c_str();
    Dialog.Flags = Options | OFN_EXPLORER;

    BOOL Confirmed = FKind == TKind::Open ? GetOpenFileNameW(&Dialog) : GetSaveFileNameW(&Dialog);
    if (!Confirmed) return false;
    FileName = Buffer.data();
    return true;
}
