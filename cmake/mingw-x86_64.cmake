# Cross build of the same Windows programs for 64-bit Windows. It exists so
# that the Windows tests can run under a 64-bit-only Wine on machines whose
# kernel cannot execute 32-bit Linux programs (and so cannot run wine32).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# -O2 rather than -O3: at -O3 this GCC 12 reports false -Wrestrict errors
# in inlined std::string code (GCC bug 105651).
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of the Release build")

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CTest runs each Windows program through this wrapper, which picks the
# 64-bit Wine loader and a Wine prefix of this build's own (made on first
# use) when WINEPREFIX is not set.
set(CMAKE_CROSSCOMPILING_EMULATOR
  ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh 64 ${CMAKE_BINARY_DIR}/wineprefix)
