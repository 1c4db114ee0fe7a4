// Test helper for RunCommandLine: writes its own command line (UTF-16) to the
// file named by QV_RECORD_FILE. When QV_RECORD_HOLD names an event, it then
// waits for that event (at most 30 s) and writes QV_RECORD_FILE + ".done", so a
// test can tell that the starter did not wait for it.
#include "base/UniqueHandle.h"

#include <windows.h>

#include <string>

namespace {

std::wstring Environment(const wchar_t* Name) {
    wchar_t Buffer[1024];
    DWORD Length = GetEnvironmentVariableW(Name, Buffer, 1024);
    return Length > 0 && Length < 1024 ? std::wstring(Buffer, Length) : std::wstring();
}

// Written under a temporary name and renamed, so the test never reads half a file.
bool WriteWhole(const std::wstring& Path, const void* Data, DWORD Size) {
    std::wstring Part = Path + L".part";
    {
        UniqueFile File(CreateFileW(Part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD Written = 0;
        if (!File || !WriteFile(File.Get(), Data, Size, &Written, nullptr) || Written != Size) return false;
    }
    return MoveFileW(Part.c_str(), Path.c_str()) != 0;
}

}  // namespace

int wmain() {
    std::wstring Record = Environment(L"QV_RECORD_FILE");
    if (Record.empty()) return 1;
    const wchar_t* Line = GetCommandLineW();
    if (!WriteWhole(Record, Line, static_cast<DWORD>(wcslen(Line) * sizeof(wchar_t)))) return 1;
    std::wstring Hold = Environment(L"QV_RECORD_HOLD");
    if (Hold.empty()) return 0;
    UniqueKernelHandle Event(OpenEventW(SYNCHRONIZE, FALSE, Hold.c_str()));
    if (Event) WaitForSingleObject(Event.Get(), 30000);
    return WriteWhole(Record + L".done", "", 0) ? 0 : 1;
}
