#include "UndoJournalScope.h"

#include <windows.h>

TUndoJournalScope::TUndoJournalScope() : FRoot(FFolder.Path() + L"journal\\") {
    const DWORD Length = GetEnvironmentVariableW(L"QV_UNDO_DIR", nullptr, 0);
    FHadOld = Length > 0;
    if (FHadOld) {
        FOld.resize(Length);
        FOld.resize(GetEnvironmentVariableW(L"QV_UNDO_DIR", FOld.data(), Length));
    }
    SetEnvironmentVariableW(L"QV_UNDO_DIR", FRoot.c_str());
}

TUndoJournalScope::~TUndoJournalScope() {
    SetEnvironmentVariableW(L"QV_UNDO_DIR", FHadOld ? FOld.c_str() : nullptr);
}
