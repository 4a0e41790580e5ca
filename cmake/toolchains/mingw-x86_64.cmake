# Cross build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-x86_64.cmake
#
# The -posix compilers, not the default -win32 ones: only the POSIX thread model gives GCC 12
# std::mutex and std::thread, which GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(vorblexter_mingw_triplet x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${vorblexter_mingw_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${vorblexter_mingw_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${vorblexter_mingw_triplet}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${vorblexter_mingw_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs carry their C++ and thread runtimes inside, so they run under Wine, or on a machine
# without MinGW, with nothing copied beside them. (The plug-in gets -static from its own target.)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# Test programs run under Debian's 64-bit Wine loader, in a prefix inside the build folder.
# Start the Wine server first with its output sent elsewhere (scripts/stages/windows.sh does).
find_program(vorblexter_wine64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(vorblexter_wine64 NAMES wine64 wine)
set(CMAKE_CROSSCOMPILING_EMULATOR
    env WINEARCH=win64 WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix WINEDEBUG=-all
        WINEDLLOVERRIDES=mscoree,mshtml= ${vorblexter_wine64})
