# Cross build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(vorblexter_mingw_triplet x86_64-w64-mingw32)
set(vorblexter_wine_arch win64)
# Debian's 64-bit Wine loader.
find_program(vorblexter_wine64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(vorblexter_wine64 NAMES wine64 wine)
set(vorblexter_wine_loader ${vorblexter_wine64})
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
