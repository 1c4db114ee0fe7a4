// The menu's commands (Quit, Keyboard shortcuts, About) and the home-page link.
#include "platform/Language.h"
#include "platform/MessageBoxes.h"
#include "platform/Shell.h"
#include "ui/Main.h"

void TfrmMain::mnuMainFileQuitClick() { Close(); }

void TfrmMain::mnuMainHelpKeyboardShortcutsClick() {
    bool Swedish = UseSwedish();
    std::wstring Text = ChooseText(Swedish,
                                   L"Tangentbordsgenvägar:\r\n\r\n"
                                   L"F6 = Granska ändringarna före Verkställ.\r\n"
                                   L"F12 = Välj din redigerare.\r\n"
                                   L"F8 = Växla mellan kodningslägena.\r\n"
                                   L"F4 = Exportera fillistan.\r\n"
                                   L"Esc = Stoppa en pågående körning.\r\n"
                                   L"Alt+Nedpil = Visa de senaste texterna i Text att hitta eller Ersätt med.\r\n"
                                   L"Skift+F10 eller menytangenten = Snabbmenyn för den valda filen.\r\n\r\n"
                                   L"I Granska ändringar:\r\n"
                                   L"Uppil/Nedpil = Föregående/nästa fil och dess ändringar.\r\n"
                                   L"Blanksteg = Markera eller avmarkera den valda filen.\r\n"
                                   L"Ctrl+A / Ctrl+Skift+A = Markera / avmarkera alla filer.\r\n"
                                   L"Enter eller dubbelklick = Öppna filen i redigeraren.\r\n"
                                   L"Esc = Stäng utan att skriva något.",
                                   L"Keyboard shortcuts:\r\n\r\n"
                                   L"F6 = Review the changes before Apply.\r\n"
                                   L"F12 = Select your editor.\r\n"
                                   L"F8 = Switch between the encoding modes.\r\n"
                                   L"F4 = Export the file list.\r\n"
                                   L"Esc = Stop a run in progress.\r\n"
                                   L"Alt+Down = Show the recent texts in Text to find or Replace with.\r\n"
                                   L"Shift+F10 or the menu key = The context menu of the selected file.\r\n\r\n"
                                   L"In Review changes:\r\n"
                                   L"Up/Down = The previous/next file and its changes.\r\n"
                                   L"Space = Check or clear the selected file.\r\n"
                                   L"Ctrl+A / Ctrl+Shift+A = Check / clear every file.\r\n"
                                   L"Enter or double click = Open the file in the editor.\r\n"
                                   L"Esc = Close without writing anything.");
    ShowInformation(FHandle, Text, ChooseText(Swedish, L"Tangentbordsgenvägar", L"Keyboard shortcuts"));
}

void TfrmMain::mnuMainHelpAboutClick() {
    bool Swedish = UseSwedish();
    std::wstring Text = ChooseText(Swedish, L"Quorvane är skapat av Quorvane-projektet: ",
                                   L"Quorvane is made by the Quorvane project: ") +
                        std::wstring(HomePageUrl);
    ShowAbout(FHandle, Text, ChooseText(Swedish, L"Om", L"About") + L" " + BaseTitle);
}

void TfrmMain::llURLLinkClick(std::wstring_view Link) { OpenLink(Link); }
