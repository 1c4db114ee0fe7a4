#include "cli/CliOutput.h"

#include "cli/CliText.h"

#include <windows.h>

#include <memory>

namespace {

constexpr DWORD WriterPause = 25;               // ms between the writer thread's looks for lines
constexpr std::uint64_t RedrawInterval = 100;   // ms between drawings of the status line

bool IsConsole(HANDLE Handle) {
    DWORD Mode = 0;
    return Handle && Handle != INVALID_HANDLE_VALUE && GetConsoleMode(Handle, &Mode);
}

}  // namespace

TCliOutput::TCliOutput(unsigned long StdHandle, bool Gathered) : FHandle(GetStdHandle(StdHandle)) {
    FConsole = IsConsole(FHandle);
    if (!FHandle || FHandle == INVALID_HANDLE_VALUE) FBroken.store(true);
    if (Gathered && !FConsole && !FBroken.load()) FWriter = std::thread([this] { WriterLoop(); });
}

TCliOutput::~TCliOutput() {
    if (FWriter.joinable()) {
        FClosing.store(true);
        FWriter.join();
    }
}

void TCliOutput::WriteConsoleText(std::wstring_view Text) {
    if (FProgress) FProgress->Erase();
    DWORD Written = 0;
    WriteConsoleW(FHandle, Text.data(), static_cast<DWORD>(Text.size()), &Written, nullptr);
}

void TCliOutput::WriteBytes(std::string_view Bytes) {
    size_t Done = 0;
    while (Done < Bytes.size() && !FBroken.load()) {
        DWORD Written = 0;
        const auto Size = static_cast<DWORD>(std::min<size_t>(Bytes.size() - Done, 1 << 20));
        // A failure means the reader has gone (or the disk is full): the rest would be lost too.
        if (!WriteFile(FHandle, Bytes.data() + Done, Size, &Written, nullptr) || Written == 0) FBroken.store(true);
        Done += Written;
    }
}

void TCliOutput::Push(std::string Bytes) {
    auto* Line = new TLine{std::move(Bytes), FWaiting.load(std::memory_order_relaxed)};
    while (!FWaiting.compare_exchange_weak(Line->Next, Line, std::memory_order_release, std::memory_order_relaxed)) {
    }
}

// Takes every waiting line at once and writes them, oldest first, in one piece.
bool TCliOutput::WriteAllWaiting() {
    TLine* Newest = FWaiting.exchange(nullptr, std::memory_order_acquire);
    if (!Newest) return false;
    TLine* Oldest = nullptr;
    size_t Size = 0;
    while (Newest) {
        TLine* Next = Newest->Next;
        Newest->Next = Oldest;
        Oldest = Newest;
        Size += Oldest->Bytes.size();
        Newest = Next;
    }
    std::string Bytes;
    Bytes.reserve(Size);
    while (Oldest) {
        std::unique_ptr<TLine> Line(Oldest);
        Bytes += Line->Bytes;
        Oldest = Line->Next;
    }
    WriteBytes(Bytes);
    return true;
}

void TCliOutput::WriterLoop() {
    while (!FClosing.load()) {
        if (!WriteAllWaiting()) Sleep(WriterPause);
    }
    while (WriteAllWaiting()) {
    }
}

void TCliOutput::WriteLine(std::wstring_view Text) {
    if (FBroken.load()) return;
    if (FConsole) {
        WriteConsoleText(std::wstring(Text) + L"\r\n");
        return;
    }
    std::string Bytes = ToUtf8(Text) + "\r\n";
    if (FWriter.joinable())
        Push(std::move(Bytes));
    else
        WriteBytes(Bytes);
}

void TCliOutput::WriteUtf8Line(std::string_view Text) {
    WriteUtf8(std::string(Text) + "\r\n");
}

void TCliOutput::WriteUtf8(std::string_view Bytes) {
    if (FBroken.load() || Bytes.empty()) return;
    if (FConsole) {
        WriteConsoleText(FromLosslessUtf8(Bytes));
        return;
    }
    if (FWriter.joinable())
        Push(std::string(Bytes));
    else
        WriteBytes(Bytes);
}

void TCliOutput::WriteLines(std::wstring_view Text) {
    size_t Start = 0;
    while (Start < Text.size()) {
        size_t End = Text.find(L'\n', Start);
        if (End == std::wstring_view::npos) End = Text.size();
        WriteLine(Text.substr(Start, End - Start));
        Start = End + 1;
    }
}

TProgressLine::TProgressLine(const TCliOutput& Err, bool Wanted) : FHandle(GetStdHandle(STD_ERROR_HANDLE)) {
    FActive = Wanted && Err.Console();
}

TProgressLine::~TProgressLine() {
    Erase();
}

void TProgressLine::Update(std::wstring Text) {
    if (!FActive || GetTickCount64() - FDrawnAt < RedrawInterval) return;
    CONSOLE_SCREEN_BUFFER_INFO Info{};
    size_t Width = 80;
    if (GetConsoleScreenBufferInfo(FHandle, &Info) && Info.dwSize.X > 1) Width = static_cast<size_t>(Info.dwSize.X);
    // One column short of the width, so the cursor never wraps to a new line.
    if (Text.size() > Width - 1) Text.resize(Width - 1);
    const size_t Shown = Text.size();
    if (Shown < FShownWidth) Text.append(FShownWidth - Shown, L' ');
    Text = L"\r" + Text + L"\r";
    DWORD Written = 0;
    WriteConsoleW(FHandle, Text.data(), static_cast<DWORD>(Text.size()), &Written, nullptr);
    FShownWidth = Shown;
    FShown = true;
    FDrawnAt = GetTickCount64();
}

void TProgressLine::Erase() {
    if (!FActive || !FShown) return;
    std::wstring Blank = L"\r" + std::wstring(FShownWidth, L' ') + L"\r";
    DWORD Written = 0;
    WriteConsoleW(FHandle, Blank.data(), static_cast<DWORD>(Blank.size()), &Written, nullptr);
    FShown = false;
    FShownWidth = 0;
}
