#include "platform/MessageBoxes.h"

#include "base/TextMatching.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

// What the test saw of a box, read when the box became active.
struct SeenBox {
    bool Shown = false;
    HWND Owner = nullptr;
    std::wstring Caption, Text;
    HICON Icon = nullptr;
    std::wstring Buttons;  // "O" OK, "C" Cancel, "Y" Yes, "N" No, in id order
};

constexpr int PressEscape = -1;
constexpr int PressEnter = -2;  // the default button answers

// Answers the next message box of this thread from a CBT hook: reads it, then
// presses a button (or Escape) by posting to it.
class BoxAnswerer {
public:
    explicit BoxAnswerer(int Answer) : FAnswer(Answer) {
        Current = this;
        FHook = SetWindowsHookExW(WH_CBT, Hook, nullptr, GetCurrentThreadId());
    }
    ~BoxAnswerer() {
        UnhookWindowsHookEx(FHook);
        Current = nullptr;
    }
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;
    const SeenBox& Seen() const { return FSeen; }

private:
    static std::wstring TextOf(HWND Window) {
        wchar_t Buffer[512] = {};
        GetWindowTextW(Window, Buffer, 512);
        return Buffer;
    }

    static LRESULT CALLBACK Hook(int Code, WPARAM WParam, LPARAM LParam) {
        BoxAnswerer* Self = Current;
        if (Code == HCBT_ACTIVATE && Self && !Self->FSeen.Shown) {
            HWND Box = reinterpret_cast<HWND>(WParam);
            wchar_t Class[32] = {};
            GetClassNameW(Box, Class, 32);
            if (std::wstring(Class) == L"#32770") Self->Read(Box);
        }
        return CallNextHookEx(nullptr, Code, WParam, LParam);
    }

