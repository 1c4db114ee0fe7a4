#pragma once
// What the data-safety helpers share: plain UTF-8 lines on standard output,
// written at once (the driver waits for them), and argument parsing.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

inline void WriteLineOut(const std::string& Text) {
    const std::string Line = Text + "\n";
    DWORD Written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), Line.data(), static_cast<DWORD>(Line.size()), &Written, nullptr);
}

inline std::string Utf8(const std::wstring& Text) {
    if (Text.empty()) return {};
    const int Size = WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0, nullptr,
                                         nullptr);
    std::string Bytes(static_cast<size_t>(Size > 0 ? Size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), Bytes.data(), Size, nullptr, nullptr);
    return Bytes;
}

// The program's arguments after its own name.
inline std::vector<std::wstring> ProgramArguments() {
    int Count = 0;
    LPWSTR* Arguments = CommandLineToArgvW(GetCommandLineW(), &Count);
    if (!Arguments) return {};
    std::vector<std::wstring> Args(Arguments + 1, Arguments + Count);
    LocalFree(Arguments);
    return Args;
}

// Blocks until standard input has a line or is closed: the driver's "stop".
inline void WaitForStop() {
    char Buffer[64];
    DWORD Got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), Buffer, sizeof(Buffer), &Got, nullptr) && Got > 0) {
        for (DWORD i = 0; i < Got; ++i)
            if (Buffer[i] == '\n') return;
    }
}

// A whole decimal number, or -1.
inline long long ParseCount(const std::wstring& Text) {
    if (Text.empty() || Text.size() > 12) return -1;
    long long Value = 0;
    for (wchar_t C : Text) {
        if (C < L'0' || C > L'9') return -1;
        Value = Value * 10 + (C - L'0');
    }
    return Value;
}
