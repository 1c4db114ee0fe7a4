# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (posix thread model).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QV_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QV_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QV_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QV_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QV_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Test executables run through Wine, with the build folder's private prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-exec)
