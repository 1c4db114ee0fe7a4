#pragma once
// Every file-system call goes through the extended-length form "\\?\" + full path,
// so names such as aux.c, nul.txt or "trail." reach the real file and paths may be
// longer than MAX_PATH. Only "." and ".." parts, "/" and a relative start are
// resolved; every other name is kept exactly as given.
#include <string>
#include <string_view>

std::wstring ExtendedPath(std::wstring_view Path);

// The full path as a user writes it: ExtendedPath without its "\\?\" (a share
// as "\\server\share\..."). A path in the device form stays as it is.
std::wstring FullPath(std::wstring_view Path);
