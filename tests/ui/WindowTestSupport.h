#pragma once
// Helpers for tests that create the main window in this process: message boxes
// answered from the test, and settings files.
#include "BoxWatcher.h"
#include "WindowText.h"
#include "ui/Main.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

// Forgets the settings file: the next window starts as a fresh program's would.
void DeleteSettingsFile();
void WriteSettingsFile(const std::string& Content);
// The settings file's lines (empty when there is none).
std::vector<std::string> SettingsFileLines();

// Runs pending messages through the window's own handling until none is left.
void Pump();

// Control bounds in its parent's client coordinates.
RECT BoundsOf(HWND Control);

// Temporarily sets an environment variable (QV_DPI) for this process.
class TEnvironment {
public:
    TEnvironment(const wchar_t* Name, const wchar_t* Value);
    ~TEnvironment();

private:
    std::wstring FName;
    std::wstring FOld;
    bool FHadOld;
};

// A fresh main window as the program opens it (FormCreate ran), destroyed at
// the end of the scope, which runs FormDestroy and writes the settings.
std::unique_ptr<TfrmMain> OpenMainWindow();

// Answers the next popup menu of this thread from inside its modal loop: records
// its items, saves a picture of the screen when QV_SHOT_DIR names a folder
// (ShotName.bmp there), then chooses the item at Choose with the arrow keys and
// Enter, or closes the menu with Esc when Choose is -1.
class TMenuAnswer {
public:
    struct TItem {
        std::wstring Text;
        bool Enabled;
        bool Default;
    };
    TMenuAnswer(int Choose, std::wstring ShotName = L"");
    ~TMenuAnswer();
    TMenuAnswer(const TMenuAnswer&) = delete;
    TMenuAnswer& operator=(const TMenuAnswer&) = delete;

    bool Shown() const { return FShown; }
    const std::vector<TItem>& Items() const { return FItems; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    void Answer(HWND MenuWindow);

    int FChoose;
    std::wstring FShotName;
    UINT_PTR FTimer = 0;
    bool FShown = false;
    std::vector<TItem> FItems;
};

// The screen, or the part of it in Area (screen coordinates), as a 24-bit BMP
// file at QV_SHOT_DIR\Name.bmp; nothing without QV_SHOT_DIR.
void SaveScreenShot(const std::wstring& Name, const RECT* Area = nullptr);
