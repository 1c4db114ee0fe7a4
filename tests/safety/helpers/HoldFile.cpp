// Holds files open the way another program would, until told to stop.
//   qv_hold_file ACCESS SHARE PATH [ACCESS SHARE PATH ...]
// ACCESS: r, w, rw or a (append data); SHARE: none or any of r, w, d (read,
// write, delete sharing). Prints "ready" once every file is open, then waits for a
// line or the end of standard input and closes them. Exit code 2 when a file
// cannot be opened (the reason is printed), 1 for bad arguments.
#include "HelperOutput.h"

#include "base/UniqueHandle.h"

#include <shellapi.h>

namespace {

bool ParseAccess(const std::wstring& Text, DWORD& Access) {
    if (Text == L"r") Access = GENERIC_READ;
    else if (Text == L"w") Access = GENERIC_WRITE;
    else if (Text == L"rw") Access = GENERIC_READ | GENERIC_WRITE;
    else if (Text == L"a") Access = FILE_APPEND_DATA;
    else return false;
    return true;
}

bool ParseShare(const std::wstring& Text, DWORD& Share) {
    Share = 0;
    if (Text == L"none") return true;
    for (wchar_t C : Text) {
        if (C == L'r') Share |= FILE_SHARE_READ;
        else if (C == L'w') Share |= FILE_SHARE_WRITE;
        else if (C == L'd') Share |= FILE_SHARE_DELETE;
        else return false;
    }
    return !Text.empty();
}

}  // namespace

int wmain() {
    const std::vector<std::wstring> Args = ProgramArguments();
    if (Args.empty() || Args.size() % 3 != 0) {
        WriteLineOut("usage: qv_hold_file ACCESS SHARE PATH [ACCESS SHARE PATH ...]");
        return 1;
    }
    std::vector<UniqueFile> Held;
    for (size_t i = 0; i < Args.size(); i += 3) {
        DWORD Access = 0, Share = 0;
        if (!ParseAccess(Args[i], Access) || !ParseShare(Args[i + 1], Share)) {
            WriteLineOut("bad access or share: " + Utf8(Args[i]) + " " + Utf8(Args[i + 1]));
            return 1;
        }
        UniqueFile File(CreateFileW(Args[i + 2].c_str(), Access, Share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
        if (!File) {
            WriteLineOut("cannot open " + Utf8(Args[i + 2]) + ": error " + std::to_string(GetLastError()));
            return 2;
        }
        Held.push_back(std::move(File));
    }
    WriteLineOut("ready");
    WaitForStop();
    return 0;
}
