// The rows of the file list. The list view is virtual: the rows live in the
// window object and the list asks for the text of each cell it shows.
#include "ui/Main.h"

#include <iterator>

namespace {

// The list's new length. When that brings or takes away the vertical scroll
// bar, the header is painted again: the list leaves its part beyond the last
// column with the old picture.
void SetRowCount(HWND List, size_t Count) {
    auto HasBar = [List] { return (GetWindowLongPtrW(List, GWL_STYLE) & WS_VSCROLL) != 0; };
    const bool HadBar = HasBar();
    ListView_SetItemCountEx(List, static_cast<int>(Count), LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
    if (HadBar == HasBar()) return;
    if (HWND Header = ListView_GetHeader(List)) InvalidateRect(Header, nullptr, TRUE);
}

}  // namespace

void TfrmMain::ClearFileList() {
    FFileItems.clear();
    SetRowCount(lvFiles, 0);
}

void TfrmMain::AppendFileItem(std::wstring Caption, std::wstring CountText) {
    FFileItems.push_back(TFileListItem{std::move(Caption), std::move(CountText)});
    SetRowCount(lvFiles, FFileItems.size());
}

void TfrmMain::AppendFileItems(std::vector<TFileListItem>& Items) {
    if (Items.empty()) return;
    FFileItems.insert(FFileItems.end(), std::make_move_iterator(Items.begin()), std::make_move_iterator(Items.end()));
    Items.clear();
    SetRowCount(lvFiles, FFileItems.size());
}

std::int32_t TfrmMain::SelectedFileIndex() const {
    return ListView_GetNextItem(lvFiles, -1, LVNI_SELECTED);
}

void TfrmMain::lvFilesGetDispInfo(NMLVDISPINFOW& Info) const {
    if ((Info.item.mask & LVIF_TEXT) && Info.item.pszText && Info.item.cchTextMax > 0 && Info.item.iItem >= 0 &&
        Info.item.iItem < FileItemCount()) {
        const TFileListItem& Item = FileItem(Info.item.iItem);
        const std::wstring& Text = Info.item.iSubItem == 0 ? Item.Caption : Item.CountText;
        lstrcpynW(Info.item.pszText, Text.c_str(), Info.item.cchTextMax);
    }
}
