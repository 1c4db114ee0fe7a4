// qv-bench: one measurement per process, so that the process's peak working set
// belongs to that measurement alone. Modes:
//   search       the product's search worker, as the window and quorvane-cli run it
//   apply        the product's apply worker
//   floor        the read floor: one listing per folder, then open and read whole
//                each file a search examines, nothing else
//   writefloor   the write floor: the read floor, and every file that holds the
//                text to find written anew by temporary file, flush and rename
//   engine       decoding and counting of files already in memory, one thread,
//                into text memory kept from file to file
//   profile      the worker's steps, each timed on its own, with the product's routines
//   plain        the plain reference search (counts for every file)
//   plain-apply  the plain reference apply
//   lines        every occurrence listed with its line and new line (BenchLines.cpp)
// Results go to standard output as "result key=value" lines; per-file counts to --dump.
#include "BenchSupport.h"
#include "PlainReference.h"

#include "base/TextMatching.h"
#include "base/UniqueHandle.h"
#include "workers/FilePipeline.h"
#include "workers/WorkThreadApply.h"
#include "workers/WorkThreadSearch.h"
#include "files/FileCollection.h"
#include "files/LongPath.h"
#include "files/TextDecoding.h"
#include "files/TextFileReader.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <exception>

namespace {

struct TFileSet {
    std::int64_t Files = 0;
    std::uint64_t Bytes = 0;
    std::wstring Largest;
    std::uint64_t LargestBytes = 0;
    std::int64_t DirectoryPasses = 0;
};

// What a search run examines: every file of every filter, as the product collects
// them (taken after the measured run; the collector's passes are counted here).
TFileSet ExaminedFiles(const TBenchArgs& Args) {
    TFileSet Set;
    TFileCollector Collector;
    CollectAsTheRunDoes(Collector, Args);
    for (const std::wstring& Filter : SplitText(Args.Filters, L"; ")) {
        for (const std::wstring& File :
             Collector.Collect(WithTrailingBackslash(Args.Folder), Filter, Args.Recursive, false, false, false)) {
            std::uint64_t Size = FileSizeOf(File);
            ++Set.Files;
            Set.Bytes += Size;
            if (Size > Set.LargestBytes || Set.Largest.empty()) {
                Set.LargestBytes = Size;
                Set.Largest = File;
            }
        }
    }
    Set.DirectoryPasses = Collector.DirectoryPasses();
    return Set;
}

// The decoded length in bytes of the set's largest file, in the mode the run reads it in.
std::int64_t LargestDecodedBytes(const TFileSet& Set, const TBenchArgs& Args) {
    if (Set.Largest.empty() || !Args.DecodedLength) return 0;
    TTextFileContent Content = LoadTextFile(Set.Largest, EncodingModeFromStored(Args.Encoding), false);
    return static_cast<std::int64_t>(Content.Text.size() * sizeof(wchar_t));
}

void ReportFileSet(TResult& Result, const TFileSet& Set, std::int64_t LargestDecoded) {
    Result.Set("files", Set.Files);
    Result.Set("bytes", static_cast<std::int64_t>(Set.Bytes));
    Result.Set("directory_passes", Set.DirectoryPasses);
    Result.Set("largest_bytes", static_cast<std::int64_t>(Set.LargestBytes));
    Result.Set("largest_decoded_bytes", LargestDecoded);
}

// Calls and time spent in each counted system function between two snapshots.
void ReportApi(TResult& Result, const TCallCounts& Before, const TCallCounts& After) {
    for (size_t i = 0; i < After.Api.size(); ++i) {
        const std::int64_t Calls = After.Api[i].Calls - Before.Api[i].Calls;
        if (Calls == 0) continue;
        Result.Set("api_" + After.Api[i].Name + "_calls", Calls);
        Result.Set("api_" + After.Api[i].Name + "_seconds", After.Api[i].Seconds - Before.Api[i].Seconds);
    }
}

void ReportRun(TResult& Result, double Seconds, const TCallCounts& Before) {
    TCallCounts After = CallCounts();
    TMemory Memory = ProcessMemory();
    Result.Set("seconds", Seconds);
    Result.Set("peak_working_set", static_cast<std::int64_t>(Memory.PeakWorkingSet));
    Result.Set("peak_pagefile", static_cast<std::int64_t>(Memory.PeakPagefile));
    Result.Set("create_file_calls", After.CreateFile - Before.CreateFile);
    Result.Set("find_first_calls", After.FindFirst - Before.FindFirst);
    Result.Set("read_file_calls", After.ReadFile - Before.ReadFile);
    ReportApi(Result, Before, After);
}

int RunSearch(const TBenchArgs& Args) {
    std::vector<TCountLine> Lines;
    std::int32_t Skipped = 0;
    TResult Result;
    TCallCounts Before = CallCounts();
    double Start = Now();
    {
        TWorkThreadSearch Worker(Args.Folder, Args.Recursive, Args.Filters, Args.TextToFind, Args.CaseSensitive,
                                 EncodingModeFromStored(Args.Encoding), TFindRule{Args.Regex, false});
        Worker.OnSearchAddFile = [&](std::wstring FileName, std::int32_t Occurences, std::int32_t) {
            Lines.push_back({std::move(FileName), -1, Occurences});
        };
        Worker.OnSearchReturnValues = [&](std::int32_t SkipCount) { Skipped = SkipCount; };
        Worker.Start();
        Worker.WaitFor();
    }
    double Seconds = Now() - Start;
    ReportRun(Result, Seconds, Before);
    Result.Set("listed", static_cast<std::int64_t>(Lines.size()));
    Result.Set("skipped", static_cast<std::int64_t>(Skipped));
    std::int64_t Total = 0;
    for (const TCountLine& L : Lines) Total += L.Count;
    Result.Set("occurrences", Total);
    const TFileSet Set = ExaminedFiles(Args);
    ReportFileSet(Result, Set, LargestDecodedBytes(Set, Args));
    if (!Args.DumpPath.empty() && !WriteDump(Args.DumpPath, Lines)) return 3;
    Result.Print();
    return 0;
}

int RunApply(const TBenchArgs& Args) {
    std::int32_t Changed = 0, Replaced = 0, Skipped = 0;
    TResult Result;
    // Before the run: the files as they were.
    const TFileSet Set = ExaminedFiles(Args);
    const std::int64_t LargestDecoded = LargestDecodedBytes(Set, Args);
    TCallCounts Before = CallCounts();
    double Start = Now();
    {
        TWorkThreadApply Worker(Args.Folder, Args.Recursive, Args.Filters, Args.TextToFind, Args.ReplaceWith,
                                Args.CaseSensitive, EncodingModeFromStored(Args.Encoding));
        Worker.OnApplyReturnValues = [&](std::int32_t ChangeCount, std::int32_t ReplaceCount, std::int32_t SkipCount) {
            Changed = ChangeCount;
            Replaced = ReplaceCount;
            Skipped = SkipCount;
        };
        Worker.Start();
        Worker.WaitFor();
    }
    ReportRun(Result, Now() - Start, Before);
    Result.Set("changed", static_cast<std::int64_t>(Changed));
    Result.Set("replaced", static_cast<std::int64_t>(Replaced));
    Result.Set("skipped", static_cast<std::int64_t>(Skipped));
    ReportFileSet(Result, Set, LargestDecoded);
    Result.Print();
    return 0;
}

// Case-insensitive "*" and "?" matching, for the floor's own single listing.
bool MaskMatches(const wchar_t* Mask, const wchar_t* Name) {
    if (*Mask == L'\0') return *Name == L'\0';
    if (*Mask == L'*') {
        for (const wchar_t* N = Name;; ++N) {
            if (MaskMatches(Mask + 1, N)) return true;
            if (*N == L'\0') return false;
        }
    }
    if (*Name == L'\0') return false;
    if (*Mask != L'?' && std::towupper(*Mask) != std::towupper(*Name)) return false;
    return MaskMatches(Mask + 1, Name + 1);
}

// The resolved mode and the mark length of bytes already in memory, as the
// automatic mode reads them (the product's own routine does this inside its read).
std::int32_t ModeOfBytes(std::int32_t Mode, std::string_view Bytes, size_t& Skip) {
    auto Starts = [&](const char* Mark, size_t Length) { return Bytes.compare(0, Length, Mark, Length) == 0; };
    if (Mode == 0) {
        if (Starts("\x00\x00\xFE\xFF", 4) || Starts("\xFF\xFE\x00\x00", 4)) Mode = 0;
        else if (Starts("\xEF\xBB\xBF", 3)) Mode = 3;
        else if (Starts("\xFE\xFF", 2)) Mode = 0;
        else if (Starts("\xFF\xFE", 2)) Mode = 2;
        else Mode = 1;
        if (Mode == 0) return 0;
    }
    Skip = 0;
    if (Mode == 3 && Starts("\xEF\xBB\xBF", 3)) Skip = 3;
    if (Mode == 2 && Starts("\xFF\xFE", 2)) Skip = 2;
    if (Mode == 1 && GetACP() == CP_UTF8 && Starts("\xEF\xBB\xBF", 3)) Skip = 3;
    return Mode;
}

// The floors' walk: one FindFirstFileExW listing per folder (basic information,
// large fetch), depth first, and Visit(folder, name, size) for every file of the
// folder once per mask it matches, in listing order. The read floor visits each
// file as the listing meets it; a floor that writes into the folder lists it whole
// first (ListFirst), so that its own new files cannot change the listing it walks.
struct TFloorWalk {
    std::int64_t Files = 0;
    std::int64_t Folders = 0;
    double EnumerateSeconds = 0;
};

template <bool ListFirst, typename TVisit>
TFloorWalk WalkFloor(const TBenchArgs& Args, TVisit&& Visit) {
    const TStringArray Masks = SplitText(Args.Filters, L"; ");
    TFloorWalk Walk;
    // Folders to enter, and whether each is a link, entered depth first as the program does.
    std::vector<std::pair<std::wstring, bool>> Pending{{ExtendedPath(WithTrailingBackslash(Args.Folder)), false}};
    std::vector<std::pair<std::wstring, std::uint64_t>> Matched;
    TFolderOnce Entered;
    while (!Pending.empty()) {
        auto [Folder, IsLink] = std::move(Pending.back());
        Pending.pop_back();
        if (IsLink) Entered.MeetLink();
        if (!Entered.Enter(Folder)) continue;
        ++Walk.Folders;
        std::vector<std::pair<std::wstring, bool>> SubFolders;
        Matched.clear();
        WIN32_FIND_DATAW Data;
        double T0 = Now();
        UniqueFind Find(FindFirstFileExW((Folder + L"*").c_str(), FindExInfoBasic, &Data, FindExSearchNameMatch,
                                         nullptr, FIND_FIRST_EX_LARGE_FETCH));
        Walk.EnumerateSeconds += Now() - T0;
        if (!Find) continue;
        for (bool More = true; More;
             T0 = Now(), More = FindNextFileW(Find.Get(), &Data), Walk.EnumerateSeconds += Now() - T0) {
            const wchar_t* Name = Data.cFileName;
            if (Name[0] == L'.' && (Name[1] == L'\0' || (Name[1] == L'.' && Name[2] == L'\0'))) continue;
            if (Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (Args.Recursive)
                    SubFolders.emplace_back(Folder + Name + L'\\', (Data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0);
                continue;
            }
            const std::uint64_t Size = (static_cast<std::uint64_t>(Data.nFileSizeHigh) << 32) | Data.nFileSizeLow;
            for (const std::wstring& Mask : Masks) {
                if (!MaskMatches(Mask.c_str(), Name)) continue;
                if constexpr (ListFirst) {
                    Matched.emplace_back(Name, Size);
                } else {
                    ++Walk.Files;
                    Visit(Folder, std::wstring_view(Name), Size);
                }
            }
        }
        T0 = Now();
        Find.Reset();
        Walk.EnumerateSeconds += Now() - T0;
        for (const auto& [Name, Size] : Matched) {
            ++Walk.Files;
            Visit(Folder, std::wstring_view(Name), Size);
        }
        std::reverse(SubFolders.begin(), SubFolders.end());
        for (auto& Sub : SubFolders) Pending.push_back(std::move(Sub));
    }
    return Walk;
}

// One open and one read of the whole file into Buffer (grown, never shrunk);
// the bytes read, or -1 when the file cannot be opened or read.
std::int64_t ReadWhole(const std::wstring& Path, std::uint64_t Size, std::string& Buffer) {
    UniqueFile File(CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!File) return -1;
    if (Buffer.size() < Size + 1) Buffer.resize(Size + 1);
    DWORD Got = 0;
    if (!ReadFile(File.Get(), Buffer.data(), static_cast<DWORD>(Size + 1), &Got, nullptr)) return -1;
    return Got;
}

void ReportFloorWalk(TResult& Result, const TFloorWalk& Walk) {
    Result.Set("files", Walk.Files);
    Result.Set("folders", Walk.Folders);
    Result.Set("enumerate_seconds", Walk.EnumerateSeconds);
}

// The read floor: the walk, then one open and one read of every file a search examines.
int RunFloor(const TBenchArgs& Args) {
    TResult Result;
    std::uint64_t Bytes = 0;
    std::string Buffer;
    double OpenRead = 0;
    const bool ReadFiles = !Args.TextToFind.empty();  // a listing examines no file's content
    TCallCounts Before = CallCounts();
    double Start = Now();
    TFloorWalk Walk = WalkFloor<false>(Args, [&](const std::wstring& Folder, std::wstring_view Name,
                                                 std::uint64_t Size) {
        if (!ReadFiles) return;
        double T0 = Now();
        const std::int64_t Got = ReadWhole(std::wstring(Folder).append(Name), Size, Buffer);
        if (Got > 0) Bytes += static_cast<std::uint64_t>(Got);
        OpenRead += Now() - T0;
    });
    ReportRun(Result, Now() - Start, Before);
    ReportFloorWalk(Result, Walk);
    Result.Set("bytes", static_cast<std::int64_t>(Bytes));
    Result.Set("open_read_seconds", OpenRead);
    Result.Print();
    return 0;
}

// Text as the bytes of a file read in Mode (1 ANSI, 2 UTF-16 LE, 3 UTF-8), without a mark.
std::string BytesInMode(std::int32_t Mode, const std::wstring& Text) {
    if (Mode == 2) return std::string(reinterpret_cast<const char*>(Text.data()), Text.size() * sizeof(wchar_t));
    if (Text.empty()) return {};
    const UINT CodePage = Mode == 3 ? CP_UTF8 : CP_ACP;
    const int Length =
        WideCharToMultiByte(CodePage, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0, nullptr, nullptr);
    std::string Bytes(static_cast<size_t>(Length), '\0');
    WideCharToMultiByte(CodePage, 0, Text.data(), static_cast<int>(Text.size()), Bytes.data(), Length, nullptr,
                        nullptr);
    return Bytes;
}

// Appends Body to Out with every Find replaced by With, left to right; a match
// counts only at a multiple of Unit bytes (2 for UTF-16, so that no match
// straddles two code units). The number of matches replaced.
std::int64_t ReplaceBytes(std::string_view Body, std::string_view Find, std::string_view With, size_t Unit,
                          std::string& Out) {
    std::int64_t Count = 0;
    size_t Copied = 0;
    for (size_t Pos = Body.find(Find); Pos != std::string_view::npos; Pos = Body.find(Find, Pos)) {
        if (Pos % Unit != 0) {
            ++Pos;
            continue;
        }
        Out.append(Body.substr(Copied, Pos - Copied));
        Out.append(With);
        ++Count;
        Pos += Find.size();
        Copied = Pos;
    }
    Out.append(Body.substr(Copied));
    return Count;
}

bool WriteAll(HANDLE File, std::string_view Bytes) {
    while (!Bytes.empty()) {
        const DWORD Chunk = static_cast<DWORD>(std::min<size_t>(Bytes.size(), 1u << 30));
        DWORD Written = 0;
        if (!WriteFile(File, Bytes.data(), Chunk, &Written, nullptr) || Written == 0) return false;
        Bytes.remove_prefix(Written);
    }
    return true;
}

// The write floor: the read floor's walk, open and read, and for every file that
// holds the text to find (a case-sensitive byte search of it in the file's own
// encoding) a temporary file created beside it, written whole with the new bytes,
// flushed, closed and renamed over the file. Nothing else: no journal, no checks.
int RunWriteFloor(const TBenchArgs& Args) {
    if (Args.TextToFind.empty() || !Args.CaseSensitive) {
        const std::string_view Text = "writefloor: a case-sensitive text to find is needed\n";
        DWORD Written = 0;
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), Text.data(), static_cast<DWORD>(Text.size()), &Written, nullptr);
        return 2;
    }
    // The text to find and its replacement in each mode, formed before the clock starts.
    std::string Find[4], With[4];
    for (std::int32_t Mode = 1; Mode <= 3; ++Mode) {
        Find[Mode] = BytesInMode(Mode, Args.TextToFind);
        With[Mode] = BytesInMode(Mode, Args.ReplaceWith);
    }
    TResult Result;
    std::uint64_t Bytes = 0, WrittenBytes = 0;
    std::int64_t Changed = 0, Replaced = 0, Failed = 0;
    std::string Buffer, NewBytes;
    double OpenRead = 0, Edit = 0, Write = 0;
    TCallCounts Before = CallCounts();
    double Start = Now();
    TFloorWalk Walk = WalkFloor<true>(Args, [&](const std::wstring& Folder, std::wstring_view Name,
                                                std::uint64_t Size) {
        const std::wstring Target = std::wstring(Folder).append(Name);
        double T0 = Now();
        const std::int64_t Got = ReadWhole(Target, Size, Buffer);
        double T1 = Now();
        OpenRead += T1 - T0;
        if (Got <= 0) return;
        Bytes += static_cast<std::uint64_t>(Got);
        const std::string_view Content(Buffer.data(), static_cast<size_t>(Got));
        size_t Skip = 0;
        const std::int32_t Mode = ModeOfBytes(Args.Encoding, Content, Skip);
        if (Mode < 1 || Mode > 3) return;
        NewBytes.assign(Content.substr(0, Skip));  // the mark stays as it is
        const std::int64_t Count =
            ReplaceBytes(Content.substr(Skip), Find[Mode], With[Mode], Mode == 2 ? 2 : 1, NewBytes);
        double T2 = Now();
        Edit += T2 - T1;
        if (Count == 0) return;
        const std::wstring Temp = Folder + L"FLOOR-NEW.TMP";
        bool Ok = false;
        {
            UniqueFile Out(CreateFileW(Temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                       nullptr));
            if (Out) {
                Ok = WriteAll(Out.Get(), NewBytes) && FlushFileBuffers(Out.Get());
                Out.Reset();
                Ok = Ok && MoveFileExW(Temp.c_str(), Target.c_str(), MOVEFILE_REPLACE_EXISTING);
                if (!Ok) DeleteFileW(Temp.c_str());
            }
        }
        Write += Now() - T2;
        if (!Ok) {
            ++Failed;
            return;
        }
        ++Changed;
        Replaced += Count;
        WrittenBytes += NewBytes.size();
    });
    ReportRun(Result, Now() - Start, Before);
    ReportFloorWalk(Result, Walk);
    Result.Set("bytes", static_cast<std::int64_t>(Bytes));
    Result.Set("changed", Changed);
    Result.Set("replaced", Replaced);
    Result.Set("failed", Failed);
    Result.Set("written_bytes", static_cast<std::int64_t>(WrittenBytes));
    Result.Set("open_read_seconds", OpenRead);
    Result.Set("edit_seconds", Edit);
    Result.Set("write_seconds", Write);
    Result.Print();
    return 0;
}

