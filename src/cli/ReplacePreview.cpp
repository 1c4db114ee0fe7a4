#include "cli/ReplacePreview.h"

#include "base/TextMatching.h"
#include "base/UniqueHandle.h"
#include "files/LongPath.h"
#include "files/SafeFileWriter.h"
#include "files/TextDecoding.h"
#include "files/TextFileReader.h"
#include "workers/WorkThreadRun.h"

namespace {

// The rename that puts a file's old content aside fails while another program
// holds the file open without letting it be deleted; an open for deletion with
// every sharing allowed meets the same refusal, and changes nothing.
bool HeldOpenByAnother(const std::wstring& File) {
    UniqueFile Probe(CreateFileW(ExtendedPath(File).c_str(), DELETE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return !Probe && GetLastError() == ERROR_SHARING_VIOLATION;
}

bool IsAscii(std::wstring_view Text) {
    for (wchar_t C : Text)
        if (static_cast<unsigned>(C) >= 0x80) return false;
    return true;
}

}  // namespace

TApplyForecast ForecastApply(const std::wstring& File, const TReplaceInputs& Inputs) {
    using TKind = TApplyForecast::TKind;
    TApplyForecast Forecast;
    TTextFileContent Content = LoadTextFile(File, StoredEncodingMode(Inputs.TextEncoding), true);
    if (Content.Mode == emAuto) {
        Forecast.Kind = TKind::Skip;
        Forecast.Reason = TSkipReason::UnsupportedMark;
        return Forecast;
    }
    if (Content.Mode < emAnsi || Content.Mode > emUtf8 || !Content.Read || Content.Text.empty()) return Forecast;
    if (!TextContains(Content.Text, Inputs.TextToFind, Inputs.CaseSensitive)) return Forecast;

    std::string Bytes;
    if (!EncodeText(Content.Text, Content.Mode, Bytes) || Bytes != Content.Bytes) {
        Forecast.Kind = TKind::Skip;
        Forecast.Reason = TSkipReason::NotRoundTrip;
        return Forecast;
    }
    const std::wstring NewText = ReplaceAll(Content.Text, Inputs.TextToFind, Inputs.ReplaceWith, Inputs.CaseSensitive);
    if (!EncodeText(NewText, Content.Mode, Bytes)) {
        Forecast.Kind = TKind::Skip;
        Forecast.Reason = TSkipReason::CannotEncode;
        return Forecast;
    }
    if (HeldOpenByAnother(File)) {
        Forecast.Kind = TKind::Skip;
        Forecast.Reason = TSkipReason::Locked;
        return Forecast;
    }
    Forecast.Kind = TKind::Change;
    Forecast.Count = CountMatches(Content.Text, Inputs.TextToFind, Inputs.CaseSensitive);
    Forecast.Encoding = EncodingModeFromStored(Content.Mode);
    return Forecast;
}

TSkipReason DiagnoseUnchanged(const std::wstring& File, const TReplaceInputs& Inputs, const TApplyForecast& Forecast) {
    const DWORD Attributes = GetFileAttributesW(ExtendedPath(File).c_str());
    if (Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_READONLY)) return TSkipReason::ReadOnly;
    if (HeldOpenByAnother(File)) return TSkipReason::Locked;
    if (Forecast.Encoding == TEncodingMode::Ansi && !IsAscii(Inputs.ReplaceWith)) {
        // Non-ASCII text going into a file read as ANSI whose bytes are UTF-8.
        TTextFileContent Content = LoadTextFile(File, StoredEncodingMode(TEncodingMode::Ansi), true);
        std::wstring Decoded;
        if (Content.Read && !IsAscii(Content.Text) && DecodeUtf8Strict(Content.Bytes, Decoded))
            return TSkipReason::MixedEncoding;
    }
    return TSkipReason::WriteFailed;
}

bool TFileIdentity::operator==(const TFileIdentity& Other) const {
    return Known == Other.Known && Volume == Other.Volume && IndexHigh == Other.IndexHigh &&
           IndexLow == Other.IndexLow && CompareFileTime(&LastWrite, &Other.LastWrite) == 0;
}

TFileIdentity IdentityOf(const std::wstring& File) {
    TFileIdentity Identity;
    UniqueFile Handle(CreateFileW(ExtendedPath(File).c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION Info{};
    if (!Handle || !GetFileInformationByHandle(Handle.Get(), &Info)) return Identity;
    Identity.Known = true;
    Identity.Volume = Info.dwVolumeSerialNumber;
    Identity.IndexHigh = Info.nFileIndexHigh;
    Identity.IndexLow = Info.nFileIndexLow;
    Identity.LastWrite = Info.ftLastWriteTime;
    return Identity;
}

TReplacePreview::TReplacePreview(TReplaceInputs Inputs) : FInputs(std::move(Inputs)) {}

TReplacePreview::~TReplacePreview() {
    TerminateAndWait();
}

void TReplacePreview::Execute() {
    RunThenReport(
        [this] {
            WalkRunFiles(
                FInputs.Folder, FInputs.Filters, FInputs.Recursive,
                [this](const std::wstring& Filter) {
                    Synchronize([&] {
                        if (OnPreviewShowCurrentFilter) OnPreviewShowCurrentFilter(Filter);
                    });
                },
                [this](const std::wstring& File, std::int32_t ProgressValue) {
                    Synchronize([&] {
                        if (OnPreviewProgress) OnPreviewProgress(ProgressValue);
                    });
                    const TApplyForecast Forecast = ForecastApply(File, FInputs);
                    if (Forecast.Kind == TApplyForecast::TKind::Untouched) return;
                    Synchronize([&] {
                        if (OnPreviewFile) OnPreviewFile(File, Forecast);
                    });
                },
                [this] { return Terminated(); });
        },
        [this] {
            Synchronize([this] {
                if (OnPreviewReturnValues) OnPreviewReturnValues();
            });
        });
}
