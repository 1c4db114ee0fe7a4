// Starts a program and ends it with TerminateProcess after a given time, the
// way the task manager or a shut-down ends a program in the middle of its work.
//   qv_kill_after MILLISECONDS PROGRAM [ARGUMENT ...]
// The program shares this helper's standard handles. Prints "terminated after
// N ms" when it was still running (and has ended since), or "ended after N ms
// with exit code C" when it finished first. Exit code 1 for bad arguments, 2
// when the program cannot be started.
#include "HelperOutput.h"

#include "base/UniqueHandle.h"

#include <shellapi.h>

#include <chrono>

namespace {

// One argument as the C runtime's parser reads it back.
std::wstring Quoted(const std::wstring& Argument) {
    if (!Argument.empty() && Argument.find_first_of(L" \t\"") == std::wstring::npos) return Argument;
    std::wstring Result = L"\"";
    size_t Backslashes = 0;
    for (wchar_t C : Argument) {
        if (C == L'\\') {
            ++Backslashes;
            continue;
        }
        Result.append(C == L'"' ? Backslashes * 2 + 1 : Backslashes, L'\\');
        Backslashes = 0;
        Result += C;
    }
    Result.append(Backslashes * 2, L'\\');
    return Result + L"\"";
}

void MakeInheritable(DWORD StdHandle) {
    HANDLE Handle = GetStdHandle(StdHandle);
    if (Handle && Handle != INVALID_HANDLE_VALUE)
        SetHandleInformation(Handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
}

}  // namespace

int wmain() {
    const std::vector<std::wstring> Args = ProgramArguments();
    const long long Delay = Args.size() >= 2 ? ParseCount(Args[0]) : -1;
    if (Delay < 0 || Delay > 0x7FFFFFFE) {
        WriteLineOut("usage: qv_kill_after MILLISECONDS PROGRAM [ARGUMENT ...]");
        return 1;
    }
    std::wstring CommandLine;
    for (size_t i = 1; i < Args.size(); ++i) CommandLine += (i > 1 ? L" " : L"") + Quoted(Args[i]);

    MakeInheritable(STD_INPUT_HANDLE);
    MakeInheritable(STD_OUTPUT_HANDLE);
    MakeInheritable(STD_ERROR_HANDLE);
    STARTUPINFOW Startup{};
    Startup.cb = sizeof(Startup);
    Startup.dwFlags = STARTF_USESTDHANDLES;
    Startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    Startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    Startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION Info{};
    const auto Started = std::chrono::steady_clock::now();
    if (!CreateProcessW(nullptr, CommandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &Startup, &Info)) {
        WriteLineOut("cannot start: error " + std::to_string(GetLastError()));
        return 2;
    }
    UniqueKernelHandle Process(Info.hProcess);
    UniqueKernelHandle Thread(Info.hThread);
    auto Elapsed = [&Started] {
        return std::to_string(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - Started).count());
    };
    if (WaitForSingleObject(Process.Get(), static_cast<DWORD>(Delay)) == WAIT_OBJECT_0) {
        DWORD ExitCode = 0;
        GetExitCodeProcess(Process.Get(), &ExitCode);
        WriteLineOut("ended after " + Elapsed() + " ms with exit code " + std::to_string(ExitCode));
        return 0;
    }
    const std::string At = Elapsed();
    TerminateProcess(Process.Get(), 255);
    // Gone for good before the driver looks at the files.
    WaitForSingleObject(Process.Get(), INFINITE);
    WriteLineOut("terminated after " + At + " ms");
    return 0;
}