// The case tables the text routines build once are built before any clock starts
// (the search worker's own run still pays for them).
void WarmTextTables(const TBenchArgs& Args) {
    if (Args.TextToFind.empty()) return;
    CountMatches(Args.TextToFind + L" " + Args.TextToFind, Args.TextToFind, Args.CaseSensitive);
}

// Decodes Body read in Mode (1 ANSI, 2 UTF-16 LE, 3 UTF-8) into Text with the
// product's decoders; false when the bytes are not valid in the mode.
bool DecodeInMode(std::int32_t Mode, std::string_view Body, std::wstring& Text) {
    if (Mode == 1) return DecodeAnsi(Body, Text);
    if (Mode == 2) {
        DecodeUtf16LE(Body, Text);
        return true;
    }
    return DecodeUtf8Strict(Body, Text);
}

// The files read into memory first, then on one thread each decoded and counted
// as the reader does it: into a text whose memory is kept from file to file (the
// main figure), and once more into a fresh text per file, timed on its own.
int RunEngine(const TBenchArgs& Args) {
    constexpr std::uint64_t BatchBytes = 256ull << 20;
    TResult Result;
    std::vector<TCountLine> Lines;
    double DecodeSeconds = 0, CountSeconds = 0, FreshDecodeSeconds = 0;
    std::wstring Kept;
    std::uint64_t Bytes = 0, AsciiOrAnsiBytes = 0;
    std::int64_t Files = 0;
    std::vector<std::pair<std::wstring, std::string>> Batch;
    std::uint64_t BatchSize = 0;
    auto Process = [&] {
        for (auto& [Path, Content] : Batch) {
            size_t Skip = 0;
            std::int32_t Mode = ModeOfBytes(Args.Encoding, Content, Skip);
            if (Mode < 1 || Mode > 3) {
                Lines.push_back({Path, Mode, 0});
                continue;
            }
            Bytes += Content.size();
            if (Mode != 2) AsciiOrAnsiBytes += Content.size();
            const std::string_view Body(Content.data() + Skip, Content.size() - Skip);
            double T0 = Now();
            const bool Ok = DecodeInMode(Mode, Body, Kept);
            double T1 = Now();
            std::int32_t Count = Ok ? CountMatches(Kept, Args.TextToFind, Args.CaseSensitive) : 0;
            double T2 = Now();
            DecodeSeconds += T1 - T0;
            CountSeconds += T2 - T1;
            // The same decoding into fresh memory, freed again after the file.
            std::wstring Fresh;
            double T3 = Now();
            const bool FreshOk = DecodeInMode(Mode, Body, Fresh);
            FreshDecodeSeconds += Now() - T3;
            // Both texts must be the same; a difference shows up as a disagreeing count.
            if (FreshOk != Ok || (Ok && Fresh != Kept)) Count = -1;
            Lines.push_back({Path, Mode, Count});
        }
        Batch.clear();
        BatchSize = 0;
    };
    WarmTextTables(Args);
    std::wstring Warm;
    DecodeAnsi("warm", Warm);
    TFileCollector Collector;
    CollectAsTheRunDoes(Collector, Args);
    for (const std::wstring& Filter : SplitText(Args.Filters, L"; ")) {
        for (const std::wstring& File :
             Collector.Collect(WithTrailingBackslash(Args.Folder), Filter, Args.Recursive, false, false, false)) {
            std::string Content;
            if (!ReadAllBytes(File, Content)) Content.clear();
            ++Files;
            BatchSize += Content.size();
            Batch.emplace_back(File, std::move(Content));
            if (BatchSize >= BatchBytes) Process();
        }
    }
    Process();
    Result.Set("files", Files);
    Result.Set("bytes", static_cast<std::int64_t>(Bytes));
    Result.Set("single_byte_input_bytes", static_cast<std::int64_t>(AsciiOrAnsiBytes));
    Result.Set("decode_seconds", DecodeSeconds);
    Result.Set("count_seconds", CountSeconds);
    Result.Set("fresh_decode_seconds", FreshDecodeSeconds);
    Result.Set("seconds", DecodeSeconds + CountSeconds);
    if (!Args.DumpPath.empty() && !WriteDump(Args.DumpPath, Lines)) return 3;
    Result.Print();
    return 0;
}

