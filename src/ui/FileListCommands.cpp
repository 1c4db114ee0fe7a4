// What the user does with the window besides a run: the keyboard commands F4
// (export the list), F8 (encoding mode) and F12 (editor), opening a listed file,
// the folder dialog and a folder dropped on the window, Ctrl+A in the
// multi-line boxes, and the list following the folder box.
#include "files/FileCollection.h"
#include "files/SafeFileWriter.h"
#include "platform/Language.h"
#include "platform/MessageBoxes.h"
#include "platform/Messages.h"
#include "platform/Shell.h"
#include "ui/Main.h"
#include "ui/MainTexts.h"

#include <shellapi.h>

namespace {

std::wstring QuoteString(std::wstring_view Text) { return L"\"" + std::wstring(Text) + L"\""; }

}  // namespace

// Opens the selected file in the editor: "EDITOR" "folder\caption", with the
// system's Notepad when no editor has been chosen. A failure to start is not shown.
void TfrmMain::OpenSelectedFile() {
    const std::wstring Path = SelectedFilePath();
    if (!Path.empty()) OpenFileInEditor(Path);
}

void TfrmMain::OpenFileInEditor(const std::wstring& Path) {
    const std::wstring Program = QuoteString(EditorPath.empty() ? std::wstring(L"NOTEPAD") : EditorPath);
    RunCommandLine(Program + L" " + QuoteString(Path));
}

std::wstring TfrmMain::SelectedFilePath() const {
    const std::int32_t Index = SelectedFileIndex();
    if (Index < 0 || Index >= FileItemCount()) return {};
    return WithTrailingBackslash(ControlText(txtFolder)) + FileItem(Index).Caption;
}

void TfrmMain::FormKeyDown(WORD& Key, TShiftState Shift) {
    if (Run.WorkInProgress) return;
    // Shift+F4, Ctrl+F8, Alt+F4 and the like are not these commands. The key is
    // not consumed: the focused control still receives it.
    if (Shift != 0) return;
    if (Key == VK_F12) {
        if (!EditorPath.empty()) odEditor.FileName = EditorPath;
        if (odEditor.Execute(FHandle)) EditorPath = odEditor.FileName;
    } else if (Key == VK_F8) {
        CurrentEncodingMode = NextEncodingMode(CurrentEncodingMode);
        ComposeModeTitle();
    } else if (Key == VK_F4) {
        const bool Swedish = UseSwedish();
        if (FileItemCount() == 0) {
            ShowError(FHandle, ChooseText(Swedish, L"Fillistan är tom.", L"The file list is empty."));
            return;
        }
        // One line per item, "folder\caption (count)", joined by CR LF with no
        // break after the last. Built in one buffer: a list can hold many
        // thousands of files.
        const std::wstring Folder = WithTrailingBackslash(ControlText(txtFolder));
        std::wstring Text;
        for (std::int32_t i = 0; i < FileItemCount(); ++i) {
            const TFileListItem& Item = FileItem(i);
            if (i > 0) Text += L"\r\n";
            Text += Folder;
            Text += Item.Caption;
            Text += L" (";
            Text += Item.CountText;
            Text += L")";
        }
        if (!sdTXT.Execute(FHandle)) return;
        // No encoding: UTF-8 with its mark.
        const bool Written = WriteTextFile(sdTXT.FileName, Text, 0);
        sdTXT.FileName.clear();
        if (Written)
            ShowInformation(FHandle, ChooseText(Swedish, L"Fillistan är nu exporterad.", L"The file list is now exported."));
        else
            ShowError(FHandle,
                      ChooseText(Swedish, L"Fillistan kunde inte exporteras.", L"The file list could not be exported."));
    }
}

void TfrmMain::lvFilesDblClick() { OpenSelectedFile(); }

void TfrmMain::lvFilesKeyDown(HWND, WORD& Key, TShiftState Shift) {
    if (Key == VK_RETURN && Shift == 0) {
        OpenSelectedFile();
    } else if ((Key == VK_APPS && Shift == 0) || (Key == VK_F10 && Shift == ssShift)) {
        // The menu key and Shift+F10 open the context menu of the selected file.
        Key = 0;
        lvFilesContextPopup(POINT{}, true);
    }
}

void TfrmMain::lvFilesEnter() {
    // The focus rectangle on the first row shows where the arrow keys start; the
    // row is not selected, so Enter opens nothing yet.
    if (SelectedFileIndex() < 0 && FileItemCount() > 0) ListView_SetItemState(lvFiles, 0, LVIS_FOCUSED, LVIS_FOCUSED);
}

void TfrmMain::txtFolderChange() {
    // The box reports a change for Ctrl+A and for the text it holds set again;
    // the list follows the text itself, and only ever holds files of the folder
    // that the box shows.
    std::wstring Text = ControlText(txtFolder);
    if (Text == FFolderText) return;
    FFolderText = std::move(Text);
    if (!lvFiles) return;  // still being built
    ClearFileList();
    SetLabelCaption(lblFiles, EmptyFilesLabel());
}

void TfrmMain::MultiLineBoxKeyDown(HWND Sender, WORD& Key, TShiftState Shift) {
    if (Key == 'A' && Shift == ssCtrl) {
        SendMessageW(Sender, EM_SETSEL, 0, -1);
    } else if (Key == VK_DOWN && Shift == ssAlt) {
        // The key goes on to the box afterwards: the system then knows that Alt
        // was not pressed alone, and its release does not open the menu bar.
        ShowTextHistory(Sender);
    }
}

void TfrmMain::txtTextToFindKeyDown(HWND Sender, WORD& Key, TShiftState Shift) { MultiLineBoxKeyDown(Sender, Key, Shift); }

void TfrmMain::txtReplaceWithKeyDown(HWND Sender, WORD& Key, TShiftState Shift) {
    MultiLineBoxKeyDown(Sender, Key, Shift);
}

void TfrmMain::FormDropFiles(HDROP Drop) {
    // The drop's memory is the receiver's to free, whatever happens here.
    struct TDropOwner {
        HDROP Drop;
        ~TDropOwner() { DragFinish(Drop); }
    } Owner{Drop};
    if (Run.WorkInProgress) return;
    const UINT Length = DragQueryFileW(Drop, 0, nullptr, 0);
    if (Length == 0) return;
    std::wstring Path(static_cast<size_t>(Length) + 1, L'\0');
    Path.resize(DragQueryFileW(Drop, 0, Path.data(), Length + 1));
    if (Path.empty()) return;
    if (!FolderExists(Path)) {
        // A file stands for the folder that holds it.
        const size_t Slash = Path.find_last_of(L"\\/");
        if (Slash == std::wstring::npos) return;
        Path.resize(Slash == 2 && Path[1] == L':' ? Slash + 1 : Slash);  // "C:\" keeps its backslash
    }
    // As if typed: a text that differs empties the list through txtFolderChange.
    SetControlText(txtFolder, Path);
}

void TfrmMain::btnBrowseClick() {
    // A cancel changes nothing; a chosen folder that differs from the text
    // empties the list through txtFolderChange.
    if (auto Chosen = BrowseForFolder(ControlText(txtFolder), L"", FHandle)) SetControlText(txtFolder, *Chosen);
}
