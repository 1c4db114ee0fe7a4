#include "platform/MessageBoxes.h"

#include "BoxWatcher.h"
#include "LocaleScope.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

// What the test saw of a box, read when the box became active.
struct SeenBox : TBoxWatcher::TBox {
    bool Shown = false;
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

constexpr LCID Sv = SwedishLocale, En = EnglishLocale;

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
        TBoxWatcher Boxes;
        Boxes.Answer(Case.Answer);
        Run.Result = Case.Show(Run.Owner);
        if (!Boxes.Boxes().empty()) Run.Seen = SeenBox{Boxes.Boxes().front(), true};
    }
    DestroyWindow(Run.Owner);
}

TEST(MessageBoxes, ShowTheirTextsIconsButtonsAndResults) {
    // Wine loads the shared system icons on first use; loading them here keeps
    // the box threads from racing to load them (one of them then shows no icon).
    for (Icon Kind : {Icon::Information, Icon::Error, Icon::Question}) ASSERT_NE(SystemIcon(Kind), nullptr);
    std::vector<BoxRun> Runs(std::size(BoxCases));
    for (LCID Locale : {Sv, En}) {
        LocaleScope Language(Locale);  // read by the box threads only while they run
        std::vector<std::thread> Threads;
        for (size_t i = 0; i < std::size(BoxCases); ++i)
            if (BoxCases[i].Locale == Locale && BoxCases[i].Answer != PressEnter)
                Threads.emplace_back(RunBox, std::cref(BoxCases[i]), std::ref(Runs[i]));
        for (std::thread& Thread : Threads) Thread.join();
        for (size_t i = 0; i < std::size(BoxCases); ++i)
            if (BoxCases[i].Locale == Locale && BoxCases[i].Answer == PressEnter)
                std::thread(RunBox, std::cref(BoxCases[i]), std::ref(Runs[i])).join();
    }
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
