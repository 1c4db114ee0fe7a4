#include "BenchSupport.h"

#include "base/UniqueHandle.h"
#include "files/FileCollection.h"
#include "files/LongPath.h"

#include <psapi.h>
#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <algorithm>
#include <cstring>

void CollectAsTheRunDoes(TFileCollector& Collector, const TBenchArgs& Args) {
    Collector.KeepFileNames(SplitText(Args.Filters, L"; ").size() > 1);
}

bool ParseBenchArgs(TBenchArgs& Args, std::wstring& Error) {
    int Count = 0;
    LPWSTR* List = CommandLineToArgvW(GetCommandLineW(), &Count);
    if (!List) {
        Error = L"cannot read the command line";
        return false;
    }
    std::vector<std::wstring> A(List + 1, List + Count);
    LocalFree(List);
    std::vector<std::wstring> Positional;
    for (size_t i = 0; i < A.size(); ++i) {
        auto Value = [&](std::wstring& Target) {
            if (i + 1 >= A.size()) {
                Error = L"missing value after " + A[i];
                return false;
            }
            Target = A[++i];
            return true;
        };
        std::wstring Number;
        if (A[i] == L"--filters") {
            if (!Value(Args.Filters)) return false;
        } else if (A[i] == L"--find") {
            if (!Value(Args.TextToFind)) return false;
        } else if (A[i] == L"--replace") {
            if (!Value(Args.ReplaceWith)) return false;
        } else if (A[i] == L"--dump") {
            if (!Value(Args.DumpPath)) return false;
        } else if (A[i] == L"--no-decoded-length") {
            Args.DecodedLength = false;
        } else if (A[i] == L"--ignore-case") {
            Args.CaseSensitive = false;
        } else if (A[i] == L"--regex") {
            Args.Regex = true;
        } else if (A[i] == L"--recursive") {
            Args.Recursive = true;
        } else if (A[i] == L"--encoding") {
            if (!Value(Number)) return false;
            Args.Encoding = std::stoi(Number);
        } else if (A[i] == L"--case") {
            std::wstring CaseText;
            if (!Value(CaseText)) return false;
            if (CaseText.size() < 3 || (CaseText.compare(0, 3, L"cs:") != 0 && CaseText.compare(0, 3, L"ci:") != 0)) {
                Error = L"--case takes cs:WORD or ci:WORD";
                return false;
            }
            Args.Cases.emplace_back(CaseText[1] == L's', CaseText.substr(3));
        } else if (A[i] == L"--piece-kb") {
            if (!Value(Number)) return false;
            Args.PieceKb = std::stoll(Number);
        } else if (A[i] == L"--limit") {
            if (!Value(Number)) return false;
            Args.Limit = std::stoll(Number);
        } else if (A[i].rfind(L"--", 0) == 0) {
            Error = L"unknown option " + A[i];
            return false;
        } else {
            Positional.push_back(A[i]);
        }
    }
    if (Positional.size() != 2) {
        Error = L"usage: qv-bench MODE FOLDER [options]";
        return false;
    }
    Args.Mode = Positional[0];
    Args.Folder = Positional[1];
    return true;
}

double Now() {
    static const double Frequency = [] {
        LARGE_INTEGER F;
        QueryPerformanceFrequency(&F);
        return static_cast<double>(F.QuadPart);
    }();
    LARGE_INTEGER T;
    QueryPerformanceCounter(&T);
    return static_cast<double>(T.QuadPart) / Frequency;
}

TMemory ProcessMemory() {
    PROCESS_MEMORY_COUNTERS Counters{};
    Counters.cb = sizeof(Counters);
    TMemory Result;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &Counters, sizeof(Counters))) {
        Result.PeakWorkingSet = Counters.PeakWorkingSetSize;
        Result.WorkingSet = Counters.WorkingSetSize;
        Result.PeakPagefile = Counters.PeakPagefileUsage;
    }
    return Result;
}

