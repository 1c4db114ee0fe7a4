#include "platform/Shell.h"

#include "base/UniqueHandle.h"
#include "files/FileCollection.h"
#include "platform/Language.h"
#include "platform/Messages.h"

#include <shlobj.h>
#include <shellapi.h>

#include <vector>

namespace {

HWND ApplicationWindowHandle = nullptr;
TCommandLineRunner CommandLineRunner = nullptr;

// The size the process-creation call expects on 64-bit Windows.
static_assert(sizeof(STARTUPINFOW) == 104);

// Owns one reference to a COM interface.
template <typename T>
class ComRef {
public:
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() {
        if (FPointer) FPointer->Release();
    }
    T** Out() { return &FPointer; }
    T* operator->() const { return FPointer; }
    T* Get() const { return FPointer; }

private:
    T* FPointer = nullptr;
};

// A block of the shell's allocator, given back when it goes out of scope.
class ShellMemory {
public:
    ShellMemory(IMalloc* Allocator, void* Block) : FAllocator(Allocator), FBlock(Block) {}
    ShellMemory(const ShellMemory&) = delete;
    ShellMemory& operator=(const ShellMemory&) = delete;
    ~ShellMemory() { Reset(); }
    void* Get() const { return FBlock; }
    void Reset() {
        if (FBlock) FAllocator->Free(FBlock);
        FBlock = nullptr;
    }

private:
    IMalloc* FAllocator;
    void* FBlock;
};

// While a folder dialog is open: the other top-level windows of this thread are
// disabled and critical-error boxes are suppressed; both come back on scope exit.
class ModalState {
public:
    ModalState() {
        FErrorMode = SetErrorMode(SEM_FAILCRITICALERRORS);
        EnumThreadWindows(GetCurrentThreadId(), DisableOne, reinterpret_cast<LPARAM>(this));
    }
    ModalState(const ModalState&) = delete;
    ModalState& operator=(const ModalState&) = delete;
    ~ModalState() {
        for (HWND Window : FDisabled)
            if (IsWindow(Window)) EnableWindow(Window, TRUE);
        SetErrorMode(FErrorMode);
    }

private:
    static BOOL CALLBACK DisableOne(HWND Window, LPARAM Data) noexcept {
        auto* Self = reinterpret_cast<ModalState*>(Data);
        if (!IsWindowVisible(Window) || !IsWindowEnabled(Window)) return TRUE;
        try {
            Self->FDisabled.push_back(Window);
        } catch (...) {
            return FALSE;  // out of memory: leave the rest as they are
        }
        EnableWindow(Window, FALSE);
        return TRUE;
    }

