#!/usr/bin/env bash
# Builds the release artefacts into dist/: the plug-in for Linux (x86-64: the VST 2.x library,
# the LV2 bundle vorblexter1.lv2 and the CLAP module vorblexter1.clap), for 32-bit Windows (the
# VST 2.x DLL) and for 64-bit Windows (the VST 2.x DLL and the CLAP module, which goes into
# Common Files\CLAP), the command-line host (Linux) when the tree has it, and SHA256SUMS over
# them. Release builds with warnings as errors, in build-dist/; the DLLs and modules are checked
# as CI checks them.
# Needs the MinGW-w64 -posix cross compilers (scripts/stages/windows.sh installs them).
set -euo pipefail
cd "$(dirname "$0")/.."

for compiler in i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix; do
    if ! command -v "$compiler" >/dev/null; then
        echo "Missing $compiler: apt-get install g++-mingw-w64-i686-posix" \
            "g++-mingw-w64-x86-64-posix (or run scripts/stages/windows.sh once)." >&2
        exit 1
    fi
done

common=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DVORBLEXTER_WERROR=ON -DVORBLEXTER_BUILD_TESTS=OFF
    -DVORBLEXTER_BUILD_BENCHMARKS=OFF)
cmake -S . -B build-dist/linux "${common[@]}" -DVORBLEXTER_BUILD_TOOLS=ON >/dev/null
cmake --build build-dist/linux -j 2
for target in win32:mingw-i686 win64:mingw-x86_64; do
    cmake -S . -B "build-dist/${target%%:*}" "${common[@]}" -DVORBLEXTER_BUILD_TOOLS=OFF \
        -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchains/${target#*:}.cmake" >/dev/null
    cmake --build "build-dist/${target%%:*}" -j 2
done

rm -rf dist
mkdir -p dist/linux-x86_64 dist/windows-x86 dist/windows-x64
# Stripped of symbol tables only: the dynamic symbol `main` and the export table stay.
strip --strip-unneeded -o dist/linux-x86_64/vorblexter1.so build-dist/linux/vorblexter1.so
mkdir -p dist/linux-x86_64/vorblexter1.lv2
cp build-dist/linux/vorblexter1.lv2/manifest.ttl build-dist/linux/vorblexter1.lv2/vorblexter1.ttl \
    dist/linux-x86_64/vorblexter1.lv2/
strip --strip-unneeded -o dist/linux-x86_64/vorblexter1.lv2/vorblexter1.so \
    build-dist/linux/vorblexter1.lv2/vorblexter1.so
i686-w64-mingw32-strip --strip-unneeded -o dist/windows-x86/vorblexter1.dll \
    build-dist/win32/vorblexter1.dll
x86_64-w64-mingw32-strip --strip-unneeded -o dist/windows-x64/vorblexter1.dll \
    build-dist/win64/vorblexter1.dll
strip --strip-unneeded -o dist/linux-x86_64/vorblexter1.clap build-dist/linux/vorblexter1.clap
x86_64-w64-mingw32-strip --strip-unneeded -o dist/windows-x64/vorblexter1.clap \
    build-dist/win64/vorblexter1.clap
if [[ -f build-dist/linux/tools/vorblexter ]]; then
    strip -o dist/linux-x86_64/vorblexter build-dist/linux/tools/vorblexter
fi

./scripts/check-dll.sh dist/windows-x86/vorblexter1.dll i386
./scripts/check-dll.sh dist/windows-x64/vorblexter1.dll x86-64
./scripts/check-dll.sh dist/windows-x64/vorblexter1.clap x86-64 clap_entry
if [[ $(nm -D --defined-only dist/linux-x86_64/vorblexter1.so | awk '{print $3}') != "main" ]]; then
    echo "FAIL: dist/linux-x86_64/vorblexter1.so does not export exactly main" >&2
    exit 1
fi
lv2_library=dist/linux-x86_64/vorblexter1.lv2/vorblexter1.so
if [[ $(nm -D --defined-only "$lv2_library" | awk '{print $3}') != "lv2_descriptor" ]]; then
    echo "FAIL: $lv2_library does not export exactly lv2_descriptor" >&2
    exit 1
fi
if [[ $(nm -D --defined-only dist/linux-x86_64/vorblexter1.clap | awk '{print $3}') != "clap_entry" ]]; then
    echo "FAIL: dist/linux-x86_64/vorblexter1.clap does not export exactly clap_entry" >&2
    exit 1
fi

(cd dist && find . -type f ! -name SHA256SUMS -printf '%P\n' | sort | xargs sha256sum >SHA256SUMS)
echo "dist/:"
cat dist/SHA256SUMS
