#include "base/TextMatching.h"

#include <gtest/gtest.h>

// The executables are linked with -municode, so the entry point is wmain.
int wmain(int argc, wchar_t** argv) {
    RecordStartupLocale();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
