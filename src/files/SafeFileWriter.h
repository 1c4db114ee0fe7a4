#pragma once
// Writing a whole file without ever putting its old content at risk: the new
// bytes go to a fresh TEMP-N.TMP in the target's folder, are written whole and
// flushed, and only then take the target's place in one rename that replaces it
// (made on the still open temporary file, so it is a single call).
// At every instant the target's name holds its complete old bytes or its
// complete new bytes; a failure removes the temporary file and leaves the target
// as it was.
#include "base/UniqueHandle.h"
#include "files/EncodingMode.h"
#include "files/Sha256.h"
#include "files/TextFileReader.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

// Pattern with every "?" replaced by the smallest number N >= First for which no
// file of that name exists (a folder of that name does not count).
std::wstring MakeUniqueFileName(const std::wstring& Pattern, std::int32_t First);

// The mark written at the start of a file in Encoding (ANSI, UTF-16 LE, UTF-8;
// automatic or any other mode means UTF-8): EF BB BF for UTF-8 and for ANSI when
// the ANSI code page is 65001, FF FE for UTF-16 LE, nothing for other ANSI code pages.
std::string EncodingMark(TEncodingMode Encoding);
std::string EncodingMark(std::int32_t Encoding);

// Text as the bytes of Encoding, without the mark. False when the encoding cannot
// hold the text exactly: a character the ANSI code page lacks (no best-fit or
// default character is ever accepted) or an unpaired surrogate in UTF-8. UTF-16 LE
// takes the code units as they stand and always succeeds.
bool EncodeText(std::wstring_view Text, TEncodingMode Encoding, std::string& Bytes);
bool EncodeText(std::wstring_view Text, std::int32_t Encoding, std::string& Bytes);

// A text given in consecutive pieces, encoded as EncodeText encodes the whole:
// a high surrogate at the end of a piece waits for the unit after it.
class TPieceEncoder {
public:
    explicit TPieceEncoder(TEncodingMode Encoding = TEncodingMode::Utf8) : FEncoding(Encoding) {}
    // A new text from its start, in Encoding.
    void Reset(TEncodingMode Encoding) {
        FEncoding = Encoding;
        FHigh = 0;
    }
    // Bytes receives the bytes of the piece (less a unit held back, with the one
    // held before); false as EncodeText. Last: nothing follows.
    bool Encode(std::wstring_view Text, bool Last, std::string& Bytes);

private:
    TEncodingMode FEncoding;
    wchar_t FHigh = 0;  // a high surrogate held back from the last piece
};

// The temporary file of one write (see SafeFileWriter.cpp).
struct TNewContent;

// Asked right before the new content takes the target's place; false abandons
// the write (the temporary file goes, the target stays as it is).
using TSwapCheck = std::function<bool()>;

// Puts Bytes under FileName (a full path) by write-then-swap. True when the new
// content is complete, flushed and in place. False when nothing changed: the
// target keeps its old bytes (or still does not exist), and no temporary file of
// this write remains. An existing read-only target or a folder of that name is
// refused. The new file has ordinary attributes.
bool WriteFileBytes(const std::wstring& FileName, std::string_view Bytes, const TSwapCheck& BeforeSwap = {});

// What became of a write over a file held open since it was read.
enum class THeldWrite {
    Written,             // the new content is complete, flushed and in place
    NotWritten,          // refused or failed: the file is as it was
    ChangedDuringWrite,  // another program wrote to it while it was let go for the swap:
                         // the swap was undone, the file holds the old bytes with that write
};
// How the new content took the held file's place.
enum class TSwapPath {
    None,         // no swap was tried
    HeldThrough,  // the system replaced the file while it was held: no moment without it
    LinkKept,     // let go for the swap, the old file reachable under a second name
                  // (a recorded temporary file) until it was seen unchanged
    LetGo,        // let go for the swap, no second name possible (a file system without links)
};
struct THeldWriteResult {
    THeldWrite Outcome = THeldWrite::NotWritten;
    TSwapPath Path = TSwapPath::None;
    std::uint64_t Number = 0;  // Written: the new file's number on its volume (0: not known)
};

// WriteFileBytes for a file that Held has kept open since it was read, shared for
// deleting only, with ReadStamp: no other program's write may be lost to the
// swap. Where the system can replace an open file, Held stays open through the
// swap. Elsewhere the old file gets a second name before it is let go, and once
// the new content is in place it is held again through that name (after any
// program that opened it meanwhile is done with it): if it changed, the swap is
// undone the same way. Held is closed in every case once the call returns.
THeldWriteResult ReplaceHeldFile(const std::wstring& FileName, std::string_view Bytes, UniqueFile& Held,
                                 const TFileStamp& ReadStamp, const TSwapCheck& BeforeSwap = {});

// The new content of a held file, handed over in pieces as it is made: the
// bytes go to the temporary file beside the target as they come, and are
// flushed once, by ReplaceHeldFile. A content dropped, or destroyed before it
// was put in place, takes its temporary file with it.
class TNewFileContent {
public:
    TNewFileContent();
    ~TNewFileContent();
    TNewFileContent(const TNewFileContent&) = delete;
    TNewFileContent& operator=(const TNewFileContent&) = delete;

    // Checks the target (a full path) and makes the temporary file beside it:
    // false when nothing may be written there (an existing read-only target or
    // a folder of that name is refused).
    bool Begin(const std::wstring& FileName);
    // The next bytes; false (the temporary file gone) when they cannot be written.
    bool Write(std::string_view Bytes);
    // The temporary file goes; Begin may start over.
    void Drop();
    bool Begun() const { return FStarted; }

private:
    friend THeldWriteResult ReplaceHeldFile(TNewFileContent& Content, const TSha256Digest& Digest, UniqueFile& Held,
                                            const TFileStamp& ReadStamp, const TSwapCheck& BeforeSwap);
    friend THeldWriteResult ReplaceHeldFile(const std::wstring& FileName, std::string_view Bytes, UniqueFile& Held,
                                            const TFileStamp& ReadStamp, const TSwapCheck& BeforeSwap);
    // The swap, for both; StartsWithNew tells whether bytes begin with the new content.
    static THeldWriteResult Replace(TNewFileContent& Content, UniqueFile& Held, const TFileStamp& ReadStamp,
                                    const TSwapCheck& BeforeSwap,
                                    const std::function<bool(std::string_view)>& StartsWithNew);
    std::wstring FFileName;
    std::unique_ptr<TNewContent> FNew;
    bool FStarted = false;
    std::uint64_t FSize = 0;  // bytes written
};
// ReplaceHeldFile for content written in pieces (Begin and Write done), whose
// bytes have the SHA-256 Digest: flushed, then as above. Content is empty again
// once the call returns.
THeldWriteResult ReplaceHeldFile(TNewFileContent& Content, const TSha256Digest& Digest, UniqueFile& Held,
                                 const TFileStamp& ReadStamp, const TSwapCheck& BeforeSwap = {});

// The encoding's mark and Text as the bytes of Encoding, written by WriteFileBytes.
// False, with nothing touched, also when the encoding cannot hold the text.
bool WriteTextFile(const std::wstring& FileName, std::wstring_view Text, TEncodingMode Encoding,
                   const TSwapCheck& BeforeSwap = {});
bool WriteTextFile(const std::wstring& FileName, std::wstring_view Text, std::int32_t Encoding);
