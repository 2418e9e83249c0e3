# Cross build of the Windows (i686) binaries with Debian's MinGW-w64 (posix
# thread model, needed for std::thread and std::mutex). Tests run under Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
# The shared options add -msse2 -mfpmath=sse for this processor (x87 arithmetic
# would round differently from the other targets).

set(_triple i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
