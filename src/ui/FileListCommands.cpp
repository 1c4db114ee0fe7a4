// The file list and the keyboard commands (F4, F8, F12, Ctrl+A, Browse) arrive
// here with those commands; until then the events have nothing to do.
#include "ui/Main.h"

void TfrmMain::FormKeyDown(WORD&, TShiftState) {}
void TfrmMain::lvFilesDblClick() {}
void TfrmMain::lvFilesEnter() {}
void TfrmMain::lvFilesKeyDown(WORD&, TShiftState) {}
void TfrmMain::txtFolderChange() {}
void TfrmMain::txtTextToFindKeyDown(WORD&, TShiftState) {}
void TfrmMain::txtReplaceWithKeyDown(WORD&, TShiftState) {}
void TfrmMain::btnBrowseClick() {}
