#include "platform/Shell.h"

#include "LocaleScope.h"
#include "TempFolder.h"
#include "TextBytes.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace {

// Polls for a file to appear (a process start under Wine takes up to a second or two).
bool WaitForFile(const std::wstring& Path) {
    for (int i = 0; i < 1500; ++i) {
        if (PathExists(Path)) return true;
        Sleep(20);
    }
    return false;
}

// The process's handle count, or 0 where the platform does not count (Wine).
DWORD HandleCount() {
    DWORD Count = 0;
    return GetProcessHandleCount(GetCurrentProcess(), &Count) ? Count : 0;
}

TEST(Shell, TextUpToNul) {
    using namespace std::string_literals;
    EXPECT_EQ(TextUpToNul(L"C:\\Program Files\0garbage"s), L"C:\\Program Files");
    EXPECT_EQ(TextUpToNul(L"no nul"), L"no nul");
    EXPECT_EQ(TextUpToNul(L"\0x"s), L"");
    EXPECT_EQ(TextUpToNul(L""), L"");
}

TEST(Shell, SpecialFolderPathEndsWithABackslashOrFallsBack) {
    wchar_t Expected[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"ProgramFiles", Expected, MAX_PATH), 0u);
    std::wstring ProgramFiles = SpecialFolderPath(CSIDL_PROGRAM_FILES, L"C:\\Fallback");
    EXPECT_EQ(UpperCased(ProgramFiles), UpperCased(std::wstring(Expected) + L"\\"));
    std::wstring ProgramFilesX86 = SpecialFolderPath(CSIDL_PROGRAM_FILESX86, L"");
    ASSERT_FALSE(ProgramFilesX86.empty());
    EXPECT_EQ(ProgramFilesX86.back(), L'\\');
    // 0xFF names no special folder.
    EXPECT_EQ(SpecialFolderPath(0xFF, L"C:\\Fallback"), L"C:\\Fallback\\");
    EXPECT_EQ(SpecialFolderPath(0xFF, L"C:\\Fallback\\"), L"C:\\Fallback\\");
    EXPECT_EQ(SpecialFolderPath(0xFF, L""), L"");
}

TEST(Shell, RunCommandLineStartsTheProgramWithoutWaiting) {
    TempFolder Temp;
    const std::wstring Helper = TestProgramFolder() + L"qv_record_cmdline.exe";
    ASSERT_TRUE(PathExists(Helper));
    const std::wstring CommandLines[] = {
        L"\"" + Helper + L"\" \"" + Temp.Path() + Wide("Fil med blanksteg å.txt") + L"\"",
        // Found beside the running program, ".exe" added, as "NOTEPAD" is found in the system folders.
        L"\"qv_record_cmdline\" \"" + Temp.Path() + L"x.txt\"",
        L"qv_record_cmdline  /x   \"a\"\"b\" ",
    };
    int Index = 0;
    for (const std::wstring& CommandLine : CommandLines) {
        SCOPED_TRACE(testing::PrintToString(CommandLine));
        const std::wstring Record = Temp.Path() + L"record" + std::to_wstring(Index) + L".txt";
        const std::wstring HoldName = L"qv-hold-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(Index++);
        HANDLE Hold = CreateEventW(nullptr, TRUE, FALSE, HoldName.c_str());
        ASSERT_NE(Hold, nullptr);
        SetEnvironmentVariableW(L"QV_RECORD_FILE", Record.c_str());
        SetEnvironmentVariableW(L"QV_RECORD_HOLD", HoldName.c_str());
        const DWORD HandlesBefore = HandleCount();
        RunCommandLine(CommandLine);
        EXPECT_EQ(HandleCount(), HandlesBefore);      // process and thread handles closed at once
        EXPECT_FALSE(PathExists(Record + L".done"));  // the program is still held: nobody waited for it
        ASSERT_TRUE(WaitForFile(Record));
        SetEvent(Hold);
        EXPECT_TRUE(WaitForFile(Record + L".done"));
        CloseHandle(Hold);
        EXPECT_EQ(FromUtf16LE(ReadFileBytes(Record).Bytes), CommandLine);
    }
    SetEnvironmentVariableW(L"QV_RECORD_HOLD", nullptr);

    // A program that does not exist: nothing starts, nothing is reported, no handle is left.
    const std::wstring Record = Temp.Path() + L"missing-record.txt";
    SetEnvironmentVariableW(L"QV_RECORD_FILE", Record.c_str());
    const DWORD HandlesBefore = HandleCount();
    RunCommandLine(L"\"" + Temp.Path() + L"missing.exe\" \"" + Temp.Path() + L"x.txt\"");
    RunCommandLine(L"");
    EXPECT_EQ(HandleCount(), HandlesBefore);
    EXPECT_FALSE(PathExists(Record));
    SetEnvironmentVariableW(L"QV_RECORD_FILE", nullptr);
}

