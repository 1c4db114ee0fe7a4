#pragma once
// A fresh, empty undo journal for a scope: QV_UNDO_DIR names a folder of its
// own, removed at the end, and the earlier value comes back.
#include "TempFolder.h"

#include <string>

class TUndoJournalScope {
public:
    TUndoJournalScope();
    ~TUndoJournalScope();
    TUndoJournalScope(const TUndoJournalScope&) = delete;
    TUndoJournalScope& operator=(const TUndoJournalScope&) = delete;

    // The journal's folder, ending with a backslash (made by the first Apply).
    const std::wstring& Root() const { return FRoot; }

private:
    TempFolder FFolder;
    std::wstring FRoot;
    std::wstring FOld;
    bool FHadOld = false;
};