// The worker's steps in its order, on this thread, without the events.
int RunProfile(const TBenchArgs& Args) {
    TResult Result;
    double Collect = 0, Sort = 0, Load = 0, Count = 0;
    std::int64_t Files = 0;
    TFileCollector Collector;
    CollectAsTheRunDoes(Collector, Args);
    WarmTextTables(Args);
    double Start = Now();
    for (const std::wstring& Filter : SplitText(Args.Filters, L"; ")) {
        double T0 = Now();
        TStringArray List =
            Collector.Collect(WithTrailingBackslash(Args.Folder), Filter, Args.Recursive, false, false, false);
        double T1 = Now();
        SortFileList(List, false);
        double T2 = Now();
        Collect += T1 - T0;
        Sort += T2 - T1;
        if (Args.TextToFind.empty()) continue;
        for (const std::wstring& File : List) {
            ++Files;
            double T3 = Now();
            TTextFileContent Content = LoadTextFile(File, EncodingModeFromStored(Args.Encoding), false);
            double T4 = Now();
            if (Content.Read) CountMatches(Content.Text, Args.TextToFind, Args.CaseSensitive);
            double T5 = Now();
            Load += T4 - T3;
            Count += T5 - T4;
        }
    }
    Result.Set("seconds", Now() - Start);
    Result.Set("collect_seconds", Collect);
    Result.Set("sort_seconds", Sort);
    Result.Set("load_seconds", Load);
    Result.Set("count_seconds", Count);
    Result.Set("files", Files);
    Result.Set("directory_passes", Collector.DirectoryPasses());
    Result.Print();
    return 0;
}