// What a watcher thread saw of the folder dialog while it was open.
struct DialogSeen {
    bool Found = false;
    RECT Rect{};
    HWND Owner = nullptr;
    std::vector<std::wstring> VisibleTexts;
    std::wstring SelectedName;  // the dialog keeps the selected item's name in its (hidden) edit box
    bool HasVisibleEdit = false;
    bool OtherEnabled = true;
    bool CriticalErrorsSuppressed = false;
};

// Finds the folder dialog of the calling thread from a thread of its own, reads
// it once the dialog is initialised, then presses Command (IDOK or IDCANCEL).
class FolderDialogDriver {
public:
    // With Awaited, the dialog is read again (for up to half a minute) until its
    // selected item has that name: on a busy machine the dialog may still be on
    // its way from the first item to the preselected folder when it is first read,
    // and it may take as long to appear at all. Bounds, not moments: a busy
    // machine makes the test slower, never wrong.
    FolderDialogDriver(int Command, HWND Other, std::wstring Awaited = {})
        : FThreadId(GetCurrentThreadId()),
          FCommand(Command),
          FOther(Other),
          FAwaited(std::move(Awaited)),
          FThread([this] { Run(); }) {}
    ~FolderDialogDriver() {
        if (FThread.joinable()) FThread.join();
    }
    FolderDialogDriver(const FolderDialogDriver&) = delete;
    FolderDialogDriver& operator=(const FolderDialogDriver&) = delete;
    // Call after the dialog has returned.
    const DialogSeen& Seen() {
        if (FThread.joinable()) FThread.join();
        return FSeen;
    }

private:
    static BOOL CALLBACK FindDialog(HWND Window, LPARAM Data) {
        wchar_t Class[32] = {};
        GetClassNameW(Window, Class, 32);
        if (std::wstring(Class) != L"#32770" || !IsWindowVisible(Window)) return TRUE;
        *reinterpret_cast<HWND*>(Data) = Window;
        return FALSE;
    }
    static BOOL CALLBACK ReadChild(HWND Child, LPARAM Data) {
        auto* Seen = reinterpret_cast<DialogSeen*>(Data);
        wchar_t Class[64] = {}, Text[256] = {};
        GetClassNameW(Child, Class, 64);
        GetWindowTextW(Child, Text, 256);
        bool Edit = std::wstring(Class) == L"Edit";
        if (Edit) Seen->SelectedName = Text;
        if (!IsWindowVisible(Child)) return TRUE;
        if (Edit) Seen->HasVisibleEdit = true;
        if (Text[0]) Seen->VisibleTexts.push_back(Text);
        return TRUE;
    }

    void Run() {
        for (const ULONGLONG Deadline = GetTickCount64() + 120000; GetTickCount64() < Deadline;) {
            HWND Dialog = nullptr;
            EnumThreadWindows(FThreadId, FindDialog, reinterpret_cast<LPARAM>(&Dialog));
            if (Dialog) {
                // Answered only once the dialog's thread is back in its message loop,
                // that is, after the dialog's initialisation.
                SendMessageW(Dialog, WM_NULL, 0, 0);
                FSeen.Found = true;
                for (const ULONGLONG Patience = GetTickCount64() + 30000;;) {
                    FSeen.VisibleTexts.clear();
                    FSeen.HasVisibleEdit = false;
                    GetWindowRect(Dialog, &FSeen.Rect);
                    FSeen.Owner = GetWindow(Dialog, GW_OWNER);
                    EnumChildWindows(Dialog, ReadChild, reinterpret_cast<LPARAM>(&FSeen));
                    if (FAwaited.empty() || FSeen.SelectedName == FAwaited || GetTickCount64() > Patience) break;
                    Sleep(20);
                    SendMessageW(Dialog, WM_NULL, 0, 0);
                }
                FSeen.OtherEnabled = IsWindowEnabled(FOther) != FALSE;
                FSeen.CriticalErrorsSuppressed = (GetErrorMode() & SEM_FAILCRITICALERRORS) != 0;
                PostMessageW(Dialog, WM_COMMAND, MAKEWPARAM(FCommand, BN_CLICKED), 0);
                return;
            }
            Sleep(20);
        }
    }

