#include "files/SafeFileWriter.h"

#include "base/TextMatching.h"
#include "base/UniqueHandle.h"
#include "files/FileSystemCalls.h"
#include "files/LongPath.h"
#include "files/TemporaryFileRecord.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <string>

namespace {

// The bytes reach the system in pieces of this size.
constexpr size_t WriteBufferSize = 4096;

enum class TPathKind { Nothing, File, Folder, Unknown };

// What is at Path. Unknown when the system cannot say (access denied, a failing
// disk): a caller about to overwrite must not take that for "nothing there".
TPathKind ProbePath(const std::wstring& Path) {
    const DWORD Attributes = FileSystemCalls::GetAttributes(Path);
    if (Attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD Error = GetLastError();
        return Error == ERROR_FILE_NOT_FOUND || Error == ERROR_PATH_NOT_FOUND ? TPathKind::Nothing : TPathKind::Unknown;
    }
    return (Attributes & FILE_ATTRIBUTE_DIRECTORY) ? TPathKind::Folder : TPathKind::File;
}

// Prefix + Pattern with its "?" replaced by the first free number from First on.
// Only an existing file makes a candidate taken; when the system cannot tell, the
// candidate counts as free and the rename that follows (which never replaces a
// file) is what guards it.
std::wstring FirstFreeName(std::wstring_view Prefix, std::wstring_view Pattern, std::int32_t First) {
    // Without a placeholder every candidate is the same name: testing it again
    // would never end.
    const bool HasPlaceholder = Pattern.find(L'?') != std::wstring_view::npos;
    for (std::int64_t N = First;; ++N) {
        std::wstring Candidate(Prefix);
        Candidate += HasPlaceholder ? ReplaceAll(Pattern, L"?", std::to_wstring(N), true) : std::wstring(Pattern);
        if (!HasPlaceholder || ProbePath(ExtendedPath(Candidate)) != TPathKind::File) return Candidate;
    }
}

bool AppendUtf8(std::wstring_view Text, std::string& Out) {
    Out.reserve(Out.size() + Text.size());
    for (size_t i = 0; i < Text.size(); ++i) {
        std::uint32_t C = static_cast<std::uint16_t>(Text[i]);
        if (C < 0x80) {
            Out.push_back(static_cast<char>(C));
            continue;
        }
        if (C >= 0xD800 && C <= 0xDFFF) {
            // Only a high surrogate followed by a low one is a character.
            if (C > 0xDBFF || i + 1 >= Text.size()) return false;
            const std::uint32_t Low = static_cast<std::uint16_t>(Text[i + 1]);
            if (Low < 0xDC00 || Low > 0xDFFF) return false;
            C = 0x10000 + ((C - 0xD800) << 10) + (Low - 0xDC00);
            ++i;
        }
        if (C < 0x800) {
            Out.push_back(static_cast<char>(0xC0 | (C >> 6)));
        } else if (C < 0x10000) {
            Out.push_back(static_cast<char>(0xE0 | (C >> 12)));
            Out.push_back(static_cast<char>(0x80 | ((C >> 6) & 0x3F)));
        } else {
            Out.push_back(static_cast<char>(0xF0 | (C >> 18)));
            Out.push_back(static_cast<char>(0x80 | ((C >> 12) & 0x3F)));
            Out.push_back(static_cast<char>(0x80 | ((C >> 6) & 0x3F)));
        }
        if (C >= 0x80) Out.push_back(static_cast<char>(0x80 | (C & 0x3F)));
    }
    return true;
}

void AppendUtf16LE(std::wstring_view Text, std::string& Out) {
    Out.reserve(Out.size() + Text.size() * 2);
    for (wchar_t Unit : Text) {
        const auto Value = static_cast<std::uint16_t>(Unit);
        Out.push_back(static_cast<char>(Value & 0xFF));
        Out.push_back(static_cast<char>(Value >> 8));
    }
}

// The code page's own conversion, refusing best-fit and default characters: the
// bytes must read back as exactly the text.
bool AppendCodePage(UINT CodePage, std::wstring_view Text, std::string& Out) {
    if (Text.size() > static_cast<size_t>(INT_MAX)) return false;
    const int Length = static_cast<int>(Text.size());
    DWORD Flags = WC_NO_BEST_FIT_CHARS;
    BOOL UsedDefault = FALSE;
    BOOL* UsedDefaultPointer = &UsedDefault;
    int Size = WideCharToMultiByte(CodePage, Flags, Text.data(), Length, nullptr, 0, nullptr, UsedDefaultPointer);
    if (Size <= 0 && (GetLastError() == ERROR_INVALID_FLAGS || GetLastError() == ERROR_INVALID_PARAMETER)) {
        // Some code pages take neither the flag nor the used-default argument;
        // the comparison below still catches every substitution.
        Flags = 0;
        UsedDefaultPointer = nullptr;
        Size = WideCharToMultiByte(CodePage, Flags, Text.data(), Length, nullptr, 0, nullptr, nullptr);
    }
    if (Size <= 0 || UsedDefault) return false;
    const size_t Start = Out.size();
    Out.resize(Start + static_cast<size_t>(Size));
    if (WideCharToMultiByte(CodePage, Flags, Text.data(), Length, Out.data() + Start, Size, nullptr,
                            UsedDefaultPointer) != Size ||
        UsedDefault)
        return false;
    const int Back = MultiByteToWideChar(CodePage, 0, Out.data() + Start, Size, nullptr, 0);
    if (Back != Length) return false;
    std::wstring Decoded(static_cast<size_t>(Back), L'\0');
    if (MultiByteToWideChar(CodePage, 0, Out.data() + Start, Size, Decoded.data(), Back) != Back) return false;
    return Decoded == Text;
}

// ANSI and UTF-16 LE as they are; automatic and anything else is UTF-8.
TEncodingMode ConcreteEncoding(TEncodingMode Encoding) {
    return Encoding == TEncodingMode::Ansi || Encoding == TEncodingMode::Utf16LE ? Encoding : TEncodingMode::Utf8;
}

bool AppendEncoded(std::wstring_view Text, TEncodingMode Encoding, std::string& Out) {
    if (Text.empty()) return true;
    switch (ConcreteEncoding(Encoding)) {
    case TEncodingMode::Utf16LE:
        AppendUtf16LE(Text, Out);
        return true;
    case TEncodingMode::Ansi:
        if (const UINT CodePage = GetACP(); CodePage != CP_UTF8) return AppendCodePage(CodePage, Text, Out);
        return AppendUtf8(Text, Out);
    default:
        return AppendUtf8(Text, Out);
    }
}

// Creates a fresh temporary file beside the target (never opening an existing
// one) and hands it every byte, flushed to the disk. File stays open for the swap;
// TempName receives the name of the file made, empty when none was, and RecordId
// its entry in the run's record of temporary files (0: none).
bool WriteTemporaryFile(std::wstring_view Folder, std::string_view Bytes, UniqueFile& File, std::wstring& TempName,
                        std::int64_t& RecordId) {
    TempName.clear();
    RecordId = 0;
    const bool Recording = TemporaryFiles::Recording();
    // The create itself tests the name: it never opens an existing file, and a
    // taken name (a file, or a folder of that name) moves on to the next number.
    for (std::int64_t N = 1;; ++N) {
        std::wstring Candidate = std::wstring(Folder) + L"TEMP-" + std::to_wstring(N) + L".TMP";
        // A name taken already is never recorded: the cleanup after a kill must
        // not take a user's own file for the run's.
        if (Recording) {
            const TPathKind Kind = ProbePath(Candidate);
            if (Kind == TPathKind::File || Kind == TPathKind::Folder) continue;
        }
        const std::int64_t Id = TemporaryFiles::WillMake(Candidate);
        if (Id < 0) return false;
        File.Reset(FileSystemCalls::CreateNew(Candidate));
        if (File) {
            TemporaryFiles::Made(Id, File.Get());
            TempName = std::move(Candidate);
            RecordId = Id;
            break;
        }
        const DWORD Error = GetLastError();
        TemporaryFiles::Gone(Id);
        if (Error == ERROR_FILE_EXISTS || Error == ERROR_ALREADY_EXISTS) continue;
        if (Error == ERROR_ACCESS_DENIED && ProbePath(Candidate) == TPathKind::Folder) continue;
        return false;
    }
    for (size_t Position = 0; Position < Bytes.size(); Position += WriteBufferSize) {
        const auto Size = static_cast<DWORD>(std::min(WriteBufferSize, Bytes.size() - Position));
        DWORD Written = 0;
        if (!FileSystemCalls::Write(File.Get(), Bytes.data() + Position, Size, Written) || Written != Size)
            return false;
    }
    // The new bytes must be on the disk before they take the target's name: after a
    // power cut the name must not point at content the disk never received.
    return FileSystemCalls::Flush(File.Get());
}

}  // namespace

