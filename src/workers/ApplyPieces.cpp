#include "workers/ApplyPieces.h"

#include "files/TextDecoding.h"

#include <algorithm>

namespace {

// As many bytes as LooksBinary looks at.
constexpr size_t BinaryHead = 64 * 1024;

// Memory a sink keeps for the next file; more is let go.
constexpr size_t KeptUnits = size_t{4} << 20;

template <typename TBuffer>
void TrimBuffer(TBuffer& Buffer, size_t Units) {
    if (Buffer.capacity() > Units) TBuffer().swap(Buffer);
}

}  // namespace

void TApplyScanSink::Restart() {
    FCounter.Reset();
    FBreak.Reset();
    FMark.clear();
    FHead.clear();
    FHash = TSha256{};
}

void TApplyScanSink::Mark(std::string_view Bytes) {
    FMark.assign(Bytes);
    if (FHashing) FHash.Update(Bytes);
}

void TApplyScanSink::Decoded(std::string_view Bytes) {
    if (FHead.size() < BinaryHead) FHead.append(Bytes.substr(0, BinaryHead - FHead.size()));
    if (FHashing) FHash.Update(Bytes);
}

size_t TApplyScanSink::Take(std::wstring_view Text, bool Last) {
    if (FNeedsLineBreak) FBreak.Take(Text, Last);
    return FCounter.Take(Text, Last);
}

void TApplyWriteSink::Prepare(TEncodingMode Mode, std::wstring_view FirstBreak, bool WatchUtf8,
                              TNewFileContent* Content) {
    FMode = Mode;
    FFirstBreak.assign(FirstBreak);
    FWatchUtf8 = WatchUtf8;
    FContent = Content;
    FNewSize = 0;
}

void TApplyWriteSink::Restart() {
    if (FContent && FNewSize > 0) {
        // Read again from the start: what was written goes with its temporary file.
        FContent->Drop();
        FWriteOk = false;
    } else {
        FWriteOk = true;
    }
    FReplacer.Reset(FFirstBreak);
    FEncoder.Reset(FMode);
    FBytes = {};
    FKept = 0;
    FRoundTrip = FFits = true;
    FUtf8Valid = true;
    FUtf8High = false;
    FUtf8Carry.clear();
    FOldHash = FNewHash = TSha256{};
    FOldSize = FNewSize = 0;
}

void TApplyWriteSink::Mark(std::string_view Bytes) {
    // The file keeps the mark it had, and gains none.
    FOldHash.Update(Bytes);
    FOldSize += Bytes.size();
    Emit(Bytes);
}

void TApplyWriteSink::Decoded(std::string_view Bytes) {
    FBytes = Bytes;
    FOldHash.Update(Bytes);
    FOldSize += Bytes.size();
}

void TApplyWriteSink::Emit(std::string_view Bytes) {
    FNewHash.Update(Bytes);
    FNewSize += Bytes.size();
    // A file that cannot change is written no further.
    if (!FContent || !FWriteOk) return;
    if (!FRoundTrip || !FFits || !FContent->Write(Bytes)) {
        FContent->Drop();
        FWriteOk = false;
    }
}

void TApplyWriteSink::WatchUtf8(std::string_view Bytes, bool Last) {
    // A sequence cut at a piece's end is decoded with the next piece.
    if (!FUtf8Valid) return;
    FUtf8Joined.assign(FUtf8Carry);
    FUtf8Joined.append(Bytes);
    const std::string_view Joined = FUtf8Joined;
    const size_t Use = Last ? Joined.size() : Utf8CompletePrefix(Joined);
    const std::string_view Now = Joined.substr(0, Use);
    if (std::any_of(Now.begin(), Now.end(), [](char C) { return static_cast<unsigned char>(C) >= 0x80; })) {
        FUtf8High = true;
        FUtf8Valid = DecodeUtf8Strict(Now, FUtf8Text);
    }
    FUtf8Carry.assign(Joined.substr(Use));
}

size_t TApplyWriteSink::Take(std::wstring_view Text, bool Last) {
    const std::wstring_view New = Text.substr(FKept);
    // The text of this piece's bytes must give them back: pieces end where a
    // character does (a UTF-16 code unit on its own encodes back as it was read).
    if (FRoundTrip) {
        if (FMode == TEncodingMode::Utf16LE)
            FRoundTrip = FBytes.size() % 2 == 0;
        else
            FRoundTrip = EncodeText(New, FMode, FBack) && FBack == FBytes;
    }
    if (FWatchUtf8) WatchUtf8(FBytes, Last);
    FOut.clear();
    FKept = FReplacer.Take(Text, Last, FOut);
    if (FFits) FFits = FEncoder.Encode(FOut, Last, FEncoded);
    if (FFits) Emit(FEncoded);
    if (!FFits && FContent && FWriteOk) {
        FContent->Drop();
        FWriteOk = false;
    }
    FBytes = {};
    return FKept;
}

void TApplyWriteSink::Trim() {
    TrimBuffer(FOut, KeptUnits);
    TrimBuffer(FEncoded, KeptUnits);
    TrimBuffer(FBack, KeptUnits);
    TrimBuffer(FUtf8Text, KeptUnits);
    TrimBuffer(FUtf8Joined, KeptUnits);
}