    void Read(HWND Box) {
        FSeen.Shown = true;
        FSeen.Owner = GetWindow(Box, GW_OWNER);
        FSeen.Caption = TextOf(Box);
        for (HWND Child = GetWindow(Box, GW_CHILD); Child; Child = GetWindow(Child, GW_HWNDNEXT)) {
            wchar_t Class[32] = {};
            GetClassNameW(Child, Class, 32);
            if (std::wstring(Class) != L"Static") continue;
            if ((GetWindowLongW(Child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
                FSeen.Icon = reinterpret_cast<HICON>(SendMessageW(Child, STM_GETICON, 0, 0));
            else
                FSeen.Text = TextOf(Child);
        }
        const std::pair<int, wchar_t> Ids[] = {{IDOK, L'O'}, {IDCANCEL, L'C'}, {IDYES, L'Y'}, {IDNO, L'N'}};
        for (auto [Id, Letter] : Ids)
            if (GetDlgItem(Box, Id)) FSeen.Buttons += Letter;
        if (FAnswer == PressEscape || FAnswer == PressEnter)
            PostMessageW(Box, WM_KEYDOWN, FAnswer == PressEscape ? VK_ESCAPE : VK_RETURN, 0);
        else
            PostMessageW(Box, WM_COMMAND, MAKEWPARAM(FAnswer, BN_CLICKED), 0);
    }

    static inline thread_local BoxAnswerer* Current = nullptr;
    HHOOK FHook = nullptr;
    int FAnswer;
    SeenBox FSeen;
};

enum class Icon { Information, Error, Question };

HICON SystemIcon(Icon Kind) {
    switch (Kind) {
        case Icon::Information: return LoadIconW(nullptr, IDI_INFORMATION);
        case Icon::Error: return LoadIconW(nullptr, IDI_ERROR);
        case Icon::Question: return LoadIconW(nullptr, IDI_QUESTION);
    }
    return nullptr;
}

struct BoxCase {
    const char* Name;
    LCID Locale;
    std::function<int(HWND)> Show;  // the box's result, or 0 for the boxes without one
    int Answer;
    const wchar_t* Caption;
    const wchar_t* Text;
    Icon Kind;
    const wchar_t* Buttons;
    int Result;
};

constexpr LCID Sv = 1053, En = 1033;

// Enter presses the default button, so those rows also show that the first button is the default.
const BoxCase BoxCases[] = {
    {"information", Sv, [](HWND O) { ShowInformation(O, L"Klar.\r\nTvå rader."); return 0; }, IDOK,
     L"Information", L"Klar.\r\nTvå rader.", Icon::Information, L"O", 0},
    {"error in Swedish", Sv, [](HWND O) { ShowError(O, L"Ange en text att hitta."); return 0; }, IDOK, L"Fel",
     L"Ange en text att hitta.", Icon::Error, L"O", 0},
    {"error in English", En, [](HWND O) { ShowError(O, L"Bad"); return 0; }, IDOK, L"Error", L"Bad", Icon::Error,
     L"O", 0},
    {"about in Swedish", Sv, [](HWND O) { ShowAbout(O); return 0; }, IDOK, L"Om...", L"", Icon::Information, L"O", 0},
    {"about in English", En, [](HWND O) { ShowAbout(O, L"Version"); return 0; }, IDOK, L"About...", L"Version",
     Icon::Information, L"O", 0},
    {"yes/no defaults in Swedish, Enter", Sv, [](HWND O) { return int(ConfirmYesNo(O)); }, PressEnter, L"Bekräfta",
     L"Fortsätta?", Icon::Question, L"YN", 1},
    {"yes/no with a text of blanks, No", En, [](HWND O) { return int(ConfirmYesNo(O, L"  ")); }, IDNO, L"Confirm",
     L"  ", Icon::Question, L"YN", 0},
    {"ok/cancel defaults in English, Enter", En, [](HWND O) { return int(ConfirmOkCancel(O)); }, PressEnter,
     L"Confirm", L"Continue?", Icon::Information, L"OC", 1},
    {"ok/cancel, Escape", Sv, [](HWND O) { return int(ConfirmOkCancel(O, L"Radera?", L"Varning")); }, PressEscape,
     L"Varning", L"Radera?", Icon::Information, L"OC", 0},
    {"ok/cancel, Cancel", En, [](HWND O) { return int(ConfirmOkCancel(O, L"Delete?", L"Warning")); }, IDCANCEL,
     L"Warning", L"Delete?", Icon::Information, L"OC", 0},
};

struct BoxRun {
    HWND Owner = nullptr;
    SeenBox Seen;
    int Result = -1;
};

// Shows one box on its own thread, owned by a window of that thread. Closing a
// box costs Wine about two seconds without a window manager, so the boxes of one
// language run side by side; those answered with Enter run alone, since Enter
// reaches the default button only while its box has the keyboard focus.
void RunBox(const BoxCase& Case, BoxRun& Run) {
    Run.Owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                nullptr, nullptr);
    {
        BoxAnswerer Answerer(Case.Answer);
        Run.Result = Case.Show(Run.Owner);
        Run.Seen = Answerer.Seen();
    }
    DestroyWindow(Run.Owner);
}

TEST(MessageBoxes, ShowTheirTextsIconsButtonsAndResults) {
    const LCID Saved = StartupLocale;
    // Wine loads the shared system icons on first use; loading them here keeps
    // the box threads from racing to load them (one of them then shows no icon).
    for (Icon Kind : {Icon::Information, Icon::Error, Icon::Question}) ASSERT_NE(SystemIcon(Kind), nullptr);
    std::vector<BoxRun> Runs(std::size(BoxCases));
    for (LCID Locale : {Sv, En}) {
        StartupLocale = Locale;  // read by the box threads only while they run
        std::vector<std::thread> Threads;
        for (size_t i = 0; i < std::size(BoxCases); ++i)
            if (BoxCases[i].Locale == Locale && BoxCases[i].Answer != PressEnter)
                Threads.emplace_back(RunBox, std::cref(BoxCases[i]), std::ref(Runs[i]));
        for (std::thread& Thread : Threads) Thread.join();
        for (size_t i = 0; i < std::size(BoxCases); ++i)
            if (BoxCases[i].Locale == Locale && BoxCases[i].Answer == PressEnter)
                std::thread(RunBox, std::cref(BoxCases[i]), std::ref(Runs[i])).join();
    }
    StartupLocale = Saved;
    for (size_t i = 0; i < std::size(BoxCases); ++i) {
        const BoxCase& C = BoxCases[i];
        const BoxRun& Run = Runs[i];
        SCOPED_TRACE(C.Name);
        ASSERT_TRUE(Run.Seen.Shown);
        EXPECT_EQ(Run.Seen.Owner, Run.Owner);
        EXPECT_EQ(Run.Seen.Caption, C.Caption);
        EXPECT_EQ(Run.Seen.Text, C.Text);
        EXPECT_EQ(Run.Seen.Icon, SystemIcon(C.Kind));
        EXPECT_EQ(Run.Seen.Buttons, C.Buttons);
        EXPECT_EQ(Run.Result, C.Result);
    }
}

}  // namespace
