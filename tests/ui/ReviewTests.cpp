// The review window driven through the message loop: what it lists against what
// Search lists, the lines it shows against the engine's listing, its check boxes
// and keys, Esc, and "Apply checked" on exactly the files kept, a file edited
// after the review left alone, and Undo of that run; in both languages.
#include "CommandsTestSupport.h"

#include "UndoJournalScope.h"
#include "WindowText.h"
#include "base/TextLines.h"
#include "platform/Messages.h"
#include "settings/SettingsCatalogue.h"
#include "ui/Application.h"
#include "ui/WindowHelpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

template <typename TDone>
bool ServeUntil(TDone Done, DWORD TimeoutMs = 30000) {
    const ULONGLONG Deadline = GetTickCount64() + TimeoutMs;
    while (!Done()) {
        if (GetTickCount64() > Deadline) return false;
        ProcessMessages();
        Sleep(2);
    }
    return true;
}

std::wstring ItemText(HWND List, int Item, int SubItem) {
    wchar_t Buffer[512] = {};
    ListView_GetItemText(List, Item, SubItem, Buffer, 512);
    return Buffer;
}

std::wstring WithoutMarks(std::wstring Text) {
    std::erase(Text, ChangeMarkOpen);
    std::erase(Text, ChangeMarkClose);
    return Text;
}

