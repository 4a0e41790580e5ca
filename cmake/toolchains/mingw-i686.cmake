# Cross build for 32-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-i686-posix):
#   cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-i686.cmake
#
# The -posix compilers, not the default -win32 ones: only the POSIX thread model gives GCC 12
# std::mutex and std::thread, which GoogleTest needs. cmake/compiler_options.cmake adds
# -msse2 -mfpmath=sse for this target, so its floating point matches the 64-bit builds.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(vorblexter_mingw_triplet i686-w64-mingw32)

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

# Test programs run under Wine, in a 32-bit prefix inside the build folder. Start the Wine
# server first with its output sent elsewhere (scripts/stages/windows.sh does), or every test
# pays for a server start and can hold ctest's output pipe open.
set(CMAKE_CROSSCOMPILING_EMULATOR
    env WINEARCH=win32 WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix WINEDEBUG=-all
        WINEDLLOVERRIDES=mscoree,mshtml= wine)