    DWORD FThreadId;
    int FCommand;
    HWND FOther;
    std::wstring FAwaited;
    DialogSeen FSeen;
    std::thread FThread;
};

bool Contains(const std::vector<std::wstring>& Texts, const std::wstring& Text) {
    return std::find(Texts.begin(), Texts.end(), Text) != Texts.end();
}

// The main window stand-in and one more top-level window of the program, both
// visible, and one that the program had disabled itself.
class FolderDialog : public testing::Test {
protected:
    static void SetUpTestSuite() {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        App = MakeWindow(20, 30);
        Other = MakeWindow(300, 30);
        Disabled = MakeWindow(600, 30);
        EnableWindow(Disabled, FALSE);
    }
    // The windows end with the process: destroying a window that Wine has once
    // activated waits two seconds for a window manager that is not there.
    static void TearDownTestSuite() {
        CoUninitialize();
    }
    void SetUp() override {
        SetApplicationWindow(App);
        SetErrorMode(0);
    }
    void TearDown() override { SetApplicationWindow(nullptr); }
    static HWND MakeWindow(int Left, int Top) {
        HWND Window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_BORDER, Left, Top, 200, 120, nullptr, nullptr,
                                      nullptr, nullptr);
        ShowWindow(Window, SW_SHOWNOACTIVATE);
        return Window;
    }

    static inline HWND App = nullptr, Other = nullptr, Disabled = nullptr;
    TempFolder Temp;
};

TEST_F(FolderDialog, OpensCentredWithTheFolderSelected) {
    LocaleScope Language(EnglishLocale);
    const std::wstring Folder = Temp.MakeFolder(L"Vald mapp");
    FolderDialogDriver Driver(IDOK, Other, L"Vald mapp");
    std::wstring Result = BrowseForFolder(Folder.substr(0, Folder.size() - 1), L"").value_or(L"");
    const DialogSeen& Seen = Driver.Seen();
    ASSERT_TRUE(Seen.Found);
    EXPECT_EQ(Seen.SelectedName, L"Vald mapp");
    EXPECT_EQ(UpperCased(Result), UpperCased(Folder));  // OK takes the preselected folder

    MONITORINFO Monitor{};
    Monitor.cbSize = sizeof(Monitor);
    GetMonitorInfoW(MonitorFromWindow(App, MONITOR_DEFAULTTONEAREST), &Monitor);
    const RECT& M = Monitor.rcMonitor;
    const int Width = Seen.Rect.right - Seen.Rect.left, Height = Seen.Rect.bottom - Seen.Rect.top;
    EXPECT_EQ(Seen.Rect.left, M.left + ((M.right - M.left) - Width) / 2);
    EXPECT_EQ(Seen.Rect.top, M.top + ((M.bottom - M.top) - Height) / 2);

    EXPECT_TRUE(Contains(Seen.VisibleTexts, L"Browse"));
    EXPECT_FALSE(Seen.HasVisibleEdit);
    EXPECT_EQ(Seen.Owner, App);
    EXPECT_FALSE(Seen.OtherEnabled);
    EXPECT_TRUE(Seen.CriticalErrorsSuppressed);
    // Everything is back once the dialog has closed.
    EXPECT_TRUE(IsWindowEnabled(App));
    EXPECT_TRUE(IsWindowEnabled(Other));
    EXPECT_FALSE(IsWindowEnabled(Disabled));
    EXPECT_EQ(GetErrorMode() & SEM_FAILCRITICALERRORS, 0u);
}

