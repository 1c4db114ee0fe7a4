#pragma once
// Where quorvane-cli writes: standard output for results, standard error for
// messages and the status line. On a console every line shows at once. Results
// that go to a file or a pipe are handed to a writer thread, which passes on all
// that has gathered every few hundredths of a second: lines reach the reader
// promptly, and a long listing still costs few system calls.
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>

class TProgressLine;

class TCliOutput {
public:
    // Gathered: redirected output goes through the writer thread (for results);
    // otherwise each line is written at once (for messages).
    TCliOutput(unsigned long StdHandle, bool Gathered);
    // Everything written reaches its destination before the object goes.
    ~TCliOutput();
    TCliOutput(const TCliOutput&) = delete;
    TCliOutput& operator=(const TCliOutput&) = delete;

    bool Console() const { return FConsole; }
    // True once a write failed because the reader went away (a pipe to head):
    // nothing more is written. Safe to ask from any thread.
    bool Broken() const { return FBroken.load(); }
    // The status line that must give way before a line is written to the same console.
    void ShareConsoleWith(TProgressLine* Progress) { FProgress = Progress; }

    void WriteLine(std::wstring_view Text);
    // A line that is already UTF-8 (the JSON form).
    void WriteUtf8Line(std::string_view Text);
    // UTF-8 bytes as they are, line ends included.
    void WriteUtf8(std::string_view Bytes);
    // Text of several lines separated by "\n".
    void WriteLines(std::wstring_view Text);

private:
    // One line waiting for the writer thread. The lines form a stack that this
    // thread pushes onto and the writer empties in one exchange, so neither ever
    // waits for the other.
    struct TLine {
        std::string Bytes;
        TLine* Next = nullptr;
    };
    void WriteConsoleText(std::wstring_view Text);
    void WriteBytes(std::string_view Bytes);
    void Push(std::string Bytes);
    void WriterLoop();
    bool WriteAllWaiting();

    void* FHandle;
    bool FConsole = false;
    std::atomic<bool> FBroken{false};
    TProgressLine* FProgress = nullptr;
    std::atomic<TLine*> FWaiting{nullptr};
    std::atomic<bool> FClosing{false};
    std::thread FWriter;
};

// One status line on a console's standard error, redrawn in place at most ten
// times a second and erased at the end. Does nothing when standard error is not
// a console or the user turned it off.
class TProgressLine {
public:
    TProgressLine(const TCliOutput& Err, bool Wanted);
    ~TProgressLine();
    TProgressLine(const TProgressLine&) = delete;
    TProgressLine& operator=(const TProgressLine&) = delete;

    // The newest state; drawn when the last drawing is 100 ms old.
    void Update(std::wstring Text);
    void Erase();

private:
    void* FHandle = nullptr;
    bool FActive = false;
    bool FShown = false;
    std::uint64_t FDrawnAt = 0;
    size_t FShownWidth = 0;
};
