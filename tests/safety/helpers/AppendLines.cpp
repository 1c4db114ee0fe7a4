// Appends numbered lines to a file the way a log writer does, until told to stop.
//   qv_append_lines PATH [MIN_MS MAX_MS]
// Every 2 to 5 ms (or MIN_MS to MAX_MS) it opens PATH (which must exist) for
// appending with full sharing, writes "append N\r\n" and closes it. Prints
// "ready" after the first attempt; on a line or the end of standard input it
// stops and prints "succeeded: N N ..." (the appends whose open, write and close
// all succeeded) and "failed: N N ...".
#include "HelperOutput.h"

#include "base/UniqueHandle.h"

#include <shellapi.h>

#include <atomic>
#include <random>
#include <thread>

namespace {

bool AppendLine(const std::wstring& Path, long long Number) {
    HANDLE Raw = CreateFileW(Path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (Raw == INVALID_HANDLE_VALUE) return false;
    UniqueFile File(Raw);
    const std::string Line = "append " + std::to_string(Number) + "\r\n";
    DWORD Written = 0;
    if (!WriteFile(File.Get(), Line.data(), static_cast<DWORD>(Line.size()), &Written, nullptr) ||
        Written != Line.size())
        return false;
    // A close that fails may have lost the bytes.
    return CloseHandle(File.Release()) != 0;
}

std::string NumberList(const std::vector<long long>& Numbers) {
    std::string Text;
    for (long long N : Numbers) {
        Text += ' ';
        Text += std::to_string(N);
    }
    return Text;
}

}  // namespace

int wmain() {
    const std::vector<std::wstring> Args = ProgramArguments();
    long long MinMs = 2, MaxMs = 5;
    if (Args.size() == 3) {
        MinMs = ParseCount(Args[1]);
        MaxMs = ParseCount(Args[2]);
    }
    if ((Args.size() != 1 && Args.size() != 3) || MinMs < 0 || MaxMs < MinMs) {
        WriteLineOut("usage: qv_append_lines PATH [MIN_MS MAX_MS]");
        return 1;
    }

    std::atomic<bool> Stop{false};
    std::thread Watcher([&Stop] {
        WaitForStop();
        Stop = true;
    });
    std::vector<long long> Succeeded, Failed;
    std::minstd_rand Random(GetCurrentProcessId());
    std::uniform_int_distribution<long long> Pause(MinMs, MaxMs);
    for (long long Number = 1; !Stop; ++Number) {
        (AppendLine(Args[0], Number) ? Succeeded : Failed).push_back(Number);
        if (Number == 1) WriteLineOut("ready");
        Sleep(static_cast<DWORD>(Pause(Random)));
    }
    Watcher.join();
    WriteLineOut("succeeded:" + NumberList(Succeeded));
    WriteLineOut("failed:" + NumberList(Failed));
    return 0;
}
