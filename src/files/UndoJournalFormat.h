#pragma once
// The framing of the undo journal's files (laid out in UndoJournal.h), shared by
// its writing and its reading: names, marks, sizes and little-endian fields.
#include "files/Sha256.h"

#include "base/UniqueHandle.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace UndoJournalFormat {

constexpr wchar_t JournalName[] = L"journal.dat";
constexpr wchar_t EndedName[] = L"ended.dat";
constexpr char HeaderMagic[8] = {'Q', 'V', 'U', 'N', 'D', 'O', 1, 0};
constexpr char EntryMagic[4] = {'Q', 'V', 'E', 1};
constexpr char EndedMagic[8] = {'Q', 'V', 'E', 'N', 'D', 1, 0, 0};
constexpr size_t DigestSize = 32;
// Magic, encoding, path length, old size, new size, the two digests.
constexpr size_t EntryFixedSize = 4 + 4 + 4 + 8 + 8 + DigestSize + DigestSize;
constexpr size_t EndedSize = 8 + 8 + 8 + DigestSize;
constexpr std::uint32_t FlagRecursive = 1, FlagCaseSensitive = 2;
// A path longer than the longest the system takes is no path: the entry is damaged.
constexpr std::uint32_t MaxPathUnits = 32768;
// Bytes handed to the system per call.
constexpr size_t WriteChunk = size_t{16} << 20;

void PutU32(std::string& Out, std::uint32_t Value);
void PutU64(std::string& Out, std::uint64_t Value);
void PutDigest(std::string& Out, const TSha256Digest& Digest);
void PutUnits(std::string& Out, std::wstring_view Text);
// Its length in code units, then the units.
void PutString(std::string& Out, std::wstring_view Text);
std::uint32_t GetU32(const char* Data);
std::uint64_t GetU64(const char* Data);
TSha256Digest GetDigest(const char* Data);
std::wstring GetUnits(const char* Data, size_t Units);
// Whether Stored holds the SHA-256 of Covered.
bool DigestMatches(std::string_view Covered, const char* Stored);

// A run's journal.dat, for reading.
UniqueFile OpenJournal(const std::wstring& RunPath, DWORD Share);
// The end mark: entries and journal size, or false when there is no whole one.
bool ReadEnded(const std::wstring& RunPath, std::int64_t& Entries, std::uint64_t& Size);

}  // namespace UndoJournalFormat
