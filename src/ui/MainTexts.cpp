// The main window's texts in the language of the moment: the design is
// Swedish, and a window created for English users gets the English texts of
// its controls, menu items, list column and dialogs.
#include "ui/MainTexts.h"

#include "platform/Language.h"
#include "platform/Messages.h"
#include "ui/MainDesign.h"

#include <commctrl.h>

std::wstring EmptyFilesLabel() { return ChooseText(UseSwedish(), EmptyFilesLabelSwedish, EmptyFilesLabelEnglish); }

std::wstring FilesLabel(std::uint64_t Files, std::wstring_view Occurrences) {
    return ChooseText(UseSwedish(), L"Filer: (", L"Files: (") + FormatCount(Files) + L" | " + std::wstring(Occurrences) +
           L")";
}

void TfrmMain::SetEnglishTexts() {
    for (const TMenuText& Text : MainMenuTexts()) {
        MENUITEMINFOW Item{};
        Item.cbSize = sizeof(Item);
        Item.fMask = MIIM_STRING;
        std::wstring Caption = MenuCaption(Text, true);
        Item.dwTypeData = Caption.data();
        if (Text.Item) SetMenuItemInfoW(mnuMain, Text.Item, FALSE, &Item);
        else SetMenuItemInfoW(mnuMain, static_cast<UINT>(Text.Position), TRUE, &Item);
    }
    DrawMenuBar(FHandle);

    for (const TControlDesign& Control : MainControlDesign()) {
        if (!Control.English) continue;
        HWND Window = this->*Control.Field;
        if (Control.Kind == TKind::Label) SetLabelCaption(Window, Control.English);
        else SetControlText(Window, Control.English);
    }
    // Column 1 is "#" in both languages. The format goes along with the text:
    // a text-only change resets the header's alignment under Wine.
    LVCOLUMNW Column{};
    Column.mask = LVCF_TEXT | LVCF_FMT;
    Column.fmt = LVCFMT_LEFT;
    Column.pszText = const_cast<wchar_t*>(L"Filename");
    ListView_SetColumn(lvFiles, 0, &Column);

    odEditor.Title = L"Browse";
    sdTXT.Title = L"Export file list";
}
