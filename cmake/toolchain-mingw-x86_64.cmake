# Cross build of the Windows (x86_64) binaries with Debian's MinGW-w64 (posix
# thread model, needed for std::thread and std::mutex). Tests run under Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_triple x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)

# Debian's `wine` starts the 32-bit loader first, which then hands 64-bit
# programs to wine64; calling wine64 directly saves that step on every test.
if(EXISTS /usr/lib/wine/wine64)
  set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
else()
  set(CMAKE_CROSSCOMPILING_EMULATOR wine)
endif()
