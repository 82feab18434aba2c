# Cross build for 64-bit Windows with mingw-w64 (Debian: g++-mingw-w64-x86-64-posix).
#   cmake -S . -B build-windows -G Ninja --toolchain cmake/mingw-w64-x86_64.cmake \
#         -DTUNALYX_CORE_ONLY=ON -DTUNALYX_BUILD_BENCH=OFF
# The POSIX threads variant of the compiler is the one with std::thread and std::mutex.
# Everything is linked statically, so the programs run without DLLs next to them; when wine64
# is installed, ctest runs the tests through it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TUNALYX_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TUNALYX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TUNALYX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TUNALYX_MINGW_TRIPLE}-windres)

# Headers and libraries come from the target's root only; programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${TUNALYX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes and winpthread go into the executable.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

find_program(TUNALYX_WINE64 NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(TUNALYX_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TUNALYX_WINE64})
endif()
