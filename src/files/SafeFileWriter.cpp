#include "files/SafeFileWriter.h"

#include "base/TextMatching.h"
#include "base/UniqueHandle.h"
#include "files/FileIdentity.h"
#include "files/FileSystemCalls.h"
#include "files/LongPath.h"
#include "files/Sha256.h"
#include "files/TemporaryFileRecord.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <optional>
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
// one). File stays open for the bytes and the swap; TempName receives the name of
// the file made, empty when none was, and RecordId its entry in the run's record
// of temporary files (0: none).
bool MakeTemporaryFile(std::wstring_view Folder, UniqueFile& File, std::wstring& TempName, std::int64_t& RecordId) {
    TempName.clear();
    RecordId = 0;
    const bool Recording = TemporaryFiles::Recording();
    // The create itself tests the name: it never opens an existing file, and a
    // taken name (a file, or a folder of that name) moves on to the next number.
    for (std::int64_t N = 1;; ++N) {
        std::wstring Candidate = TemporaryFiles::TemporaryName(Folder, N);
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
            return true;
        }
        const DWORD Error = GetLastError();
        TemporaryFiles::Gone(Id);
        if (Error == ERROR_FILE_EXISTS || Error == ERROR_ALREADY_EXISTS) continue;
        if (Error == ERROR_ACCESS_DENIED && ProbePath(Candidate) == TPathKind::Folder) continue;
        return false;
    }
}

