#include "cli/CliSupport.h"

#include "base/TextMatching.h"
#include "platform/InputChecks.h"
#include "platform/Language.h"
#include "platform/Messages.h"

#include <windows.h>
#include <shellapi.h>

namespace {

bool IsLanguageSwitch(const std::wstring& Argument) {
    std::wstring Upper = UpperCaseLinguistic(Argument);
    return Upper == L"/SWEDISH" || Upper == L"/ENGLISH";
}

}  // namespace

std::vector<std::wstring> CommandLineArguments() {
    std::vector<std::wstring> Arguments;
    int Count = 0;
    LPWSTR* List = CommandLineToArgvW(GetCommandLineW(), &Count);
    if (!List) return Arguments;
    for (int i = 1; i < Count; ++i) Arguments.emplace_back(List[i]);
    LocalFree(List);
    return Arguments;
}

bool ParseCliArguments(const std::vector<std::wstring>& Arguments, TCliOptions& Options, std::wstring& Error) {
    const bool Swedish = UseSwedish();
    std::vector<std::wstring> Positional;
    for (size_t i = 0; i < Arguments.size(); ++i) {
        const std::wstring& Argument = Arguments[i];
        auto Value = [&](std::wstring& Target) {
            if (i + 1 >= Arguments.size()) {
                Error = ChooseText(Swedish, L"Värde saknas efter ", L"Missing value after ") + Argument;
                return false;
            }
            Target = Arguments[++i];
            return true;
        };
        if (IsLanguageSwitch(Argument)) continue;
        if (Argument == L"--help" || Argument == L"-h" || Argument == L"/?") {
            Options.Help = true;
        } else if (Argument == L"--find") {
            if (!Value(Options.TextToFind)) return false;
            Options.HasFind = true;
        } else if (Argument == L"--replace") {
            if (!Value(Options.ReplaceWith)) return false;
            Options.HasReplace = true;
        } else if (Argument == L"--filters") {
            if (!Value(Options.Filters)) return false;
        } else if (Argument == L"--recursive") {
            Options.Recursive = true;
        } else if (Argument == L"--ignore-case") {
            Options.CaseSensitive = false;
        } else if (Argument == L"--encoding") {
            std::wstring Name;
            if (!Value(Name)) return false;
            if (Name == L"auto") Options.TextEncoding = TEncodingMode::Auto;
            else if (Name == L"ansi") Options.TextEncoding = TEncodingMode::Ansi;
            else if (Name == L"utf16le") Options.TextEncoding = TEncodingMode::Utf16LE;
            else if (Name == L"utf8") Options.TextEncoding = TEncodingMode::Utf8;
            else {
                Error = ChooseText(Swedish, L"Okänd kodning: ", L"Unknown encoding: ") + Name;
                return false;
            }
        } else if (Argument.size() > 2 && Argument.compare(0, 2, L"--") == 0) {
            Error = ChooseText(Swedish, L"Okänt alternativ: ", L"Unknown option: ") + Argument;
            return false;
        } else {
            Positional.push_back(Argument);
        }
    }
    if (Options.Help) return true;
    if (Positional.empty()) {
        Error = ChooseText(Swedish, L"Ange ett kommando: search eller replace.", L"Name a command: search or replace.");
        return false;
    }
    Options.Command = Positional[0];
    if (Options.Command != L"search" && Options.Command != L"replace") {
        Error = ChooseText(Swedish, L"Okänt kommando: ", L"Unknown command: ") + Options.Command;
        return false;
    }
    if (Positional.size() != 2) {
        Error = ChooseText(Swedish, L"Ange exakt en mapp.", L"Name exactly one folder.");
        return false;
    }
    Options.Folder = Positional[1];
    if (!Options.HasFind) {
        Error = ChooseText(Swedish, L"--find saknas (använd --find \"\" för att lista alla filer).",
                           L"--find is missing (use --find \"\" to list every file).");
        return false;
    }
    if (Options.Command == L"replace" && !Options.HasReplace) {
        Error = ChooseText(Swedish, L"--replace saknas (använd --replace \"\" för att radera förekomsterna).",
                           L"--replace is missing (use --replace \"\" to delete the occurrences).");
        return false;
    }
    if (Options.Command == L"search" && Options.HasReplace) {
        Error = ChooseText(Swedish, L"--replace hör till kommandot replace.", L"--replace belongs to the replace command.");
        return false;
    }
    return true;
}