class Review : public testing::TestWithParam<bool> {
protected:
    void SetUp() override { Window.Form->Run.Stopped = false; }
    bool Swedish() const { return GetParam(); }
    std::wstring Text(const char* SwedishText, const char* EnglishText) const {
        return Wide(Swedish() ? SwedishText : EnglishText);
    }
    // F6 as the keyboard gives it, then the listing served to its end.
    TfrmReview* OpenReview() {
        PressKey(Window.Form->txtFolder, VK_F6);
        TfrmReview* Opened = Window.Form->Review();
        if (!Opened) return nullptr;
        EXPECT_TRUE(ServeUntil([&] { return !Opened->Listing() && !Opened->ListingChanges(); }));
        return Opened;
    }
    // "caption|count" of every listed file, as the list view shows it.
    static std::vector<std::wstring> ListedRows(const TfrmReview& View) {
        std::vector<std::wstring> Rows;
        for (int i = 0; i < ListView_GetItemCount(View.lvReviewFiles); ++i)
            Rows.push_back(ItemText(View.lvReviewFiles, i, 0) + L"|" + ItemText(View.lvReviewFiles, i, 1));
        return Rows;
    }
    static void Select(TfrmReview& View, int Index) {
        ListView_SetItemState(View.lvReviewFiles, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_SetItemState(View.lvReviewFiles, Index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        EXPECT_TRUE(ServeUntil([&] { return !View.ListingChanges(); }));
    }

    TUndoJournalScope Journal;
    LocaleScope FLanguage{LanguageLocale(GetParam())};
    TCommandWindowTest Window;
};

std::string LanguageName(const testing::TestParamInfo<bool>& Info) { return Info.param ? "Swedish" : "English"; }

TEST_P(Review, ListsWhatSearchListsAndShowsTheEnginesLines) {
    TempFolder& Fixture = Window.Fixture;
    Fixture.WriteFile(L"a.txt",
                      Utf8Bom + "one\r\nabc abc\r\ntwo\r\nthree\r\nfour\r\nfive\r\nsix\r\nseven\r\neight abc\r\n");
    Fixture.WriteFile(L"sub\\b.txt", Utf16WithBom(L"x abc"));
    Fixture.WriteFile(L"c.txt", "q\r\n\xE5 abc\r\n");  // ANSI
    Fixture.WriteFile(L"d.txt", "nothing here");
    const std::wstring ReadOnly = Fixture.WriteFile(L"e.txt", "abc");
    ASSERT_TRUE(SetAttributes(ReadOnly, FILE_ATTRIBUTE_READONLY));
    Window.SetInputs(Fixture.Path(), L"*.txt", L"abc", L"xyz", true);

    TfrmReview* View = OpenReview();
    ASSERT_NE(View, nullptr);
    EXPECT_FALSE(IsWindowEnabled(Window.Form->Handle()));  // the inputs hold still under the review
    const std::vector<std::wstring> Reviewed = ListedRows(*View);
    EXPECT_EQ(Reviewed, (std::vector<std::wstring>{L"a.txt|3", L"c.txt|1",
                                                   L"e.txt|" + Text("skrivskyddad", "read-only"), L"sub\\b.txt|1"}));
    // All checked but the skipped file, which has no check box at all.
    for (int i : {0, 1, 3}) EXPECT_TRUE(View->FileChecked(static_cast<size_t>(i))) << i;
    EXPECT_EQ(ListView_GetItemState(View->lvReviewFiles, 2, LVIS_STATEIMAGEMASK), 0u);
    EXPECT_EQ(TextOf(View->Handle()), Text("Granska ändringar", "Review changes"));
    EXPECT_EQ(TextOf(View->btnApplyChecked), Text("Verkställ markerade", "Apply checked"));
    EXPECT_EQ(TextOf(View->btnClose), Text("Stäng", "Close"));
    EXPECT_EQ(GetWindow(View->Handle(), GW_OWNER), Window.Form->Handle());

    // The first file is selected: its lines as the engine lists them, marked, with context.
    const std::wstring AText = L"one\r\nabc abc\r\ntwo\r\nthree\r\nfour\r\nfive\r\nsix\r\nseven\r\neight abc\r\n";
    const std::wstring Replace = L"xyz";
    const std::vector<TLineMatch> Engine = MatchesInLines(AText, L"abc", true, &Replace);
    std::vector<std::wstring> Shown;
    for (const TChangeRow& Row : View->ChangeRows()) {
        const wchar_t* Kind = Row.Kind == TChangeRowKind::Before  ? L"-"
                              : Row.Kind == TChangeRowKind::After ? L"+"
                              : Row.Kind == TChangeRowKind::Gap   ? L"~"
                                                                   : L" ";
        Shown.push_back(std::to_wstring(Row.Line) + Kind + Row.Text);
    }
    EXPECT_EQ(Shown, (std::vector<std::wstring>{L"1 one", L"2-\x00AB" L"abc\x00BB \x00AB" L"abc\x00BB",
                                                L"2+\x00ABxyz\x00BB \x00ABxyz\x00BB", L"3 two", L"4 three",
                                                L"0~...", L"7 six", L"8 seven", L"9-eight \x00AB" L"abc\x00BB",
                                                L"9+eight \x00ABxyz\x00BB"}));
    ASSERT_EQ(Engine.size(), 3u);
    EXPECT_EQ(WithoutMarks(View->ChangeRows()[1].Text), Engine[0].Text);
    EXPECT_EQ(WithoutMarks(View->ChangeRows()[2].Text), Engine[0].After);
    EXPECT_EQ(WithoutMarks(View->ChangeRows()[8].Text), Engine[2].Text);
    EXPECT_EQ(WithoutMarks(View->ChangeRows()[9].Text), Engine[2].After);
    EXPECT_EQ(ListView_GetItemCount(View->lvReviewChanges), 10);

    // Down moves to the next file, whose lines replace the first one's.
    PressKey(View->lvReviewFiles, VK_DOWN);
    ASSERT_TRUE(ServeUntil([&] { return !View->ListingChanges(); }));
    EXPECT_EQ(ListView_GetNextItem(View->lvReviewFiles, -1, LVNI_SELECTED), 1);
    ASSERT_EQ(View->ChangeRows().size(), 3u);
    EXPECT_EQ(View->ChangeRows()[1].Text, L"\x00E5 \x00AB" L"abc\x00BB");

    // Space toggles the selected file; Ctrl+A checks all, Ctrl+Shift+A clears all.
    PressKey(View->lvReviewFiles, VK_SPACE);
    EXPECT_FALSE(View->FileChecked(1));
    EXPECT_TRUE(View->FileChecked(0));
    {
        TModifierScope Ctrl(ssCtrl);
        PressKey(View->lvReviewFiles, 'A');
    }
    EXPECT_EQ(View->CheckedCount(), 3);
    {
        TModifierScope CtrlShift(ssCtrl | ssShift);
        PressKey(View->lvReviewFiles, 'A');
    }
    EXPECT_EQ(View->CheckedCount(), 0);
    // The skipped file gets no check box from the keys either.
    Select(*View, 2);
    EXPECT_TRUE(View->ChangeRows().empty());
    PressKey(View->lvReviewFiles, VK_SPACE);
    {
        TModifierScope Ctrl(ssCtrl);
        PressKey(View->lvReviewFiles, 'A');
    }
    EXPECT_EQ(ListView_GetItemState(View->lvReviewFiles, 2, LVIS_STATEIMAGEMASK), 0u);
    EXPECT_EQ(View->CheckedCount(), 3);

    // Esc closes without writing; the owner takes input again; the place is remembered.
    const auto Before = FolderFiles(Fixture.Path());
    PressKey(View->lvReviewFiles, VK_ESCAPE);
    EXPECT_EQ(Window.Form->Review(), nullptr);
    EXPECT_TRUE(IsWindowEnabled(Window.Form->Handle()));
    EXPECT_EQ(FolderFiles(Fixture.Path()), Before);
    EXPECT_GT(ReadReviewBounds(TWindowBounds{}).Width, 0);

    // Search lists the same files and counts (the read-only one included: it holds
    // the text); with its list in the window, the review takes those files.
    SetAttributes(ReadOnly, FILE_ATTRIBUTE_NORMAL);
    Click(Window.Form->btnSearch);
    ASSERT_TRUE(WaitForRunEnd(*Window.Form));
    EXPECT_EQ(Window.Rows(), (std::vector<std::wstring>{L"a.txt|3", L"c.txt|1", L"e.txt|1", L"sub\\b.txt|1"}));
    ASSERT_TRUE(SetAttributes(ReadOnly, FILE_ATTRIBUTE_READONLY));
    Fixture.WriteFile(L"late.txt", "abc");  // not in the search's list
    View = OpenReview();
    ASSERT_NE(View, nullptr);
    EXPECT_EQ(ListedRows(*View), Reviewed);
    View->Close();
    SetAttributes(ReadOnly, FILE_ATTRIBUTE_NORMAL);
}

TEST_P(Review, OpensOnlyAfterApplysInputChecks) {
    Window.SetInputs(Window.Fixture.Path(), L"*.txt", L"", L"xyz", true);
    TBoxWatcher Boxes;
    PressKey(Window.Form->txtFolder, VK_F6);
    EXPECT_EQ(Window.Form->Review(), nullptr);
    ASSERT_EQ(Boxes.Boxes().size(), 1u) << BoxTexts(Boxes);
    EXPECT_EQ(Boxes.Boxes()[0].Text, Text("Ange en text att hitta.", "Specify a text to find."));
}

TEST_P(Review, AppliesExactlyTheCheckedFilesAndSkipsOneChangedSince) {
    TempFolder& Fixture = Window.Fixture;
    const std::string A = "abc\r\nabc", B = Utf8Bom + "abc", C = Utf16WithBom(L"abc"), D = "abc 1", E = "abc";
    const std::wstring PathA = Fixture.WriteFile(L"a.txt", A), PathB = Fixture.WriteFile(L"b.txt", B),
                       PathC = Fixture.WriteFile(L"c.txt", C), PathD = Fixture.WriteFile(L"d.txt", D),
                       PathE = Fixture.WriteFile(L"e.txt", E);
    Window.SetInputs(Fixture.Path(), L"*.txt", L"abc", L"xyz", true);
    TfrmReview* View = OpenReview();
    ASSERT_NE(View, nullptr);
    ASSERT_EQ(View->Files().size(), 5u);
    // Two unchecked by a click on their boxes' state, as the list keeps it.
    ListView_SetCheckState(View->lvReviewFiles, 1, FALSE);
    ListView_SetCheckState(View->lvReviewFiles, 2, FALSE);
    // d.txt is edited after the review: same size, other bytes.
    ASSERT_TRUE(WriteFileBytes(PathD, "abc 2"));

    TBoxWatcher Boxes;
    Boxes.Answer(IDYES);
    Click(View->btnApplyChecked);
    ASSERT_TRUE(WaitForRunEnd(*Window.Form));
    EXPECT_EQ(Window.Form->Review(), nullptr);
    ASSERT_EQ(Boxes.Boxes().size(), 2u) << BoxTexts(Boxes);
    EXPECT_EQ(Boxes.Boxes()[0].Text, Text("Verkställ ändringarna i 3 fil(er)?", "Apply the changes to 3 file(s)?"));
    EXPECT_EQ(Boxes.Boxes()[0].Buttons, L"YN");
    EXPECT_EQ(Boxes.Boxes()[1].Text, ApplyResultMessage(2, 3, 1));
    EXPECT_EQ(ReadFileBytes(PathA).Bytes, "xyz\r\nxyz");
    EXPECT_EQ(ReadFileBytes(PathB).Bytes, B);
    EXPECT_EQ(ReadFileBytes(PathC).Bytes, C);
    EXPECT_EQ(ReadFileBytes(PathD).Bytes, "abc 2");
    EXPECT_EQ(ReadFileBytes(PathE).Bytes, "xyz");

    // Undo restores the run's two files.
    TBoxWatcher UndoBoxes;
    UndoBoxes.Answer(IDYES);
    PostMessageW(Window.Form->Handle(), WM_COMMAND, MAKEWPARAM(TfrmMain::mnuMainFileUndo, 0), 0);
    ProcessMessages();
    ASSERT_TRUE(WaitForRunEnd(*Window.Form));
    EXPECT_EQ(ReadFileBytes(PathA).Bytes, A);
    EXPECT_EQ(ReadFileBytes(PathE).Bytes, E);
    EXPECT_EQ(ReadFileBytes(PathD).Bytes, "abc 2");
}

TEST_P(Review, NoAnswerWritesNothingAndKeepsTheReviewOpen) {
    const std::wstring Path = Window.Fixture.WriteFile(L"a.txt", "abc");
    Window.SetInputs(Window.Fixture.Path(), L"*.txt", L"abc", L"xyz", true);
    TfrmReview* View = OpenReview();
    ASSERT_NE(View, nullptr);
    TBoxWatcher Boxes;
    Boxes.Answer(IDNO);
    Click(View->btnApplyChecked);
    ASSERT_EQ(Boxes.Boxes().size(), 1u) << BoxTexts(Boxes);
    EXPECT_EQ(Window.Form->Review(), View);
    EXPECT_FALSE(Window.Form->Run.WorkInProgress);
    EXPECT_EQ(ReadFileBytes(Path).Bytes, "abc");
    Click(View->btnClose);
    EXPECT_EQ(Window.Form->Review(), nullptr);
    EXPECT_EQ(ReadFileBytes(Path).Bytes, "abc");
}

TEST_P(Review, AnswersWhileALargeFilesChangesAreListed) {
    // 64 MB of lines, an occurrence in every 1024th.
    std::string Line(62, 'x');
    Line += "\r\n";
    std::string Bytes;
    const size_t Lines = (64u << 20) / Line.size();
    Bytes.reserve(Lines * Line.size());
    for (size_t i = 0; i < Lines; ++i) Bytes += i % 1024 == 0 ? "abc" + Line.substr(3) : Line;
    Window.Fixture.WriteFile(L"big.txt", Bytes);
    Window.Fixture.WriteFile(L"small.txt", "abc");
    Bytes = {};
    Window.SetInputs(Window.Fixture.Path(), L"*.txt", L"abc", L"xyz", true);
    TfrmReview* View = OpenReview();
    ASSERT_NE(View, nullptr);
    ASSERT_EQ(View->Files().size(), 2u);
    Select(*View, 1);
    ASSERT_EQ(View->ChangeRows().size(), 2u);

    // Selecting the big file returns at once; the rows come while the loop runs.
    ULONGLONG Longest = 0, Start = GetTickCount64();
    ListView_SetItemState(View->lvReviewFiles, 1, 0, LVIS_SELECTED);
    ListView_SetItemState(View->lvReviewFiles, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    Longest = GetTickCount64() - Start;
    bool SawListing = View->ListingChanges();
    ASSERT_TRUE(ServeUntil([&] {
        const ULONGLONG Now = GetTickCount64();
        ProcessMessages();
        Longest = std::max(Longest, GetTickCount64() - Now);
        return !View->ListingChanges();
    }, 120000));
    EXPECT_TRUE(SawListing);
    // A listing made on the window's thread, or a wait for the worker, would hold
    // one turn of the loop for about the whole listing. On a busy machine the
    // window's thread waits its turn for a processor, and then handles the rows
    // that arrived meanwhile in one turn (700 ms seen at a load of 10 on two
    // processors, with a listing of 3.5 s), so the bound is half a second or
    // half the listing, whichever is longer: still well short of a whole listing.
    const ULONGLONG Listing = GetTickCount64() - Start;
    EXPECT_LT(Longest, std::max<ULONGLONG>(500, Listing / 2)) << "the listing took " << Listing << " ms";
    // Per occurrence a line before and after, with context and gaps between.
    const size_t Occurrences = (Lines + 1023) / 1024;
    EXPECT_EQ(std::count_if(View->ChangeRows().begin(), View->ChangeRows().end(),
                            [](const TChangeRow& Row) { return Row.Kind == TChangeRowKind::Before; }),
              static_cast<std::ptrdiff_t>(Occurrences));
    EXPECT_EQ(ListView_GetItemCount(View->lvReviewChanges), static_cast<int>(View->ChangeRows().size()));
    View->Close();
}

// ---- Layout at each DPI and size ----

// What grows with the DPI: the lists' fonts, rows, headers and check boxes, and the buttons.
struct TReviewMeasures {
    int FilesFont = 0, ChangesFont = 0, FilesRow = 0, ChangesRow = 0, Header = 0, CheckBox = 0, ButtonWidth = 0,
        ButtonHeight = 0;
    bool operator==(const TReviewMeasures&) const = default;
};

int FontHeightOf(HWND Control) {
    TWindowDc Dc(Control);
    TSelection Font(Dc.Get(), reinterpret_cast<HGDIOBJ>(SendMessageW(Control, WM_GETFONT, 0, 0)));
    TEXTMETRICW Metrics{};
    GetTextMetricsW(Dc.Get(), &Metrics);
    return Metrics.tmHeight;
}

SIZE TextExtentIn(HWND Control) {
    const std::wstring Text = TextOf(Control);
    TWindowDc Dc(Control);
    TSelection Font(Dc.Get(), reinterpret_cast<HGDIOBJ>(SendMessageW(Control, WM_GETFONT, 0, 0)));
    SIZE Extent{};
    GetTextExtentPoint32W(Dc.Get(), Text.c_str(), static_cast<int>(Text.size()), &Extent);
    return Extent;
}

int RowHeight(HWND List) {
    RECT Row{};
    Row.left = LVIR_BOUNDS;
    return SendMessageW(List, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&Row)) ? Row.bottom - Row.top : 0;
}

TReviewMeasures MeasureReview(const TfrmReview& View) {
    TReviewMeasures M;
    M.FilesFont = FontHeightOf(View.lvReviewFiles);
    M.ChangesFont = FontHeightOf(View.lvReviewChanges);
    M.FilesRow = RowHeight(View.lvReviewFiles);
    M.ChangesRow = RowHeight(View.lvReviewChanges);
    RECT Header{};
    GetWindowRect(ListView_GetHeader(View.lvReviewFiles), &Header);
    M.Header = Header.bottom - Header.top;
    int Width = 0, Height = 0;
    ImageList_GetIconSize(ListView_GetImageList(View.lvReviewFiles, LVSIL_STATE), &Width, &Height);
    M.CheckBox = Height;
    const RECT Apply = BoundsOf(View.btnApplyChecked);
    M.ButtonWidth = Apply.right - Apply.left;
    M.ButtonHeight = Apply.bottom - Apply.top;
    return M;
}

// Every control shown, inside the client area, clear of the others, and its
// text unclipped: the buttons' captions and the label's line fit, and a row of
// either list is as tall as its font.
void ExpectSoundLayout(const TfrmReview& View, const char* When) {
    SCOPED_TRACE(When);
    RECT Client{};
    GetClientRect(View.Handle(), &Client);
    const struct {
        HWND Control;
        const char* Name;
    } Controls[] = {{View.lblReviewFiles, "label"},
                    {View.lvReviewFiles, "files"},
                    {View.lvReviewChanges, "changes"},
                    {View.btnApplyChecked, "apply"},
                    {View.btnClose, "close"}};
    for (size_t i = 0; i < std::size(Controls); ++i) {
        const RECT Bounds = BoundsOf(Controls[i].Control);
        EXPECT_TRUE(IsWindowVisible(Controls[i].Control)) << Controls[i].Name;
        EXPECT_FALSE(IsRectEmpty(&Bounds)) << Controls[i].Name;
        EXPECT_TRUE(Bounds.left >= 0 && Bounds.top >= 0 && Bounds.right <= Client.right &&
                    Bounds.bottom <= Client.bottom)
            << Controls[i].Name << " at " << Bounds.left << "," << Bounds.top << "," << Bounds.right << ","
            << Bounds.bottom << " in " << Client.right << "x" << Client.bottom;
        for (size_t j = i + 1; j < std::size(Controls); ++j) {
            const RECT Other = BoundsOf(Controls[j].Control);
            RECT Overlap{};
            EXPECT_FALSE(IntersectRect(&Overlap, &Bounds, &Other)) << Controls[i].Name << " over " << Controls[j].Name;
        }
    }
    for (HWND Button : {View.btnApplyChecked, View.btnClose}) {
        const SIZE Text = TextExtentIn(Button);
        const RECT Bounds = BoundsOf(Button);
        EXPECT_LT(Text.cx, Bounds.right - Bounds.left - 8) << Narrow(TextOf(Button));
        EXPECT_LT(Text.cy, Bounds.bottom - Bounds.top - 4) << Narrow(TextOf(Button));
    }
    const RECT Label = BoundsOf(View.lblReviewFiles);
    EXPECT_LE(TextExtentIn(View.lblReviewFiles).cy, Label.bottom - Label.top);
    EXPECT_GE(RowHeight(View.lvReviewFiles), FontHeightOf(View.lvReviewFiles));
    EXPECT_GE(RowHeight(View.lvReviewChanges), FontHeightOf(View.lvReviewChanges));
}

// Every line of the changes pane whole in its column: the list scrolls to the
// end of a long one instead of cutting it short.
void ExpectRowsUncut(const TfrmReview& View) {
    const int Column = ListView_GetColumnWidth(View.lvReviewChanges, 2);
    for (const TChangeRow& Row : View.ChangeRows())
        EXPECT_LE(ListView_GetStringWidth(View.lvReviewChanges, Row.Text.c_str()) + 12, Column) << Narrow(Row.Text);
}

// A few files as a user's tree holds them: one with several changes (listed
// first, so its lines show), one read-only (skipped, in grey), one in a folder.
void WriteSmallTree(TempFolder& Fixture) {
    Fixture.WriteFile(L"changelog.txt",
                      "2.1: the colour of links follows the theme\r\n"
                      "2.0: new colour picker\r\n"
                      "1.9: faster start\r\n"
                      "1.8: colour and background colour can differ\r\n"
                      "1.7: fixes\r\n");
    Fixture.WriteFile(L"notes.txt", "Pick a colour that reads well.\r\n");
    SetAttributes(Fixture.WriteFile(L"readme.txt", "Colour names: see the colour table.\r\n"),
                  FILE_ATTRIBUTE_READONLY);
    Fixture.WriteFile(L"docs\\guide.txt", "Set the colour in Options.\r\nEach colour has a name.\r\n");
}

TEST_P(Review, KeepsItsLayoutThroughDpiChangesAndResizes) {
    WriteSmallTree(Window.Fixture);
    Window.SetInputs(Window.Fixture.Path(), L"*.txt", L"colour", L"color", true);
    TfrmReview* View = OpenReview();
    ASSERT_NE(View, nullptr);
    ASSERT_EQ(View->Files().size(), 4u);
    ASSERT_TRUE(View->Files()[2].Skipped());
    const size_t Rows = View->ChangeRows().size();
    ASSERT_GT(Rows, 6u);
    ExpectSoundLayout(*View, "as opened");
    wchar_t Heading[64] = L"";
    LVCOLUMNW Column{};
    Column.mask = LVCF_TEXT;
    Column.pszText = Heading;
    Column.cchTextMax = 64;
    ASSERT_TRUE(ListView_GetColumn(View->lvReviewChanges, 2, &Column));
    EXPECT_EQ(std::wstring(Heading), Text("Text («funnen» / «ersättning»)", "Text («found» / «replacement»)"));
    ExpectRowsUncut(*View);

    // At the window's own DPI, as the user sees it (a picture only when asked for).
    const UINT Start = MonitorDpi(View->Handle());
    RedrawWindow(View->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    // Wine hands what was painted to the display a moment later.
    const ULONGLONG Painted = GetTickCount64() + 300;
    ServeUntil([&] { return GetTickCount64() > Painted; });
    RECT Outer{};
    GetWindowRect(View->Handle(), &Outer);
    SaveScreenShot(L"review-" + std::to_wstring(Start) + (Swedish() ? L"-sv" : L"-en"), &Outer);

    // A size from which half as large again still fits on the screen.
    const int Width = std::min<int>(Outer.right - Outer.left, GetSystemMetrics(SM_CXSCREEN) * 3 / 5),
              Height = std::min<int>(Outer.bottom - Outer.top, GetSystemMetrics(SM_CYSCREEN) * 3 / 5);
    SetWindowPos(View->Handle(), nullptr, 0, 0, Width, Height, SWP_NOZORDER | SWP_NOACTIVATE);
    GetWindowRect(View->Handle(), &Outer);
    const TReviewMeasures AtStart = MeasureReview(*View);
    const HGDIOBJ StartFonts[] = {reinterpret_cast<HGDIOBJ>(SendMessageW(View->lvReviewFiles, WM_GETFONT, 0, 0)),
                                  reinterpret_cast<HGDIOBJ>(SendMessageW(View->lvReviewChanges, WM_GETFONT, 0, 0))};

    // To half as large again, through the message loop, and back.
    const UINT Larger = Start * 3 / 2;
    const RECT Grown{Outer.left, Outer.top, Outer.left + (Outer.right - Outer.left) * 3 / 2,
                     Outer.top + (Outer.bottom - Outer.top) * 3 / 2};
    const auto ChangeDpi = [&](UINT Dpi, const RECT& Suggested) {
        PostMessageW(View->Handle(), WM_DPICHANGED, MAKEWPARAM(Dpi, Dpi), reinterpret_cast<LPARAM>(&Suggested));
        EXPECT_TRUE(ServeUntil([&] {
            RECT Now{};
            GetWindowRect(View->Handle(), &Now);
            return EqualRect(&Now, &Suggested) != FALSE;
        }, 5000)) << "the window takes the suggested rectangle at " << Dpi;
        Pump();
    };
    ChangeDpi(Larger, Grown);
    const TReviewMeasures AtLarger = MeasureReview(*View);
    // The old fonts were handed back to the system, not kept.
    for (HGDIOBJ Old : StartFonts) EXPECT_EQ(GetObjectType(Old), 0u);
    const struct {
        int Before, After;
        const char* Name;
    } Growth[] = {{AtStart.FilesFont, AtLarger.FilesFont, "files font"},
                  {AtStart.ChangesFont, AtLarger.ChangesFont, "changes font"},
                  {AtStart.FilesRow, AtLarger.FilesRow, "files row"},
                  {AtStart.ChangesRow, AtLarger.ChangesRow, "changes row"},
                  {AtStart.Header, AtLarger.Header, "header"},
                  {AtStart.CheckBox, AtLarger.CheckBox, "check box"},
                  {AtStart.ButtonWidth, AtLarger.ButtonWidth, "button width"},
                  {AtStart.ButtonHeight, AtLarger.ButtonHeight, "button height"}};
    for (const auto& Item : Growth) {
        ASSERT_GT(Item.Before, 0) << Item.Name;
        EXPECT_NEAR(static_cast<double>(Item.After) / Item.Before, 1.5, 0.2)
            << Item.Name << ": " << Item.Before << " -> " << Item.After;
    }
    ExpectSoundLayout(*View, "half as large again");
    ExpectRowsUncut(*View);
    // The same rows, none lost or left over from before.
    EXPECT_EQ(ListView_GetItemCount(View->lvReviewFiles), 4);
    EXPECT_EQ(ListView_GetItemCount(View->lvReviewChanges), static_cast<int>(Rows));
    EXPECT_EQ(ListView_GetNextItem(View->lvReviewFiles, -1, LVNI_SELECTED), 0);

    ChangeDpi(Start, Outer);
    EXPECT_EQ(MeasureReview(*View), AtStart);
    ExpectSoundLayout(*View, "back at the first DPI");

    // The smallest the window can be made, and maximised.
    SetWindowPos(View->Handle(), nullptr, 0, 0, 40, 40, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Pump();
    ExpectSoundLayout(*View, "smallest");
    ExpectRowsUncut(*View);
    ShowWindow(View->Handle(), SW_MAXIMIZE);
    EXPECT_TRUE(ServeUntil([&] { return IsZoomed(View->Handle()) != FALSE; }, 5000));
    Pump();
    RECT Client{};
    GetClientRect(View->Handle(), &Client);
    EXPECT_GT(Client.right, Width);
    ExpectSoundLayout(*View, "maximised");
    ShowWindow(View->Handle(), SW_RESTORE);
    Pump();
    View->Close();
    SetAttributes(Window.Fixture.Path() + L"\\readme.txt", FILE_ATTRIBUTE_NORMAL);
}

INSTANTIATE_TEST_SUITE_P(Languages, Review, testing::Bool(), LanguageName);

}  // namespace
