// The Search and Apply commands and the worker event handlers arrive here with
// the commands; until then the buttons and events have nothing to do.
#include "ui/Main.h"

void TfrmMain::btnSearchClick() {}
void TfrmMain::btnApplyClick() {}
void TfrmMain::SearchShowCurrentFilter(std::wstring) {}
void TfrmMain::SearchProgress(std::int32_t) {}
void TfrmMain::SearchAddFile(std::wstring, std::int32_t, std::int32_t) {}
void TfrmMain::SearchReturnValues(std::int32_t) {}
void TfrmMain::ApplyShowCurrentFilter(std::wstring) {}
void TfrmMain::ApplyProgress(std::int32_t) {}
void TfrmMain::ApplyReturnValues(std::int32_t, std::int32_t, std::int32_t) {}
