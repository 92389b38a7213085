# Cross-compiles tonequill for 64-bit Windows with Debian's MinGW-w64 toolchain
# (package g++-mingw-w64-x86-64-posix). The posix thread model is the one whose
# runtime carries everything std::filesystem needs.
#
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DTONEQUILL_TESTS=OFF -DCMAKE_BUILD_TYPE=Release
#   cmake --build build/windows --target tonequill
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TONEQUILL_MINGW_PREFIX x86_64-w64-mingw32)

find_program(TONEQUILL_MINGW_CXX NAMES ${TONEQUILL_MINGW_PREFIX}-g++-posix ${TONEQUILL_MINGW_PREFIX}-g++)
if(NOT TONEQUILL_MINGW_CXX)
  message(FATAL_ERROR "no MinGW-w64 C++ compiler found: install g++-mingw-w64-x86-64-posix")
endif()
set(CMAKE_CXX_COMPILER ${TONEQUILL_MINGW_CXX})
find_program(CMAKE_RC_COMPILER NAMES ${TONEQUILL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TONEQUILL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One tonequill.exe that runs alone: the C++ runtime, libgcc and winpthread
# are linked in, so no DLL has to travel with it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# The tests run on the build machine; the Windows build is checked against it
# by scripts/windows-check.sh. So only tonequill itself is built by default.
set(TONEQUILL_TESTS OFF CACHE BOOL "Build the tests")