// The plain reference. With several --case searches, the collection and the sort
// run once and each search's per-file work is timed on its own: a plain run of
// one search is that collection and sort followed by its per-file work.
int RunPlain(const TBenchArgs& Args) {
    TResult Result;
    std::vector<std::pair<bool, std::wstring>> Cases = Args.Cases;
    if (Cases.empty()) Cases.emplace_back(Args.CaseSensitive, Args.TextToFind);
    TCallCounts Before = CallCounts();
    double T0 = Now();
    std::vector<TStringArray> Lists;
    double Sort = 0;
    std::int64_t Files = 0;
    for (const std::wstring& Filter : SplitText(Args.Filters, L"; ")) {
        Lists.push_back(Plain::CollectFiles(WithTrailingBackslash(Args.Folder), Filter, Args.Recursive, Args.Limit));
        double T1 = Now();
        Plain::SortFileList(Lists.back());
        Sort += Now() - T1;
        Files += static_cast<std::int64_t>(Lists.back().size());
    }
    const double Shared = Now() - T0;
    TCallCounts AfterCollect = CallCounts();
    ReportApi(Result, Before, AfterCollect);  // the shared collection and sort
    Result.Set("shared_seconds", Shared);
    Result.Set("sort_seconds", Sort);
    Result.Set("files", Files);
    Result.Set("find_first_calls", AfterCollect.FindFirst - Before.FindFirst);
    for (size_t K = 0; K < Cases.size(); ++K) {
        const auto& [CaseSensitive, TextToFind] = Cases[K];
        std::vector<TCountLine> Lines;
        std::int64_t Skipped = 0, Total = 0, Listed = 0;
        TCallCounts CaseBefore = CallCounts();
        double T2 = Now();
        for (const TStringArray& List : Lists) {
            for (const std::wstring& File : List) {
                if (TextToFind.empty()) {
                    Lines.push_back({File, -1, 0});
                    continue;
                }
                std::int32_t Mode = Plain::ResolveEncodingMode(Args.Encoding, File);
                std::int64_t Count = 0;
                if (Mode == 0) ++Skipped;
                else if (Mode >= 1 && Mode <= 3)
                    Count = Plain::CountMatches(Plain::ReadTextFile(File, Mode), TextToFind, CaseSensitive);
                Lines.push_back({File, Mode, Count});
                Total += Count;
                if (Count > 0) ++Listed;
            }
        }
        const std::string Prefix = Cases.size() == 1 && Args.Cases.empty() ? "" : "case" + std::to_string(K) + "_";
        TCallCounts CaseAfter = CallCounts();
        Result.Set(Prefix + "seconds", Shared + (Now() - T2));
        Result.Set(Prefix + "skipped", Skipped);
        Result.Set(Prefix + "occurrences", Total);
        Result.Set(Prefix + "listed", TextToFind.empty() ? Files : Listed);
        Result.Set(Prefix + "create_file_calls", CaseAfter.CreateFile - CaseBefore.CreateFile);

        std::wstring Dump = Args.DumpPath;
        if (!Prefix.empty() && !Dump.empty()) Dump += L"." + std::to_wstring(K);
        if (!Dump.empty() && !WriteDump(Dump, Lines)) return 3;
    }
    Result.Set("peak_working_set", static_cast<std::int64_t>(ProcessMemory().PeakWorkingSet));
    Result.Print();
    return 0;
}

