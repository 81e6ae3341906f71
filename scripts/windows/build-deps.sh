#!/usr/bin/env bash
# Builds the dependencies of the Windows build from Debian's own sources, for
# a machine without the prebuilt tarballs (about 10 minutes on 2 cores):
#   qt6-mingw-static.tar.zst   Qt 6 qtbase, Core only, static, no ICU
#   deps-openssl-gtest.tar.zst OpenSSL's static libcrypto and GoogleTest
# Usage: build-deps.sh OUTDIR   (OUTDIR receives both tarballs)
# Needs a deb-src line for the distribution (apt-get source).
set -euo pipefail
OUT=$(realpath -m "$1"); mkdir -p "$OUT"
HERE=$(dirname "$(realpath "$0")")
TOOLCHAIN=$HERE/mingw-toolchain.cmake
WORK=$OUT/work; mkdir -p "$WORK"

if [ ! -f "$OUT/qt6-mingw-static.tar.zst" ]; then
  (cd "$WORK" && apt-get source qt6-base >/dev/null)
  mkdir -p "$WORK/qtbuild" && cd "$WORK/qtbuild"
  "$WORK"/qt6-base-*/configure -prefix "$WORK/qt6-mingw-static" -qt-host-path /usr -xplatform win32-g++ \
    -release -static -static-runtime \
    -no-gui -no-widgets -no-dbus -no-opengl -no-icu -no-openssl \
    -no-feature-network -no-feature-sql -no-feature-testlib -no-feature-concurrent -no-feature-xml \
    -no-feature-printsupport -qt-pcre -qt-zlib -qt-doubleconversion -nomake examples -nomake tests \
    -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
  cmake --build . --parallel 2 && cmake --install .
  (cd "$WORK" && tar --zstd -cf "$OUT/qt6-mingw-static.tar.zst" qt6-mingw-static)
fi

if [ ! -f "$OUT/deps-openssl-gtest.tar.zst" ]; then
  (cd "$WORK" && apt-get source openssl >/dev/null)
  cd "$WORK"/openssl-3*/
  ./Configure mingw64 --cross-compile-prefix=x86_64-w64-mingw32- CC=gcc-posix --prefix="$WORK/openssl-mingw" \
    --libdir=lib no-shared no-tests no-module no-engine no-dso no-apps >/dev/null
  make -j2 build_libs >/dev/null && make install_dev >/dev/null
  cmake -S /usr/src/googletest -B "$WORK/gtest-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$WORK/gtest-mingw" -Dgtest_disable_pthreads=OFF >/dev/null
  cmake --build "$WORK/gtest-build" --parallel 2 && cmake --install "$WORK/gtest-build" >/dev/null
  (cd "$WORK" && tar --zstd -cf "$OUT/deps-openssl-gtest.tar.zst" openssl-mingw gtest-mingw)
fi
