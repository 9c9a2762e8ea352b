# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (posix threads:
# Qt needs std::thread and friends).
#
# Building against the toolchain's prefix (tools/windows/toolchain.sh):
#   cmake -DCMAKE_TOOLCHAIN_FILE=tools/windows/mingw-w64.cmake \
#         -DTAVELO_WIN_PREFIX=<prefix> ...
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TAVELO_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAVELO_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVELO_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVELO_MINGW}-windres)
set(CMAKE_ASM_NASM_COMPILER nasm)

# Target libraries come from the MinGW sysroot and the toolchain's prefix only;
# programs (moc, rcc, uic, nasm) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${TAVELO_MINGW})
if(TAVELO_WIN_PREFIX)
  list(APPEND CMAKE_FIND_ROOT_PATH ${TAVELO_WIN_PREFIX})
  list(APPEND CMAKE_PREFIX_PATH ${TAVELO_WIN_PREFIX})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The Windows Qt runs Debian's own moc, rcc and uic (same Qt version).
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)

# try_compile projects see the same prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TAVELO_WIN_PREFIX)
