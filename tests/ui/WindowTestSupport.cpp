#include "WindowTestSupport.h"

#include "base/TextMatching.h"
#include "settings/Settings.h"
#include "TempFolder.h"
#include "ui/Application.h"

#include <gtest/gtest.h>

#include <sstream>

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

TBoxWatcher* TBoxWatcher::Current = nullptr;

TBoxWatcher::TBoxWatcher() {
    Current = this;
    FHook = SetWindowsHookExW(WH_CBT, &TBoxWatcher::HookProc, nullptr, GetCurrentThreadId());
}

TBoxWatcher::~TBoxWatcher() {
    if (FHook) UnhookWindowsHookEx(FHook);
    Current = nullptr;
}

LRESULT CALLBACK TBoxWatcher::HookProc(int Code, WPARAM WParam, LPARAM LParam) {
    if (Code == HCBT_ACTIVATE && Current) {
        HWND Window = reinterpret_cast<HWND>(WParam);
        wchar_t ClassName[64] = L"";
        GetClassNameW(Window, ClassName, 64);
        if (std::wstring(ClassName) == L"#32770") {
            TBox Box;
            Box.ClassName = ClassName;
            Box.Caption = TextOf(Window);
            if (HWND Static = GetDlgItem(Window, 0xFFFF)) Box.Text = TextOf(Static);
            Current->FBoxes.push_back(Box);
            int Answer = IDOK;
            if (!Current->FAnswers.empty()) {
                Answer = Current->FAnswers.front();
                Current->FAnswers.pop_front();
            }
            PostMessageW(Window, WM_COMMAND, MAKEWPARAM(Answer, BN_CLICKED), 0);
        }
    }
    return CallNextHookEx(nullptr, Code, WParam, LParam);
}

void DeleteSettingsFile() { DeleteFileW(SettingsFilePath().c_str()); }

void WriteSettingsFile(const std::string& Content) {
    DeleteSettingsFile();
    HANDLE File = CreateFileW(SettingsFilePath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (File == INVALID_HANDLE_VALUE) return;
    DWORD Written = 0;
    WriteFile(File, Content.data(), static_cast<DWORD>(Content.size()), &Written, nullptr);
    CloseHandle(File);
}

std::vector<std::string> SettingsFileLines() {
    std::vector<std::string> Lines;
    FileBytes Content = ReadFileBytes(SettingsFilePath());
    std::istringstream Stream(Content.Bytes);
    std::string Line;
    while (std::getline(Stream, Line)) {
        if (!Line.empty() && Line.back() == '\r') Line.pop_back();
        if (!Line.empty()) Lines.push_back(Line);
    }
    return Lines;
}

void Pump() {
    for (int Round = 0; Round < 3; ++Round) ProcessMessages();
}

RECT BoundsOf(HWND Control) {
    RECT Bounds{};
    GetWindowRect(Control, &Bounds);
    MapWindowPoints(nullptr, GetParent(Control), reinterpret_cast<POINT*>(&Bounds), 2);
    return Bounds;
}

std::wstring TextOf(HWND Control) {
    wchar_t Buffer[1024] = L"";
    GetWindowTextW(Control, Buffer, 1024);
    return Buffer;
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