namespace {

// The import entry of Dll!Name in this executable (statically linked, so every
// call of the product's libraries goes through it), or null.
void** ImportEntry(const char* Dll, const char* Name) {
    auto* Base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    auto* Dos = reinterpret_cast<IMAGE_DOS_HEADER*>(Base);
    auto* Nt = reinterpret_cast<IMAGE_NT_HEADERS*>(Base + Dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& Dir = Nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (Dir.VirtualAddress == 0) return nullptr;
    for (auto* Desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(Base + Dir.VirtualAddress); Desc->Name; ++Desc) {
        if (_stricmp(reinterpret_cast<char*>(Base + Desc->Name), Dll) != 0) continue;
        DWORD NamesRva = Desc->OriginalFirstThunk ? Desc->OriginalFirstThunk : Desc->FirstThunk;
        auto* Names = reinterpret_cast<IMAGE_THUNK_DATA*>(Base + NamesRva);
        auto* Functions = reinterpret_cast<IMAGE_THUNK_DATA*>(Base + Desc->FirstThunk);
        for (; Names->u1.AddressOfData; ++Names, ++Functions) {
            if (IMAGE_SNAP_BY_ORDINAL(Names->u1.Ordinal)) continue;
            auto* ByName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(Base + Names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<char*>(ByName->Name), Name) == 0)
                return reinterpret_cast<void**>(&Functions->u1.Function);
        }
    }
    return nullptr;
}

struct TApiCounter {
    const char* Name;
    void* Real = nullptr;
    std::atomic<std::int64_t> Calls{0};
    std::atomic<std::int64_t> Ticks{0};
};

TApiCounter Counters[] = {{"CreateFileW"},      {"CloseHandle"},     {"FindFirstFileW"},  {"FindFirstFileExW"},
                          {"FindNextFileW"},    {"FindClose"},       {"ReadFile"},        {"WriteFile"},
                          {"FlushFileBuffers"}, {"MoveFileW"},       {"MoveFileExW"},     {"DeleteFileW"},
                          {"GetFileSizeEx"},    {"GetFileAttributesW"}, {"GetFileInformationByHandle"},
                          {"CompareStringW"},   {"LCMapStringW"},    {"CharUpperBuffW"},  {"MultiByteToWideChar"},
                          {"WideCharToMultiByte"}, {"SetFileInformationByHandle"}};

template <int Id, typename R, typename... A>
R WINAPI Counted(A... Arguments) {
    LARGE_INTEGER Start, End;
    QueryPerformanceCounter(&Start);
    R Result = reinterpret_cast<R(WINAPI*)(A...)>(Counters[Id].Real)(Arguments...);
    QueryPerformanceCounter(&End);
    Counters[Id].Calls.fetch_add(1, std::memory_order_relaxed);
    Counters[Id].Ticks.fetch_add(End.QuadPart - Start.QuadPart, std::memory_order_relaxed);
    return Result;
}

template <int Id, typename R, typename... A>
void Redirect(R(WINAPI*)(A...)) {
    // Functions the program never imports (a user32 one, say) have no entry: nothing to count.
    for (const char* Dll : {"kernel32.dll", "user32.dll"}) {
        void** Entry = ImportEntry(Dll, Counters[Id].Name);
        if (!Entry) continue;
        DWORD Old = 0;
        if (!VirtualProtect(Entry, sizeof(void*), PAGE_READWRITE, &Old)) return;
        Counters[Id].Real = *Entry;
        *Entry = reinterpret_cast<void*>(&Counted<Id, R, A...>);
        VirtualProtect(Entry, sizeof(void*), Old, &Old);
        return;
    }
}

}  // namespace

void InstallCallCounters() {
    Redirect<0>(&CreateFileW);
    Redirect<1>(&CloseHandle);
    Redirect<2>(&FindFirstFileW);
    Redirect<3>(&FindFirstFileExW);
    Redirect<4>(&FindNextFileW);
    Redirect<5>(&FindClose);
    Redirect<6>(&ReadFile);
    Redirect<7>(&WriteFile);
    Redirect<8>(&FlushFileBuffers);
    Redirect<9>(&MoveFileW);
    Redirect<10>(&MoveFileExW);
    Redirect<11>(&DeleteFileW);
    Redirect<12>(&GetFileSizeEx);
    Redirect<13>(&GetFileAttributesW);
    Redirect<14>(&GetFileInformationByHandle);
    Redirect<15>(&CompareStringW);
    Redirect<16>(&LCMapStringW);
    Redirect<17>(&CharUpperBuffW);
    Redirect<18>(&MultiByteToWideChar);
    Redirect<19>(&WideCharToMultiByte);
    Redirect<20>(&SetFileInformationByHandle);
}

std::vector<TApiStat> ApiStats() {
    LARGE_INTEGER Frequency;
    QueryPerformanceFrequency(&Frequency);
    std::vector<TApiStat> Stats;
    for (const TApiCounter& C : Counters)
        Stats.push_back({C.Name, C.Calls.load(),
                         static_cast<double>(C.Ticks.load()) / static_cast<double>(Frequency.QuadPart)});
    return Stats;
}

