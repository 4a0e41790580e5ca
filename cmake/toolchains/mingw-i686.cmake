# Cross build for 32-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-i686-posix):
#   cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-i686.cmake
#
# cmake/compiler_options.cmake adds -msse2 -mfpmath=sse for this target, so its floating point
# matches the 64-bit builds.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(vorblexter_mingw_triplet i686-w64-mingw32)
set(vorblexter_wine_arch win32)
set(vorblexter_wine_loader wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
