#include "TempFolder.h"
#include "base/TextMatching.h"

#include <gtest/gtest.h>
#include <windows.h>

// The executables are linked with -municode, so the entry point is wmain.
int wmain(int argc, wchar_t** argv) {
    RecordStartupLocale();
    testing::InitGoogleTest(&argc, argv);
    // Every Apply of a test records its files in an undo journal of its own,
    // removed at the end, unless the caller chose the journal's folder.
    TempFolder Journal;
    if (GetEnvironmentVariableW(L"QV_UNDO_DIR", nullptr, 0) == 0)
        SetEnvironmentVariableW(L"QV_UNDO_DIR", (Journal.Path() + L"undo").c_str());
    return RUN_ALL_TESTS();
}