std::wstring CliUsage() {
    return ChooseText(
        UseSwedish(),
        L"Användning:\r\n"
        L"  quorvane-cli search MAPP --find TEXT [--filters \"*.TXT; *.md\"] [--recursive] [--ignore-case]\r\n"
        L"               [--encoding auto|ansi|utf16le|utf8]\r\n"
        L"  quorvane-cli replace MAPP --find TEXT --replace TEXT [samma alternativ som search]\r\n"
        L"\r\n"
        L"search skriver en rad per fil: sökväg (antal). --find \"\" listar alla filer som matchar filtren.\r\n"
        L"replace ersätter alla förekomster utan att fråga; --replace \"\" raderar dem.\r\n"
        L"Standard: filtret *.TXT, inte rekursivt, skiftlägeskänsligt, automatisk kodning.\r\n"
        L"Språk: /SWEDISH eller /ENGLISH (annars systemets språk).\r\n"
        L"Slutkod: 0 när en fil listades eller ändrades, 1 när ingen, 2 vid felaktig indata.\r\n",
        L"Usage:\r\n"
        L"  quorvane-cli search FOLDER --find TEXT [--filters \"*.TXT; *.md\"] [--recursive] [--ignore-case]\r\n"
        L"               [--encoding auto|ansi|utf16le|utf8]\r\n"
        L"  quorvane-cli replace FOLDER --find TEXT --replace TEXT [same options as search]\r\n"
        L"\r\n"
        L"search prints one line per file: path (count). --find \"\" lists every file that matches the filters.\r\n"
        L"replace replaces every occurrence without asking; --replace \"\" deletes them.\r\n"
        L"Defaults: filter *.TXT, not recursive, case sensitive, automatic encoding.\r\n"
        L"Language: /SWEDISH or /ENGLISH (otherwise the system's locale).\r\n"
        L"Exit code: 0 when a file was listed or changed, 1 when none, 2 for bad input.\r\n");
}

std::wstring InputError(const TCliOptions& Options) {
    const TRunInputs Inputs{Options.Folder, Options.Filters, Options.TextToFind, Options.ReplaceWith,
                            Options.CaseSensitive, Options.TextEncoding};
    return InputProblemMessage(Options.Command == L"replace" ? CheckApplyInputs(Inputs) : CheckSearchInputs(Inputs));
}

TCliOutput::TCliOutput(unsigned long StdHandle) : FHandle(GetStdHandle(StdHandle)) {
    DWORD Mode = 0;
    FConsole = FHandle && FHandle != INVALID_HANDLE_VALUE && GetConsoleMode(FHandle, &Mode);
}

TCliOutput::~TCliOutput() {
    Flush();
}

void TCliOutput::Write(const std::wstring& Text) {
    FBuffer += Text;
    if (FBuffer.size() >= 32768) Flush();
}

void TCliOutput::Flush() {
    if (FBuffer.empty() || !FHandle || FHandle == INVALID_HANDLE_VALUE) {
        FBuffer.clear();
        return;
    }
    if (FConsole) {
        DWORD Written = 0;
        WriteConsoleW(FHandle, FBuffer.data(), static_cast<DWORD>(FBuffer.size()), &Written, nullptr);
    } else {
        int Length = WideCharToMultiByte(CP_UTF8, 0, FBuffer.data(), static_cast<int>(FBuffer.size()), nullptr, 0,
                                         nullptr, nullptr);
        std::string Bytes(static_cast<size_t>(Length), '\0');
        WideCharToMultiByte(CP_UTF8, 0, FBuffer.data(), static_cast<int>(FBuffer.size()), Bytes.data(), Length,
                            nullptr, nullptr);
        DWORD Written = 0;
        WriteFile(FHandle, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Written, nullptr);
    }
    FBuffer.clear();
}
