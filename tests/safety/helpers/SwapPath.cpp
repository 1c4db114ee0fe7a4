// Tells which way Apply's swap goes in a folder: whether the system replaces a
// file that is still held open (then Apply holds it through the swap) or not
// (then Apply lets go of it and keeps the old file under a second name).
//   qv_swap_path FOLDER
// Prints "held-through" or "link-kept (error N)"; exit code 2 when the probe
// files cannot be made.
#include "HelperOutput.h"

#include "base/UniqueHandle.h"
#include "files/FileSystemCalls.h"

int wmain() {
    const std::vector<std::wstring> Args = ProgramArguments();
    if (Args.size() != 1) {
        WriteLineOut("usage: qv_swap_path FOLDER");
        return 1;
    }
    const std::wstring Target = Args[0] + L"\\swap-probe.txt", Temp = Args[0] + L"\\swap-probe.tmp";
    UniqueFile Made(CreateFileW(Target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!Made) return 2;
    Made.Reset();
    // Held as Apply holds a file it read.
    UniqueFile Held(CreateFileW(Target.c_str(), GENERIC_READ, FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
    UniqueFile New(CreateFileW(Temp.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, 0, nullptr));
    if (!Held || !New) return 2;
    const bool Replaced = FileSystemCalls::RenameOverOpen(New.Get(), Target);
    const DWORD Error = GetLastError();
    Held.Reset();
    New.Reset();
    DeleteFileW(Target.c_str());
    DeleteFileW(Temp.c_str());
    WriteLineOut(Replaced ? "held-through" : "link-kept (error " + std::to_string(Error) + ")");
    return 0;
}
