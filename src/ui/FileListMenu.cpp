// The context menu of a listed file: open it, show it in Explorer, copy its
// full path to the clipboard.
#include "base/UniqueHandle.h"
#include "platform/Language.h"
#include "platform/MessageBoxes.h"
#include "platform/Shell.h"
#include "ui/MainDesign.h"

#include <algorithm>
#include <cstring>

namespace {

// The clipboard opened for one window, closed at the end of the scope.
class TClipboardScope {
public:
    explicit TClipboardScope(HWND Owner) {
        // Another program may hold it for a moment.
        for (int Try = 0; Try < 10 && !FOpen; ++Try) {
            FOpen = OpenClipboard(Owner) != FALSE;
            if (!FOpen) Sleep(20);
        }
    }
    ~TClipboardScope() {
        if (FOpen) CloseClipboard();
    }
    TClipboardScope(const TClipboardScope&) = delete;
    TClipboardScope& operator=(const TClipboardScope&) = delete;
    bool Open() const { return FOpen; }

private:
    bool FOpen = false;
};

// Text as CF_UNICODETEXT; false when the clipboard could not take it.
bool PutTextOnClipboard(HWND Owner, const std::wstring& Text) {
    const size_t Bytes = (Text.size() + 1) * sizeof(wchar_t);
    HGLOBAL Block = GlobalAlloc(GMEM_MOVEABLE, Bytes);
    if (!Block) return false;
    if (void* Target = GlobalLock(Block)) {
        std::memcpy(Target, Text.c_str(), Bytes);
        GlobalUnlock(Block);
    } else {
        GlobalFree(Block);
        return false;
    }
    TClipboardScope Clipboard(Owner);
    if (!Clipboard.Open() || !EmptyClipboard() || !SetClipboardData(CF_UNICODETEXT, Block)) {
        GlobalFree(Block);
        return false;
    }
    return true;  // the clipboard owns the block now
}

}  // namespace

void TfrmMain::lvFilesContextPopup(POINT Screen, bool FromKeyboard) {
    if (Run.WorkInProgress) return;
    const std::int32_t Index = SelectedFileIndex();
    if (Index < 0 || Index >= FileItemCount()) return;
    if (FromKeyboard) {
        // Below the start of the file's row, kept inside the list.
        RECT Row{};
        ListView_GetItemRect(lvFiles, Index, &Row, LVIR_LABEL);
        RECT Client{};
        GetClientRect(lvFiles, &Client);
        Screen = POINT{Row.left + ScaleForDpi(8), std::min(Row.bottom, Client.bottom)};
        ClientToScreen(lvFiles, &Screen);
    }
    UniqueMenu Menu(CreatePopupMenu());
    if (!Menu) return;
    const bool English = !UseSwedish();
    for (const TMenuText& Item : FileListMenuItems())
        AppendMenuW(Menu.Get(), MF_STRING, Item.Item, MenuCaption(Item, English).c_str());
    // Open does what a double click does: the default, drawn in bold.
    SetMenuDefaultItem(Menu.Get(), pmFilesOpen, FALSE);
    const UINT Command = static_cast<UINT>(TrackPopupMenu(
        Menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN, Screen.x, Screen.y, 0, FHandle,
        nullptr));
    // The row the menu was opened for, even if the list changed meanwhile.
    if (Command == 0 || SelectedFileIndex() != Index) return;
    switch (Command) {
    case pmFilesOpen: pmFilesOpenClick(); break;
    case pmFilesOpenFolder: pmFilesOpenFolderClick(); break;
    case pmFilesCopyPath: pmFilesCopyPathClick(); break;
    }
}

void TfrmMain::pmFilesOpenClick() { OpenSelectedFile(); }

void TfrmMain::pmFilesOpenFolderClick() {
    const std::wstring Path = SelectedFilePath();
    if (!Path.empty()) ShowInExplorer(Path);
}

void TfrmMain::pmFilesCopyPathClick() {
    const std::wstring Path = SelectedFilePath();
    if (Path.empty()) return;
    if (!PutTextOnClipboard(FHandle, Path))
        ShowError(FHandle, ChooseText(UseSwedish(), L"Sökvägen kunde inte kopieras.", L"The path could not be copied."));
}