    UINT FErrorMode = 0;
    std::vector<HWND> FDisabled;
};

// The folder the dialog opens on: as an item list under the dialog's root
// when there is one, else as text.
struct FolderSelection {
    PCIDLIST_ABSOLUTE Item = nullptr;
    const wchar_t* Path = nullptr;
};

// Centres the dialog on the full bounds of the monitor nearest the main window,
// then preselects the folder Data points to (a FolderSelection).
int CALLBACK FolderDialogCallback(HWND Dialog, UINT Message, LPARAM, LPARAM Data) noexcept {
    if (Message != BFFM_INITIALIZED) return 0;
    HWND Owner = GetWindow(Dialog, GW_OWNER);
    HMONITOR Monitor = MonitorFromWindow(Owner ? Owner : ApplicationWindow(), MONITOR_DEFAULTTONEAREST);
    MONITORINFO Info{};
    Info.cbSize = sizeof(Info);
    RECT DialogRect{};
    if (Monitor && GetMonitorInfoW(Monitor, &Info) && GetWindowRect(Dialog, &DialogRect)) {
        const RECT& Bounds = Info.rcMonitor;
        int Left = Bounds.left + ((Bounds.right - Bounds.left) - (DialogRect.right - DialogRect.left)) / 2;
        int Top = Bounds.top + ((Bounds.bottom - Bounds.top) - (DialogRect.bottom - DialogRect.top)) / 2;
        SetWindowPos(Dialog, nullptr, Left, Top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    const auto* Selection = reinterpret_cast<const FolderSelection*>(Data);
    WPARAM IsText = FALSE;
    LPARAM Target = 0;
    if (Selection && Selection->Item) {
        Target = reinterpret_cast<LPARAM>(Selection->Item);
    } else if (Selection && Selection->Path && *Selection->Path) {
        IsText = TRUE;
        Target = reinterpret_cast<LPARAM>(Selection->Path);
    }
    if (Target) {
        SendMessageW(Dialog, BFFM_SETSELECTIONW, IsText, Target);
        // Once more when the dialog is up: some shells have not filled the tree
        // far enough at this point and stay on its first item. The selection
        // outlives the dialog (the caller holds it through the modal call).
        PostMessageW(Dialog, BFFM_SETSELECTIONW, IsText, Target);
    }
    return 0;
}

// Folder as an item list under Root (both full paths), or null when Folder is
// not below Root. The dialog finds its way to a folder by comparing item lists,
// and an item list records each folder's attributes and time; text parsed when
// the dialog is up describes Root's ancestors as they are then, and a file
// created or removed beside Root in the meantime (in a shared temporary folder,
// say) makes them differ from the root's own list, which leaves the dialog on
// its first item. Built from the root's list, the path down to Root always
// agrees with it.
PIDLIST_ABSOLUTE ItemBelowRoot(PCIDLIST_ABSOLUTE RootItem, const std::wstring& Root, const std::wstring& Folder) {
    const std::wstring Base = WithTrailingBackslash(Root);
    const std::wstring Target = WithTrailingBackslash(Folder);
    if (!RootItem || Target.size() <= Base.size() ||
        CompareStringOrdinal(Base.c_str(), static_cast<int>(Base.size()), Target.c_str(),
                             static_cast<int>(Base.size()), TRUE) != CSTR_EQUAL)
        return nullptr;
    std::vector<wchar_t> Relative(Target.begin() + static_cast<std::ptrdiff_t>(Base.size()), Target.end() - 1);
    Relative.push_back(L'\0');

    ComRef<IShellFolder> Desktop, RootFolder;
    if (FAILED(SHGetDesktopFolder(Desktop.Out())) || !Desktop.Get()) return nullptr;
    if (FAILED(Desktop->BindToObject(RootItem, nullptr, IID_IShellFolder, reinterpret_cast<void**>(RootFolder.Out()))) ||
        !RootFolder.Get())
        return nullptr;
    PIDLIST_RELATIVE Below = nullptr;
    if (FAILED(RootFolder->ParseDisplayName(ApplicationWindow(), nullptr, Relative.data(), nullptr, &Below, nullptr)) ||
        !Below)
        return nullptr;
    PIDLIST_ABSOLUTE Whole = ILCombine(RootItem, Below);
    ILFree(Below);
    return Whole;
}

}  // namespace

void SetApplicationWindow(HWND Window) {
    ApplicationWindowHandle = Window;
}

HWND ApplicationWindow() {
    return ApplicationWindowHandle;
}

void SetCommandLineRunner(TCommandLineRunner Runner) { CommandLineRunner = Runner; }

std::wstring ExplorerSelectCommandLine(std::wstring_view Path) {
    // The full path: no other "explorer.exe" on the search path is started.
    wchar_t Windows[MAX_PATH] = {};
    const UINT Length = GetWindowsDirectoryW(Windows, MAX_PATH);
    const std::wstring Folder = Length > 0 && Length < MAX_PATH ? std::wstring(Windows, Length) : L"C:\\Windows";
    return L"\"" + WithTrailingBackslash(Folder) + L"explorer.exe\" /select,\"" + std::wstring(Path) + L"\"";
}

void ShowInExplorer(std::wstring_view Path) { RunCommandLine(ExplorerSelectCommandLine(Path)); }

void RunCommandLine(std::wstring_view CommandLine) {
    if (CommandLineRunner) {
        CommandLineRunner(CommandLine);
        return;
    }
    // CreateProcessW may write into its command-line buffer: give it a private copy.
    std::vector<wchar_t> Buffer(CommandLine.begin(), CommandLine.end());
    Buffer.push_back(L'\0');
    STARTUPINFOW StartupInfo{};
    StartupInfo.cb = sizeof(StartupInfo);
    PROCESS_INFORMATION ProcessInfo{};
    if (!CreateProcessW(nullptr, Buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &StartupInfo,
                        &ProcessInfo))
        return;
    UniqueKernelHandle Process(ProcessInfo.hProcess), Thread(ProcessInfo.hThread);
    Process.Reset();
    Thread.Reset();
}

void OpenLink(std::wstring_view Target) {
    if (Target.empty()) return;
    const std::wstring File(Target);
    ShellExecuteW(GetForegroundWindow(), nullptr, File.c_str(), nullptr, nullptr, SW_SHOW);
}

std::wstring TextUpToNul(std::wstring_view Buffer) {
    return std::wstring(Buffer.substr(0, Buffer.find(L'\0')));
}

std::wstring SpecialFolderPath(std::int32_t FolderId, std::wstring_view Fallback) {
    wchar_t Buffer[MAX_PATH] = {};
    if (SHGetSpecialFolderPathW(nullptr, Buffer, FolderId, TRUE))
        return WithTrailingBackslash(TextUpToNul(std::wstring_view(Buffer, MAX_PATH)));
    return WithTrailingBackslash(Fallback);
}

std::optional<std::wstring> BrowseForFolder(const std::wstring& InitialFolder, const std::wstring& Root,
                                            HWND Owner) {
    std::wstring Caption = ChooseText(UseSwedish(), L"Bläddra", L"Browse");
    std::wstring Folder = InitialFolder;
    if (ShowFolderDialog(Caption, Root, Folder, Owner)) return WithTrailingBackslash(Folder);
    return std::nullopt;
}

bool ShowFolderDialog(const std::wstring& Caption, const std::wstring& Root, std::wstring& Folder, HWND Parent) {
    if (!FolderExists(Folder)) Folder.clear();
    ComRef<IMalloc> Allocator;
    if (FAILED(SHGetMalloc(Allocator.Out())) || !Allocator.Get()) return false;
    constexpr SIZE_T DisplayNameBytes = MAX_PATH * sizeof(wchar_t);
    ShellMemory DisplayName(Allocator.Get(), Allocator->Alloc(DisplayNameBytes));
    if (!DisplayName.Get()) return false;
    auto* DisplayNameText = static_cast<wchar_t*>(DisplayName.Get());
    DisplayNameText[0] = L'\0';

    PIDLIST_RELATIVE RootPidl = nullptr;
    if (!Root.empty()) {
        ComRef<IShellFolder> Desktop;
        if (SUCCEEDED(SHGetDesktopFolder(Desktop.Out())) && Desktop.Get()) {
            std::vector<wchar_t> RootText(Root.begin(), Root.end());
            RootText.push_back(L'\0');
            if (FAILED(Desktop->ParseDisplayName(ApplicationWindow(), nullptr, RootText.data(), nullptr, &RootPidl,
                                                 nullptr)))
                RootPidl = nullptr;
        }
    }
    ShellMemory RootItem(Allocator.Get(), RootPidl);
    const auto* RootList = static_cast<PCIDLIST_ABSOLUTE>(RootItem.Get());
    ShellMemory FolderItem(Allocator.Get(), Folder.empty() ? nullptr : ItemBelowRoot(RootList, Root, Folder));
    FolderSelection Selection;
    Selection.Item = static_cast<PCIDLIST_ABSOLUTE>(FolderItem.Get());
    Selection.Path = Folder.c_str();

    BROWSEINFOW Info{};
    Info.hwndOwner = Parent && IsWindow(Parent) ? Parent : ApplicationWindow();
    Info.pidlRoot = RootList;
    Info.pszDisplayName = DisplayNameText;
    Info.lpszTitle = Caption.c_str();
    Info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    Info.lpfn = FolderDialogCallback;
    Info.lParam = reinterpret_cast<LPARAM>(&Selection);
    static_assert((BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE) == 0x41);

    PIDLIST_ABSOLUTE Chosen = nullptr;
    {
        ModalState Modal;
        Chosen = SHBrowseForFolderW(&Info);
    }
    if (!Chosen) return false;
    ShellMemory ChosenItem(Allocator.Get(), Chosen);
    // An item without a file-system path leaves the folder as it was.
    if (!SHGetPathFromIDListW(Chosen, DisplayNameText)) return false;
    Folder = TextUpToNul(std::wstring_view(DisplayNameText, MAX_PATH));
    return true;
}
