// The window program's entry point.
#include "ui/Application.h"

#include "engine/TextMatching.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    RecordStartupLocale();
    return RunApplication();
}
