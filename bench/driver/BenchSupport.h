#pragma once
// Small pieces every mode of the benchmark driver shares: arguments, a clock,
// the process's memory figures, counted system calls, results and count dumps.
#include "base/TextMatching.h"

#include <windows.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

struct TBenchArgs {
    std::wstring Mode;
    std::wstring Folder;
    std::wstring Filters = L"*";
    std::wstring TextToFind;
    std::wstring ReplaceWith;
    bool CaseSensitive = true;
    bool Regex = false;        // search: the text to find is a pattern (--regex)
    bool Recursive = false;
    std::int32_t Encoding = 0;
    std::int64_t Limit = -1;   // plain listing: stop after this many files
    std::int64_t PieceKb = 0;  // search: the reader's piece size in KB (0: the program's own)
    std::wstring DumpPath;     // where per-file counts go
    // Off for a file too large to decode whole beside the run: the decoded length
    // of the largest file is then reported as 0.
    bool DecodedLength = true;
    // Plain reference: several searches over one collection ("cs:WORD" or "ci:WORD").
    std::vector<std::pair<bool, std::wstring>> Cases;
};
bool ParseBenchArgs(TBenchArgs& Args, std::wstring& Error);

class TFileCollector;
// Sets Collector up as a run sets up its own: with several filters, each folder
// is listed once and its names serve every filter.
void CollectAsTheRunDoes(TFileCollector& Collector, const TBenchArgs& Args);

// Seconds since an arbitrary start, from the performance counter.
double Now();

struct TMemory {
    std::uint64_t PeakWorkingSet = 0;
    std::uint64_t WorkingSet = 0;
    std::uint64_t PeakPagefile = 0;
};
TMemory ProcessMemory();

// Calls of the system functions the product and the references make, counted and
// timed by redirecting this executable's own import entries (the product's
// libraries are linked in statically, so their calls go through them too).
struct TApiStat {
    std::string Name;
    std::int64_t Calls = 0;
    double Seconds = 0;
};
void InstallCallCounters();
std::vector<TApiStat> ApiStats();
struct TCallCounts {
    std::int64_t CreateFile = 0;
    std::int64_t FindFirst = 0;    // FindFirstFileW and FindFirstFileExW: directory passes
    std::int64_t ReadFile = 0;
    std::vector<TApiStat> Api;
};
TCallCounts CallCounts();

// "key=value" lines on standard output, read by bench/benchmark.py.
class TResult {
public:
    void Set(const std::string& Key, double Value);
    void Set(const std::string& Key, std::int64_t Value);
    void Set(const std::string& Key, const std::string& Value);
    void Print() const;

private:
    std::vector<std::pair<std::string, std::string>> FItems;
};

// One line per file: count, resolved mode (or -1 when unknown), path; UTF-8.
struct TCountLine {
    std::wstring Path;
    std::int32_t Mode = -1;
    std::int64_t Count = 0;
};
bool WriteDump(const std::wstring& Path, const std::vector<TCountLine>& Lines);

std::string Utf8(const std::wstring& Text);
std::wstring Wide(const std::string& Text);

// Reads a whole file natively (no decoding); false on any failure.
bool ReadAllBytes(const std::wstring& Path, std::string& Bytes);
std::uint64_t FileSizeOf(const std::wstring& Path);

// Each folder entered once however many links lead to it, as the program walks:
// once the walk has met a link (a reparse point), folders are known by their
// identity (volume and file index) and one already entered is passed over; a
// tree without links asks for no identity. Walks must decide in depth-first
// order, as the program does, so that the same one of two paths is entered.
class TFolderOnce {
public:
    // True when the folder (an extended path) is new to the walk, or cannot be identified.
    bool Enter(const std::wstring& ExtFolder);
    void MeetLink();

private:
    using TId = std::tuple<DWORD, DWORD, DWORD>;
    static bool Identify(const std::wstring& ExtFolder, TId& Id);
    std::vector<std::wstring> FBeforeLink;
    std::set<TId> FEntered;
    bool FLinkMet = false;
};