// Hands the temporary file the next of its bytes.
bool WriteToTemporaryFile(HANDLE File, std::string_view Bytes) {
    for (size_t Position = 0; Position < Bytes.size(); Position += WriteBufferSize) {
        const auto Size = static_cast<DWORD>(std::min(WriteBufferSize, Bytes.size() - Position));
        DWORD Written = 0;
        if (!FileSystemCalls::Write(File, Bytes.data() + Position, Size, Written) || Written != Size) return false;
    }
    return true;
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

bool TPieceEncoder::Encode(std::wstring_view Text, bool Last, std::string& Bytes) {
    Bytes.clear();
    if (FHigh != 0) {
        if (Text.empty() && !Last) return true;
        const bool Paired = !Text.empty() && IS_LOW_SURROGATE(Text.front());
        const wchar_t Pair[2] = {FHigh, Paired ? Text.front() : L'\0'};
        FHigh = 0;
        if (!AppendEncoded(std::wstring_view(Pair, Paired ? 2 : 1), FEncoding, Bytes)) return false;
        if (Paired) Text.remove_prefix(1);
    }
    if (!Last && !Text.empty() && IS_HIGH_SURROGATE(Text.back())) {
        FHigh = Text.back();
        Text.remove_suffix(1);
    }
    return AppendEncoded(Text, FEncoding, Bytes);
}

// The new content of one write, in a temporary file beside its target.
struct TNewContent {
    std::wstring Target;   // the target in its extended form
    std::wstring Folder;   // the target's folder, ending with a backslash
    UniqueFile File;       // the temporary file, open and shared with nobody
    std::wstring TempName;
    std::int64_t RecordId = 0;
    std::uint64_t Number = 0;  // once swapped: the file's number on its volume (0: not known)

    // The temporary file took the target's place.
    void Swapped() {
        // Told while it is open: its name may lead to another file at any time.
        if (File && !FileNumberOf(File.Get(), Number)) Number = 0;
        // The content was flushed before the swap: a failing close loses nothing.
        if (File) FileSystemCalls::Close(File.Release());
        TemporaryFiles::Gone(RecordId);
        RecordId = 0;
    }
    // The write is abandoned: the temporary file goes.
    void Drop() {
        if (File) FileSystemCalls::Close(File.Release());
        // One that cannot be removed now stays recorded: the next run removes it.
        if (!TempName.empty() && FileSystemCalls::Delete(TempName)) TemporaryFiles::Gone(RecordId);
        RecordId = 0;
    }
};

namespace {

// Checks the target and makes a temporary file beside it. False when nothing may
// be written (a temporary file made on the way is gone again).
bool StartNewContent(const std::wstring& FileName, TNewContent& New) {
    New.Target = ExtendedPath(FileName);
    const size_t Slash = New.Target.rfind(L'\\');
    if (New.Target.empty() || Slash == std::wstring::npos) return false;
    New.Folder = New.Target.substr(0, Slash + 1);

    const DWORD Attributes = FileSystemCalls::GetAttributes(New.Target);
    if (Attributes == INVALID_FILE_ATTRIBUTES) {
        // When the system cannot say whether the target exists, it is not replaced.
        const DWORD Error = GetLastError();
        if (Error != ERROR_FILE_NOT_FOUND && Error != ERROR_PATH_NOT_FOUND) return false;
    } else if (Attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) {
        // A read-only file says "do not change me"; the rename would not ask.
        return false;
    }
    if (MakeTemporaryFile(New.Folder, New.File, New.TempName, New.RecordId)) return true;
    New.Drop();
    return false;
}

// The new bytes must be on the disk before they take the target's name: after a
// power cut the name must not point at content the disk never received.
bool FlushNewContent(TNewContent& New) {
    if (FileSystemCalls::Flush(New.File.Get())) return true;
    New.Drop();
    return false;
}

// StartNewContent, then Bytes into the temporary file, flushed.
bool PrepareNewContent(const std::wstring& FileName, std::string_view Bytes, TNewContent& New) {
    if (!StartNewContent(FileName, New)) return false;
    if (WriteToTemporaryFile(New.File.Get(), Bytes)) return FlushNewContent(New);
    New.Drop();
    return false;
}

// How long a file let go for its swap may stay open in another program before
// its check gives up: a writer that opened it in that moment is done long before.
constexpr ULONGLONG HoldAgainWait = 10'000;

// A second name of a file, made while the file was held: a temporary file of
// the run's record, so that a kill leaves nothing behind.
struct TSecondName {
    std::wstring Name;
    std::int64_t RecordId = 0;

    // Through File, its own open handle (with delete access), the name goes.
    void Remove(UniqueFile& File) {
        FILE_DISPOSITION_INFO Disposition{TRUE};
        const bool Removed =
            SetFileInformationByHandle(File.Get(), FileDispositionInfo, &Disposition, sizeof Disposition) != FALSE;
        File.Reset();
        // One that cannot be removed now stays recorded: the next run removes it.
        if (Removed) Keep();
    }
    void Remove() {
        if (FileSystemCalls::Delete(Name)) Keep();
    }
    // The name leaves the record (and stays, if it is still there): it holds what
    // another program wrote, and no run may remove it.
    void Keep() {
        TemporaryFiles::Gone(RecordId);
        RecordId = 0;
    }
};

// Gives the file at Target, held open as Held, a second name TEMP-N.TMP in
// Folder. False when the file system has no links or the name does not lead to
// Held's file (nothing is left behind then).
bool MakeSecondName(const std::wstring& Folder, const std::wstring& Target, HANDLE Held, TSecondName& Second) {
    const bool Recording = TemporaryFiles::Recording();
    bool ByHandle = true;  // until the system refuses a link made through the held handle
    for (std::int64_t N = 1;; ++N) {
        std::wstring Candidate = TemporaryFiles::TemporaryName(Folder, N);
        // As for a temporary file: a name taken already is never recorded.
        if (Recording) {
            const TPathKind Kind = ProbePath(Candidate);
            if (Kind == TPathKind::File || Kind == TPathKind::Folder) continue;
        }
        const std::int64_t Id = TemporaryFiles::WillMake(Candidate);
        if (Id < 0) return false;
        // The name's identity is the held file's, known before the name exists: a
        // kill right after the link leaves it recorded whole. (The time of an
        // entry does not tell a link: its file was made long before.)
        TemporaryFiles::Made(Id, Held);
        // Made through the held handle, the name leads to the held file: nothing
        // to check. Made by name, it is checked below.
        if (ByHandle) {
            if (FileSystemCalls::LinkOpen(Held, Candidate)) {
                Second = {std::move(Candidate), Id};
                return true;
            }
            const DWORD Error = GetLastError();
            if (Error == ERROR_ALREADY_EXISTS || Error == ERROR_FILE_EXISTS) {
                TemporaryFiles::Gone(Id);
                continue;
            }
            ByHandle = false;
        }
        if (!FileSystemCalls::Link(Candidate, Target)) {
            const DWORD Error = GetLastError();
            TemporaryFiles::Gone(Id);
            if (Error == ERROR_ALREADY_EXISTS || Error == ERROR_FILE_EXISTS) continue;
            return false;
        }
        // Only a link to the file that is held keeps its content: the target's
        // name may have been given to another file meanwhile. A link shares its
        // file's volume, and the held file was opened in this folder.
        UniqueFile Link(CreateFileW(Candidate.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (Link && SameFileOnOneVolume(Link.Get(), Held)) {
            Second = {std::move(Candidate), Id};
            return true;
        }
        Link.Reset();
        if (FileSystemCalls::Delete(Candidate)) TemporaryFiles::Gone(Id);
        return false;
    }
}

// Name opened for reading and deleting, shared with nobody: once it is, no
// other program has the file open any more, and none can write to it. Waits
// while another program still has it open, up to HoldAgainWait.
UniqueFile HoldAgain(const std::wstring& Name) {
    const ULONGLONG Deadline = GetTickCount64() + HoldAgainWait;
    for (;;) {
        UniqueFile File(
            CreateFileW(Name.c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (File) return File;
        const DWORD Error = GetLastError();
        if ((Error != ERROR_SHARING_VIOLATION && Error != ERROR_LOCK_VIOLATION) || GetTickCount64() > Deadline)
            return {};
        Sleep(1);
    }
}

// Size and last write as Stamp has them: nobody wrote to the file since.
bool Unchanged(HANDLE File, const TFileStamp& Stamp) {
    TFileStamp Now;
    return FileStampOf(File, Now) && Now.Size == Stamp.Size && Now.LastWrite == Stamp.LastWrite;
}

bool DeletePending(HANDLE File) {
    FILE_STANDARD_INFO Info;
    return GetFileInformationByHandleEx(File, FileStandardInfo, &Info, sizeof Info) && Info.DeletePending;
}

// The whole content of the open File.
bool ReadAll(HANDLE File, std::string& Bytes) {
    LARGE_INTEGER Size, Start{};
    if (!GetFileSizeEx(File, &Size) || !SetFilePointerEx(File, Start, nullptr, FILE_BEGIN)) return false;
    try {
        Bytes.assign(static_cast<size_t>(Size.QuadPart), '\0');
    } catch (const std::exception&) {
        return false;
    }
    for (size_t Done = 0; Done < Bytes.size();) {
        DWORD Got = 0;
        const auto Piece = static_cast<DWORD>(std::min<size_t>(Bytes.size() - Done, 1 << 20));
        if (!ReadFile(File, Bytes.data() + Done, Piece, &Got, nullptr) || Got == 0) return false;
        Done += Got;
    }
    return true;
}

// Rounds of putting the old content back before giving up: each one is needed
// only when another program wrote in the moment of the round before.
constexpr int PutBackRounds = 8;

// The new content is in the target's place, held as New.File (its bytes
// NewBytes); the old file, which another program wrote to while it was let go,
// is held as Old under its second name OldName. Puts the old content back in
// rounds guarded the same way: where a program appends to the content being
// replaced in the moment of a round, the next round carries that append too,
// and any other write stays, with the content it was made to, under a second
// name. True once the old content is back; false when it is not (the new
// content stays, and so does the old file under its second name). StartsWithNew
// tells whether bytes start with the new content, NewSize bytes.
bool PutBack(const std::wstring& FileName, TNewContent& New, std::uint64_t NewSize,
             const std::function<bool(std::string_view)>& StartsWithNew, UniqueFile& Old, TSecondName& OldName) {
    std::string Content;
    if (!ReadAll(Old.Get(), Content)) return false;
    TNewContent* Current = &New;  // what the target holds, held
    TNewContent Later;            // from the second round on
    size_t CurrentSize = 0;       // from the second round on, Current holds this much of Content
    std::optional<TSecondName> Carried;  // replaced content whose append goes into the next round
    for (int Round = 0;; ++Round) {
        TNewContent Next;
        TFileStamp CurrentStamp;
        TSecondName CurrentName;
        if (Round == PutBackRounds || !PrepareNewContent(FileName, Content, Next) ||
            !FileStampOf(Current->File.Get(), CurrentStamp) ||
            !MakeSecondName(Current->Folder, Current->Target, Current->File.Get(), CurrentName)) {
            Next.Drop();
            if (Round == 0) return false;
            if (Carried) Carried->Keep();
            Current->Swapped();
            return true;
        }
        Current->Swapped();
        if (!FileSystemCalls::RenameOver(Next.File.Get(), Next.Target)) {
            Next.Drop();
            CurrentName.Remove();
            if (Carried) Carried->Keep();
            return Round > 0;
        }
        // What was carried is in place now.
        if (Round == 0) OldName.Remove(Old);
        if (Carried) Carried->Remove();
        Carried.reset();
        UniqueFile Replaced = HoldAgain(CurrentName.Name);
        if (Replaced && Unchanged(Replaced.Get(), CurrentStamp)) {
            CurrentName.Remove(Replaced);
            Next.Swapped();
            return true;
        }
        std::string Written;
        // What the replaced content held: the new content first, then a round's.
        const size_t WasSize = Round == 0 ? static_cast<size_t>(NewSize) : CurrentSize;
        const auto Holds = [&] {
            if (Written.size() < WasSize) return false;
            if (Round == 0) return StartsWithNew(Written);
            return Written.compare(0, WasSize, Content, 0, WasSize) == 0;
        };
        if (!Replaced || !ReadAll(Replaced.Get(), Written) || !Holds()) {
            Replaced.Reset();
            CurrentName.Keep();
            Next.Swapped();
            return true;
        }
        CurrentSize = Content.size();
        Content.append(Written, WasSize);
        Replaced.Reset();
        Carried = std::move(CurrentName);
        Later = std::move(Next);
        Current = &Later;
    }
}

}  // namespace

bool WriteFileBytes(const std::wstring& FileName, std::string_view Bytes, const TSwapCheck& BeforeSwap) {
    TNewContent New;
    if (!PrepareNewContent(FileName, Bytes, New)) return false;
    // One call on the open temporary file puts it in the old one's place, right
    // after the check: nobody gets a moment in between.
    if ((!BeforeSwap || BeforeSwap()) && FileSystemCalls::RenameOver(New.File.Get(), New.Target)) {
        New.Swapped();
        return true;
    }
    New.Drop();
    return false;
}

THeldWriteResult ReplaceHeldFile(const std::wstring& FileName, std::string_view Bytes, UniqueFile& Held,
                                 const TFileStamp& ReadStamp, const TSwapCheck& BeforeSwap) {
    TNewFileContent Content;
    if (!Content.Begin(FileName) || !Content.Write(Bytes)) {
        Held.Reset();
        return {};
    }
    return TNewFileContent::Replace(Content, Held, ReadStamp, BeforeSwap, [Bytes](std::string_view Written) {
        return Written.starts_with(Bytes);
    });
}

TNewFileContent::TNewFileContent() : FNew(std::make_unique<TNewContent>()) {}

TNewFileContent::~TNewFileContent() { Drop(); }

bool TNewFileContent::Begin(const std::wstring& FileName) {
    Drop();
    FFileName = FileName;
    FStarted = StartNewContent(FileName, *FNew);
    return FStarted;
}

bool TNewFileContent::Write(std::string_view Bytes) {
    if (!FStarted) return false;
    if (!WriteToTemporaryFile(FNew->File.Get(), Bytes)) {
        Drop();
        return false;
    }
    FSize += Bytes.size();
    return true;
}

void TNewFileContent::Drop() {
    if (FStarted) FNew->Drop();
    *FNew = TNewContent{};
    FStarted = false;
    FSize = 0;
}

THeldWriteResult ReplaceHeldFile(TNewFileContent& Content, const TSha256Digest& Digest, UniqueFile& Held,
                                 const TFileStamp& ReadStamp, const TSwapCheck& BeforeSwap) {
    const std::uint64_t Size = Content.FSize;
    return TNewFileContent::Replace(Content, Held, ReadStamp, BeforeSwap, [Size, Digest](std::string_view Written) {
        return Written.size() >= Size && Sha256(Written.substr(0, static_cast<size_t>(Size))) == Digest;
    });
}

THeldWriteResult TNewFileContent::Replace(TNewFileContent& Content, UniqueFile& Held, const TFileStamp& ReadStamp,
                                          const TSwapCheck& BeforeSwap,
                                          const std::function<bool(std::string_view)>& StartsWithNew) {
    THeldWriteResult Result;
    const std::wstring FileName = Content.FFileName;
    const std::uint64_t NewSize = Content.FSize;
    // Once here, the temporary file is this call's: it takes the target's place or goes.
    const bool Started = Content.FStarted;
    TNewContent New = std::move(*Content.FNew);
    Content.FStarted = false;
    Content.Drop();
    if (!Started || !FlushNewContent(New) || (BeforeSwap && !BeforeSwap())) {
        New.Drop();
        Held.Reset();
        return Result;
    }
    // A file deleted while held must not come back under its name.
    if (!DeletePending(Held.Get()) && FileSystemCalls::RenameOverOpen(New.File.Get(), New.Target)) {
        Held.Reset();
        New.Swapped();
        return {THeldWrite::Written, TSwapPath::HeldThrough, New.Number};
    }
    // The system does not replace an open file: it is let go right before the
    // swap, and a program may open it and write in that moment. Its second name
    // keeps what it writes there.
    TSecondName OldName;
    const bool Kept = MakeSecondName(New.Folder, New.Target, Held.Get(), OldName);
    Result.Path = Kept ? TSwapPath::LinkKept : TSwapPath::LetGo;
    Held.Reset();
    // One try: a program that opened the file in that moment has it open still
    // (the system then refuses), and the file stays as it is with whatever that
    // program writes. Trying again once it lets go could replace a file that
    // another run has put in place meanwhile.
    if (!FileSystemCalls::RenameOver(New.File.Get(), New.Target)) {
        New.Drop();
        if (Kept) OldName.Remove();
        return Result;
    }
    if (!Kept) {
        New.Swapped();
        Result.Outcome = THeldWrite::Written;
        Result.Number = New.Number;
        return Result;
    }
    // The new content stays held (New.File) while the old file is checked: no
    // program can write to either.
    UniqueFile Old = HoldAgain(OldName.Name);
    if (Old && Unchanged(Old.Get(), ReadStamp)) {
        OldName.Remove(Old);
        New.Swapped();
        Result.Outcome = THeldWrite::Written;
        Result.Number = New.Number;
        return Result;
    }
    if (Old && PutBack(FileName, New, NewSize, StartsWithNew, Old, OldName)) {
        Result.Outcome = THeldWrite::ChangedDuringWrite;
        return Result;
    }
    // Still open in another program after the wait, or not put back: the new
    // content stays, and the old file, with whatever was written to it, stays
    // under its second name rather than be lost.
    Old.Reset();
    OldName.Keep();
    New.Swapped();
    Result.Outcome = THeldWrite::Written;
    Result.Number = New.Number;
    return Result;
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
