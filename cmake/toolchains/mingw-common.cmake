# What both MinGW-w64 cross builds share; the toolchain files set CMAKE_SYSTEM_PROCESSOR,
# vorblexter_mingw_triplet and vorblexter_wine_loader (with its WINEARCH) and include this.
#
# The -posix compilers, not the default -win32 ones: only the POSIX thread model gives GCC 12
# std::mutex and std::thread, which GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)

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

# Test programs run under Wine, in a prefix inside the build folder. Start the Wine server first
# with its output sent elsewhere (scripts/stages/windows.sh does), or every test pays for a
# server start and can hold ctest's output pipe open.
set(CMAKE_CROSSCOMPILING_EMULATOR
    env WINEARCH=${vorblexter_wine_arch} WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix
        WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= ${vorblexter_wine_loader})
