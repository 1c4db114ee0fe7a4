#include "files/UndoJournalFormat.h"

#include "files/LongPath.h"

#include <cstring>

namespace UndoJournalFormat {

void PutU32(std::string& Out, std::uint32_t Value) {
    for (int i = 0; i < 4; ++i) Out.push_back(static_cast<char>(Value >> (8 * i)));
}

void PutU64(std::string& Out, std::uint64_t Value) {
    for (int i = 0; i < 8; ++i) Out.push_back(static_cast<char>(Value >> (8 * i)));
}

void PutDigest(std::string& Out, const TSha256Digest& Digest) {
    Out.append(reinterpret_cast<const char*>(Digest.data()), Digest.size());
}

void PutUnits(std::string& Out, std::wstring_view Text) {
    for (wchar_t Unit : Text) {
        Out.push_back(static_cast<char>(static_cast<std::uint16_t>(Unit) & 0xFF));
        Out.push_back(static_cast<char>(static_cast<std::uint16_t>(Unit) >> 8));
    }
}

void PutString(std::string& Out, std::wstring_view Text) {
    PutU32(Out, static_cast<std::uint32_t>(Text.size()));
    PutUnits(Out, Text);
}

std::uint32_t GetU32(const char* Data) {
    std::uint32_t Value = 0;
    for (int i = 3; i >= 0; --i) Value = (Value << 8) | static_cast<std::uint8_t>(Data[i]);
    return Value;
}

std::uint64_t GetU64(const char* Data) {
    std::uint64_t Value = 0;
    for (int i = 7; i >= 0; --i) Value = (Value << 8) | static_cast<std::uint8_t>(Data[i]);
    return Value;
}

TSha256Digest GetDigest(const char* Data) {
    TSha256Digest Digest;
    std::memcpy(Digest.data(), Data, Digest.size());
    return Digest;
}

std::wstring GetUnits(const char* Data, size_t Units) {
    std::wstring Text(Units, L'\0');
    for (size_t i = 0; i < Units; ++i)
        Text[i] = static_cast<wchar_t>(static_cast<std::uint8_t>(Data[2 * i]) |
                                       (static_cast<std::uint16_t>(static_cast<std::uint8_t>(Data[2 * i + 1])) << 8));
    return Text;
}

bool DigestMatches(std::string_view Covered, const char* Stored) {
    const TSha256Digest Digest = Sha256(Covered);
    return std::memcmp(Digest.data(), Stored, Digest.size()) == 0;
}

UniqueFile OpenJournal(const std::wstring& RunPath, DWORD Share) {
    return UniqueFile(CreateFileW(ExtendedPath(RunPath + JournalName).c_str(), GENERIC_READ, Share, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool ReadEnded(const std::wstring& RunPath, std::int64_t& Entries, std::uint64_t& Size) {
    UniqueFile File(CreateFileW(ExtendedPath(RunPath + EndedName).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!File) return false;
    char Data[EndedSize + 1];
    DWORD Got = 0;
    if (!ReadFile(File.Get(), Data, sizeof(Data), &Got, nullptr) || Got != EndedSize) return false;
    if (std::memcmp(Data, EndedMagic, sizeof(EndedMagic)) != 0) return false;
    if (!DigestMatches(std::string_view(Data, EndedSize - DigestSize), Data + EndedSize - DigestSize)) return false;
    Entries = static_cast<std::int64_t>(GetU64(Data + 8));
    Size = GetU64(Data + 16);
    return Entries >= 0;
}

}  // namespace UndoJournalFormat