TCallCounts CallCounts() {
    TCallCounts Result;
    Result.Api = ApiStats();
    for (const TApiStat& S : Result.Api) {
        if (S.Name == "CreateFileW") Result.CreateFile = S.Calls;
        if (S.Name == "FindFirstFileW" || S.Name == "FindFirstFileExW") Result.FindFirst += S.Calls;
        if (S.Name == "ReadFile") Result.ReadFile = S.Calls;
    }
    return Result;
}

void TResult::Set(const std::string& Key, double Value) {
    char Text[64];
    std::snprintf(Text, sizeof(Text), "%.6f", Value);
    FItems.emplace_back(Key, Text);
}
void TResult::Set(const std::string& Key, std::int64_t Value) {
    FItems.emplace_back(Key, std::to_string(Value));
}
void TResult::Set(const std::string& Key, const std::string& Value) {
    FItems.emplace_back(Key, Value);
}
void TResult::Print() const {
    std::string Text;
    for (const auto& [Key, Value] : FItems) Text += "result " + Key + "=" + Value + "\n";
    DWORD Written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), Text.data(), static_cast<DWORD>(Text.size()), &Written, nullptr);
}

std::string Utf8(const std::wstring& Text) {
    if (Text.empty()) return {};
    int Length = WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0, nullptr,
                                     nullptr);
    std::string Bytes(static_cast<size_t>(Length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), Bytes.data(), Length, nullptr,
                        nullptr);
    return Bytes;
}

std::wstring Wide(const std::string& Text) {
    if (Text.empty()) return {};
    int Length = MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
    std::wstring Result(static_cast<size_t>(Length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), Result.data(), Length);
    return Result;
}

bool WriteDump(const std::wstring& Path, const std::vector<TCountLine>& Lines) {
    std::string Text;
    for (const TCountLine& L : Lines)
        Text += std::to_string(L.Count) + "\t" + std::to_string(L.Mode) + "\t" + Utf8(L.Path) + "\n";
    UniqueFile File(CreateFileW(ExtendedPath(Path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!File) return false;
    DWORD Written = 0;
    return WriteFile(File.Get(), Text.data(), static_cast<DWORD>(Text.size()), &Written, nullptr) &&
           Written == Text.size();
}

bool ReadAllBytes(const std::wstring& Path, std::string& Bytes) {
    UniqueFile File(CreateFileW(ExtendedPath(Path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!File) return false;
    LARGE_INTEGER Size;
    if (!GetFileSizeEx(File.Get(), &Size)) return false;
    Bytes.resize(static_cast<size_t>(Size.QuadPart));
    size_t Done = 0;
    while (Done < Bytes.size()) {
        DWORD Got = 0;
        DWORD Chunk = static_cast<DWORD>(std::min<size_t>(Bytes.size() - Done, 1u << 30));
        if (!ReadFile(File.Get(), Bytes.data() + Done, Chunk, &Got, nullptr) || Got == 0) return false;
        Done += Got;
    }
    return true;
}

std::uint64_t FileSizeOf(const std::wstring& Path) {
    WIN32_FILE_ATTRIBUTE_DATA Data;
    if (!GetFileAttributesExW(ExtendedPath(Path).c_str(), GetFileExInfoStandard, &Data)) return 0;
    return (static_cast<std::uint64_t>(Data.nFileSizeHigh) << 32) | Data.nFileSizeLow;
}

bool TFolderOnce::Identify(const std::wstring& ExtFolder, TId& Id) {
    UniqueFile Folder(CreateFileW(ExtFolder.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION Info;
    if (!Folder || !GetFileInformationByHandle(Folder.Get(), &Info)) return false;
    Id = {Info.dwVolumeSerialNumber, Info.nFileIndexHigh, Info.nFileIndexLow};
    return true;
}

bool TFolderOnce::Enter(const std::wstring& ExtFolder) {
    if (!FLinkMet) {
        FBeforeLink.push_back(ExtFolder);
        return true;
    }
    TId Id;
    return !Identify(ExtFolder, Id) || FEntered.insert(Id).second;
}

void TFolderOnce::MeetLink() {
    if (FLinkMet) return;
    FLinkMet = true;
    for (const std::wstring& Folder : FBeforeLink)
        if (TId Id; Identify(Folder, Id)) FEntered.insert(Id);
    FBeforeLink.clear();
}
