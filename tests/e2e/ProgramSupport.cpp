#include "ProgramSupport.h"

#include <gtest/gtest.h>

namespace {

struct TFind {
    DWORD ProcessId;
    const wchar_t* ClassName;
    HWND Found;
};

BOOL CALLBACK FindWindowOf(HWND Window, LPARAM Data) {
    auto* Find = reinterpret_cast<TFind*>(Data);
    DWORD ProcessId = 0;
    GetWindowThreadProcessId(Window, &ProcessId);
    wchar_t ClassName[64] = L"";
    GetClassNameW(Window, ClassName, 64);
    if (ProcessId == Find->ProcessId && IsWindowVisible(Window) && std::wstring(ClassName) == Find->ClassName) {
        Find->Found = Window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

std::wstring ProgramPath() {
    // The build gives the host path; Wine shows the host's root as drive Z:.
    const std::wstring Path = Wide(QV_PROGRAM);
    return Path.rfind(L'/', 0) == 0 ? WinePath(Path) : Path;
}

TProgram::TProgram(const std::string& InitialSettings) : FExe(FFolder.Path() + L"Quorvane.exe") {
    EXPECT_TRUE(CopyFileW(ProgramPath().c_str(), FExe.c_str(), FALSE)) << "no program at " << QV_PROGRAM;
    if (!InitialSettings.empty()) WriteSettings(InitialSettings);
}

TProgram::~TProgram() {
    if (FProcess.hProcess) {
        TerminateProcess(FProcess.hProcess, 1);
        WaitForSingleObject(FProcess.hProcess, 10000);
        CloseHandle(FProcess.hProcess);
        CloseHandle(FProcess.hThread);
    }
}

HWND TProgram::Start(const std::wstring& Arguments) {
    std::wstring CommandLine = L"\"" + FExe + L"\"";
    if (!Arguments.empty()) CommandLine += L" " + Arguments;
    STARTUPINFOW Startup{};
    Startup.cb = sizeof(Startup);
    if (!CreateProcessW(FExe.c_str(), CommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, FFolder.Path().c_str(),
                        &Startup, &FProcess))
        return nullptr;
    FWindow = WaitForWindow(L"TfrmMain");
    return FWindow;
}

HWND TProgram::Find(const wchar_t* ClassName) const {
    TFind Search{FProcess.dwProcessId, ClassName, nullptr};
    EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&Search));
    return Search.Found;
}

HWND TProgram::WaitForWindow(const wchar_t* ClassName) {
    for (int i = 0; i < 600; ++i) {
        if (HWND Found = Find(ClassName)) return Found;
        if (WaitForSingleObject(FProcess.hProcess, 50) == WAIT_OBJECT_0) return nullptr;
    }
    return nullptr;
}

bool TProgram::WaitForEnd(DWORD Milliseconds) {
    if (WaitForSingleObject(FProcess.hProcess, Milliseconds) != WAIT_OBJECT_0) return false;
    CloseHandle(FProcess.hProcess);
    CloseHandle(FProcess.hThread);
    FProcess = PROCESS_INFORMATION{};
    return true;
}

bool TProgram::Close() {
    PostMessageW(FWindow, WM_CLOSE, 0, 0);
    return WaitForEnd();
}

std::string TProgram::ReadSettings() const {
    return ReadFileBytes(FFolder.Path() + L"Quorvane.INI").Bytes;
}

void TProgram::WriteSettings(const std::string& Content) const {
    FFolder.WriteFile(L"Quorvane.INI", Content);
}

std::vector<std::string> TProgram::SettingsLines() const { return ::SettingsLines(ReadSettings()); }

std::string TProgram::Setting(const std::string& Key) const { return ValueOf(SettingsLines(), Key); }