int RunPlainApply(const TBenchArgs& Args) {
    TResult Result;
    std::int64_t Changed = 0, Replaced = 0, Skipped = 0, Files = 0;
    TCallCounts Before = CallCounts();
    double Start = Now();
    for (const std::wstring& Filter : SplitText(Args.Filters, L"; ")) {
        TStringArray List = Plain::CollectFiles(WithTrailingBackslash(Args.Folder), Filter, Args.Recursive, -1);
        Plain::SortFileList(List);
        for (const std::wstring& File : List) {
            ++Files;
            std::int32_t Mode = Plain::ResolveEncodingMode(Args.Encoding, File);
            std::wstring Text;
            if (Mode == 0) ++Skipped;
            else if (Mode >= 1 && Mode <= 3) Text = Plain::ReadTextFile(File, Mode);
            if (!Text.empty() && Plain::TextContains(Text, Args.TextToFind, Args.CaseSensitive)) {
                Replaced += Plain::CountMatches(Text, Args.TextToFind, Args.CaseSensitive);
                Plain::WriteTextFile(File, Plain::ReplaceAll(Text, Args.TextToFind, Args.ReplaceWith, Args.CaseSensitive),
                                     Mode);
                ++Changed;
            }
        }
    }
    ReportRun(Result, Now() - Start, Before);
    Result.Set("changed", Changed);
    Result.Set("replaced", Replaced);
    Result.Set("skipped", Skipped);
    Result.Set("files", Files);
    Result.Print();
    return 0;
}

}  // namespace

