#!/usr/bin/env bash
# Builds the dependencies of the Windows build from Debian's own sources, for
# a machine without the prebuilt tarballs (about 25 minutes on 2 cores that
# other builds share; less on an idle machine):
#   qt6-mingw-static.tar.zst   Qt 6 qtbase, Core only, static, no ICU
#   deps-openssl-gtest.tar.zst OpenSSL's static libcrypto and GoogleTest
# Usage: build-deps.sh OUTDIR   (OUTDIR receives both tarballs)
# The sources come from the distribution's own archive: the script reads them
# through a source list of its own (the archives of /etc/apt with deb-src),
# so the machine's apt configuration is left as it is.
set -euo pipefail
OUT=$(realpath -m "$1"); mkdir -p "$OUT"
HERE=$(dirname "$(realpath "$0")")
TOOLCHAIN=$HERE/mingw-toolchain.cmake
WORK=$OUT/work; mkdir -p "$WORK"

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
need=()
for pkg in dpkg-dev make perl qt6-base-dev qt6-base-dev-tools googletest g++-mingw-w64-x86-64-posix cmake \
           ninja-build zstd; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# "apt-get source" through a private list of the system's archives as deb-src.
APT=$WORK/apt
mkdir -p "$APT/sources.list.d" "$APT/lists/partial"
: >"$APT/sources.list"
if [ -f /etc/apt/sources.list ]; then
  sed -n '/-security/!s/^deb \(.*\)$/deb-src \1/p' /etc/apt/sources.list >"$APT/sources.list"
fi
for F in /etc/apt/sources.list.d/*.sources; do
  # The security archive's sources are not mirrored everywhere; the main
  # archive's are enough to build from.
  if [ -f "$F" ]; then
    awk 'BEGIN { RS = ""; ORS = "\n\n" } !/-security/ { sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$F" \
      >"$APT/sources.list.d/$(basename "$F")"
  fi
done
for F in /etc/apt/sources.list.d/*.list; do
  if [ -f "$F" ]; then
    sed -n '/-security/!s/^deb \(.*\)$/deb-src \1/p' "$F" >"$APT/sources.list.d/$(basename "$F")"
  fi
done
APT_OPTIONS=(-o Dir::Etc::SourceList="$APT/sources.list" -o Dir::Etc::SourceParts="$APT/sources.list.d"
             -o Dir::State::Lists="$APT/lists" -o Debug::NoLocking=1)
apt-get "${APT_OPTIONS[@]}" update -qq
source_of() { (cd "$WORK" && apt-get "${APT_OPTIONS[@]}" source -qq "$1" >/dev/null); }

if [ ! -f "$OUT/qt6-mingw-static.tar.zst" ]; then
  source_of qt6-base
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
  source_of openssl
  cd "$WORK"/openssl-3*/
  ./Configure mingw64 --cross-compile-prefix=x86_64-w64-mingw32- CC=gcc-posix --prefix="$WORK/openssl-mingw" \
    --libdir=lib no-shared no-tests no-module no-engine no-dso no-apps >/dev/null
  make -j2 build_libs >/dev/null && make install_dev >/dev/null
  cmake -S /usr/src/googletest -B "$WORK/gtest-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$WORK/gtest-mingw" -Dgtest_disable_pthreads=OFF >/dev/null
  cmake --build "$WORK/gtest-build" --parallel 2 && cmake --install "$WORK/gtest-build" >/dev/null
  (cd "$WORK" && tar --zstd -cf "$OUT/deps-openssl-gtest.tar.zst" openssl-mingw gtest-mingw)
fi
