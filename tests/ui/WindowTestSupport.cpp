#include "WindowTestSupport.h"

#include "base/TextMatching.h"
#include "settings/Settings.h"
#include "SettingsLines.h"
#include "TempFolder.h"
#include "ui/Application.h"

#include <gtest/gtest.h>

namespace {

// Under Wine on a display without a window manager, maximizing a window after an
// earlier top-level window of the process was destroyed fails in the X11 driver
// (BadWindow on the process's first X window). A hidden window that lives as
// long as the test program keeps that first X window valid.
class TWineAnchorWindow : public testing::Environment {
public:
    void SetUp() override {
        FAnchor = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    }
    void TearDown() override {
        if (FAnchor) DestroyWindow(FAnchor);
    }

private:
    HWND FAnchor = nullptr;
};

testing::Environment* const AnchorEnvironment = testing::AddGlobalTestEnvironment(new TWineAnchorWindow);

}  // namespace

void DeleteSettingsFile() { DeleteFileW(SettingsFilePath().c_str()); }

void WriteSettingsFile(const std::string& Content) {
    DeleteSettingsFile();
    WriteFileBytes(SettingsFilePath(), Content);
}

std::vector<std::string> SettingsFileLines() { return SettingsLines(ReadFileBytes(SettingsFilePath()).Bytes); }

void Pump() {
    for (int Round = 0; Round < 3; ++Round) ProcessMessages();
}

RECT BoundsOf(HWND Control) {
    RECT Bounds{};
    GetWindowRect(Control, &Bounds);
    MapWindowPoints(nullptr, GetParent(Control), reinterpret_cast<POINT*>(&Bounds), 2);
    return Bounds;
}

TEnvironment::TEnvironment(const wchar_t* Name, const wchar_t* Value) : FName(Name) {
    wchar_t Buffer[256];
    DWORD Length = GetEnvironmentVariableW(Name, Buffer, 256);
    FHadOld = Length > 0 && Length < 256;
    if (FHadOld) FOld = Buffer;
    SetEnvironmentVariableW(Name, Value);
}

TEnvironment::~TEnvironment() { SetEnvironmentVariableW(FName.c_str(), FHadOld ? FOld.c_str() : nullptr); }

std::unique_ptr<TfrmMain> OpenMainWindow() {
    auto Form = std::make_unique<TfrmMain>();
    // The display's focus events of windows closed just before may still arrive:
    // wait until this window is the active one with a focused control.
    for (int i = 0; i < 100; ++i) {
        Pump();
        if (GetActiveWindow() == Form->Handle() && GetFocus()) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    Pump();
    return Form;
}