std::wstring MakeUniqueFileName(const std::wstring& Pattern, std::int32_t First) {
    return FirstFreeName({}, Pattern, First);
}

std::string EncodingMark(TEncodingMode Encoding) {
    switch (ConcreteEncoding(Encoding)) {
    case TEncodingMode::Utf16LE:
        return "\xFF\xFE";
    case TEncodingMode::Ansi:
        return GetACP() == CP_UTF8 ? "\xEF\xBB\xBF" : "";
    default:
        return "\xEF\xBB\xBF";
    }
}

std::string EncodingMark(std::int32_t Encoding) { return EncodingMark(EncodingModeFromStored(Encoding)); }

bool EncodeText(std::wstring_view Text, TEncodingMode Encoding, std::string& Bytes) {
    Bytes.clear();
    return AppendEncoded(Text, Encoding, Bytes);
}

bool EncodeText(std::wstring_view Text, std::int32_t Encoding, std::string& Bytes) {
    return EncodeText(Text, EncodingModeFromStored(Encoding), Bytes);
}

bool WriteFileBytes(const std::wstring& FileName, std::string_view Bytes, const TSwapCheck& BeforeSwap) {
    const std::wstring Target = ExtendedPath(FileName);
    const size_t Slash = Target.rfind(L'\\');
    if (Target.empty() || Slash == std::wstring::npos) return false;

    const DWORD Attributes = FileSystemCalls::GetAttributes(Target);
    if (Attributes == INVALID_FILE_ATTRIBUTES) {
        // When the system cannot say whether the target exists, it is not replaced.
        const DWORD Error = GetLastError();
        if (Error != ERROR_FILE_NOT_FOUND && Error != ERROR_PATH_NOT_FOUND) return false;
    } else if (Attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) {
        // A read-only file says "do not change me"; the rename would not ask.
        return false;
    }

    std::wstring TempName;
    std::int64_t RecordId = 0;
    UniqueFile Temp;
    bool Written =
        WriteTemporaryFile(std::wstring_view(Target).substr(0, Slash + 1), Bytes, Temp, TempName, RecordId);
    // One call on the open temporary file puts it in the old one's place, right
    // after the check: nobody gets a moment in between.
    Written = Written && (!BeforeSwap || BeforeSwap()) && FileSystemCalls::RenameOver(Temp.Get(), Target);
    if (Written) {
        // The content was flushed before the swap: a failing close loses nothing.
        FileSystemCalls::Close(Temp.Release());
        TemporaryFiles::Gone(RecordId);
        return true;
    }
    if (Temp) FileSystemCalls::Close(Temp.Release());
    // One that cannot be removed now stays recorded: the next run removes it.
    if (!TempName.empty() && FileSystemCalls::Delete(TempName)) TemporaryFiles::Gone(RecordId);
    return false;
}

bool WriteTextFile(const std::wstring& FileName, std::wstring_view Text, TEncodingMode Encoding,
                   const TSwapCheck& BeforeSwap) {
    // Everything is converted before the disk is touched, so a text the encoding
    // cannot hold leaves the file as it is.
    std::string Bytes = EncodingMark(Encoding);
    if (!AppendEncoded(Text, Encoding, Bytes)) return false;
    return WriteFileBytes(FileName, Bytes, BeforeSwap);
}

bool WriteTextFile(const std::wstring& FileName, std::wstring_view Text, std::int32_t Encoding) {
    return WriteTextFile(FileName, Text, EncodingModeFromStored(Encoding));
}