int RunLines(const TBenchArgs& Args);

int wmain() {
    try {
        RecordStartupLocale();
        InstallCallCounters();
        // QV_BENCH_THREADS=N runs the workers' pool with N threads (to compare sizes).
        if (const wchar_t* Threads = _wgetenv(L"QV_BENCH_THREADS"); Threads && *Threads)
            TFilePipeline::SetThreadsForTests(static_cast<unsigned>(std::wcstoul(Threads, nullptr, 10)));
        TBenchArgs Args;
        std::wstring Error;
        if (!ParseBenchArgs(Args, Error)) {
            std::string Text = Utf8(Error) + "\n";
            DWORD Written = 0;
            WriteFile(GetStdHandle(STD_ERROR_HANDLE), Text.data(), static_cast<DWORD>(Text.size()), &Written, nullptr);
            return 2;
        }
        // --piece-kb N: the search reads in pieces of N KB (to compare sizes).
        if (Args.PieceKb > 0) SetPieceSizeForTests(static_cast<size_t>(Args.PieceKb) << 10);
        if (Args.Mode == L"search") return RunSearch(Args);
        if (Args.Mode == L"apply") return RunApply(Args);
        if (Args.Mode == L"floor") return RunFloor(Args);
        if (Args.Mode == L"writefloor") return RunWriteFloor(Args);
        if (Args.Mode == L"engine") return RunEngine(Args);
        if (Args.Mode == L"profile") return RunProfile(Args);
        if (Args.Mode == L"plain") return RunPlain(Args);
        if (Args.Mode == L"plain-apply") return RunPlainApply(Args);
        if (Args.Mode == L"lines") return RunLines(Args);
        return 2;
    } catch (const std::exception&) {
        return 4;
    }
}
