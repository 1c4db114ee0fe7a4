#include "engine/TextMatching.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    RecordStartupLocale();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
