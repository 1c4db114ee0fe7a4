#pragma once
// The command-line front end's shared pieces: argument parsing, the window's
// input checks, and output that is UTF-8 when redirected and Unicode on a console.
#include "files/EncodingMode.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr int ExitListed = 0;    // search: a file was listed; replace: a file was changed
constexpr int ExitNone = 1;      // nothing listed / nothing changed
constexpr int ExitBadInput = 2;  // the input checks refused the command

struct TCliOptions {
    std::wstring Command;  // "search" or "replace"
    std::wstring Folder;
    std::wstring Filters = L"*.TXT";
    std::wstring TextToFind;
    std::wstring ReplaceWith;
    bool HasFind = false;
    bool HasReplace = false;
    bool Recursive = false;
    bool CaseSensitive = true;
    TEncodingMode TextEncoding = TEncodingMode::Auto;
    bool Help = false;
};

// Parses the arguments after the program name; language switches (/SWEDISH,
// /ENGLISH) are skipped here, UseSwedish reads them. On an error, Error is set.
bool ParseCliArguments(const std::vector<std::wstring>& Arguments, TCliOptions& Options, std::wstring& Error);
std::vector<std::wstring> CommandLineArguments();
std::wstring CliUsage();
// The window's input checks for the command, in its order: the first message that
// applies, or the empty text when the input passes.
std::wstring InputError(const TCliOptions& Options);

// Buffered output to standard output or standard error.
class TCliOutput {
public:
    explicit TCliOutput(unsigned long StdHandle);
    ~TCliOutput();
    TCliOutput(const TCliOutput&) = delete;
    TCliOutput& operator=(const TCliOutput&) = delete;
    void Write(const std::wstring& Text);
    void WriteLine(const std::wstring& Text) { Write(Text + L"\r\n"); }
    void Flush();

private:
    void* FHandle;
    bool FConsole = false;
    std::wstring FBuffer;
};

int RunSearchCommand(const TCliOptions& Options);
int RunReplaceCommand(const TCliOptions& Options);