// Cancel gives the caller's own text back with a trailing backslash.
TEST_F(FolderDialog, CancelReturnsNothing) {
    const std::wstring Missing = Temp.Path() + L"Saknas";
    struct Case {
        LCID Locale;
        std::wstring Initial;
        const wchar_t* Title;
    } Cases[] = {
        {SwedishLocale, Missing, L"Bläddra"},  // also: nothing preselected
        {EnglishLocale, L"", L"Browse"},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(testing::PrintToString(C.Initial));
        LocaleScope Language(C.Locale);
        FolderDialogDriver Driver(IDCANCEL, Other);
        EXPECT_EQ(BrowseForFolder(C.Initial, L""), std::nullopt);
        const DialogSeen& Seen = Driver.Seen();
        ASSERT_TRUE(Seen.Found);
        EXPECT_TRUE(Contains(Seen.VisibleTexts, C.Title));
        EXPECT_NE(Seen.SelectedName, L"Saknas");
        EXPECT_TRUE(IsWindowEnabled(Other));
    }
}

// Gives a folder another time when the folder dialog is created: another
// program's files coming and going beside a root do that, at any moment.
class AncestorTouchedWhenTheDialogOpens {
public:
    explicit AncestorTouchedWhenTheDialogOpens(std::wstring Folder) {
        Touched = std::move(Folder);
        FHook = SetWindowsHookExW(WH_CBT, Hook, nullptr, GetCurrentThreadId());
    }
    ~AncestorTouchedWhenTheDialogOpens() {
        if (FHook) UnhookWindowsHookEx(FHook);
    }
    AncestorTouchedWhenTheDialogOpens(const AncestorTouchedWhenTheDialogOpens&) = delete;
    AncestorTouchedWhenTheDialogOpens& operator=(const AncestorTouchedWhenTheDialogOpens&) = delete;
    bool Hooked() const { return FHook != nullptr; }
    static inline int Times = 0;

private:
    static LRESULT CALLBACK Hook(int Code, WPARAM Window, LPARAM Data) {
        wchar_t Class[32] = {};
        if (Code == HCBT_CREATEWND && GetClassNameW(reinterpret_cast<HWND>(Window), Class, 32) &&
            std::wstring(Class) == L"#32770") {
            HANDLE Folder = CreateFileW(Touched.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
            if (Folder != INVALID_HANDLE_VALUE) {
                SYSTEMTIME Then{2001, 2, 0, 3, 4, 5, 6, 0};
                FILETIME Written{};
                SystemTimeToFileTime(&Then, &Written);
                if (SetFileTime(Folder, nullptr, nullptr, &Written)) ++Times;
                CloseHandle(Folder);
            }
        }
        return CallNextHookEx(nullptr, Code, Window, Data);
    }
    static inline std::wstring Touched;
    HHOOK FHook = nullptr;
};

// With a root and a parent control: the tree starts at the root, the parent
// owns the dialog, and the folder below the root is preselected even when the
// root's parent changes while the dialog opens.
TEST_F(FolderDialog, RootAndParent) {
    const std::wstring Root = Temp.MakeFolder(L"Rot");
    const std::wstring Folder = Temp.MakeFolder(L"Rot\\Under");
    std::wstring Chosen = Folder;
    AncestorTouchedWhenTheDialogOpens Touch(Temp.Path());
    ASSERT_TRUE(Touch.Hooked());
    AncestorTouchedWhenTheDialogOpens::Times = 0;
    FolderDialogDriver Driver(IDOK, Other, L"Under");
    EXPECT_TRUE(ShowFolderDialog(L"Välj", Root, Chosen, Other));
    const DialogSeen& Seen = Driver.Seen();
    ASSERT_TRUE(Seen.Found);
    EXPECT_GE(AncestorTouchedWhenTheDialogOpens::Times, 1);
    EXPECT_EQ(Seen.Owner, Other);
    EXPECT_TRUE(Contains(Seen.VisibleTexts, Wide("Välj")));
    EXPECT_EQ(Seen.SelectedName, L"Under");
    EXPECT_EQ(UpperCased(Chosen), UpperCased(Folder.substr(0, Folder.size() - 1)));
}

}  // namespace
