// Holds a file open the way another program might (read access, others may only
// read) until its standard input closes, so that the tests can see how a replace
// treats a file in use. Prints "held" once the file is open.
#include "base/UniqueHandle.h"

#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    UniqueFile File(CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!File) return 1;
    std::puts("held");
    std::fflush(stdout);
    char Byte;
    DWORD Read = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &Byte, 1, &Read, nullptr) && Read != 0) {
    }
    return 0;
}
