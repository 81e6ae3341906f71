#!/usr/bin/env bash
# Cross-builds migwiz.exe for 64-bit Windows with mingw-w64 (posix threads):
# one static executable of the engine and the command line (no GUI, Qt Core
# alone), in build-windows/bin/migwiz.exe.
#
#   scripts/build-windows.sh [--tests] [--target NAME]
#   (--tests: also the test programs, run under Wine by test-windows.sh)
#
# The dependencies (Qt 6 Core static without ICU, OpenSSL's libcrypto,
# GoogleTest, all for x86_64-w64-mingw32) come from prebuilt tarballs in the
# first of: $MIGWIZ_WINDOWS_DEPS, ../shared/windows beside the checkout,
# /work/shared/windows. Where none has them they are built from Debian's
# sources by scripts/windows/build-deps.sh into build-windows/deps-src (slow).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=$ROOT/build-windows
TESTS=OFF
if [ "${1:-}" = "--tests" ]; then TESTS=ON; shift; fi
TARGETS=("$@") # further arguments go to cmake --build (--target NAME)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
need=()
for pkg in g++-mingw-w64-x86-64-posix zstd cmake ninja-build qt6-base-dev-tools libdtl-dev; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
done
if [ "$TESTS" = ON ]; then
  for pkg in wine wine64; do dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg"); done
fi
if [ ${#need[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

find_deps() {
  for d in "${MIGWIZ_WINDOWS_DEPS:-}" "$ROOT/../shared/windows" /work/shared/windows; do
    if [ -n "$d" ] && [ -f "$d/qt6-mingw-static.tar.zst" ] && [ -f "$d/deps-openssl-gtest.tar.zst" ]; then
      echo "$d"; return
    fi
  done
}
DEPS_SRC=$(find_deps)
if [ -z "$DEPS_SRC" ]; then
  echo "build-windows: no prebuilt dependencies; building them from source (slow)" >&2
  DEPS_SRC=$BUILD/deps-src
  scripts/windows/build-deps.sh "$DEPS_SRC"
fi

# Unpacked once per build folder, again when a tarball changes.
DEPS=$BUILD/deps
mkdir -p "$DEPS"
STAMP=$(cat "$DEPS_SRC"/*.tar.zst | cksum)
if [ "$(cat "$DEPS/.stamp" 2>/dev/null)" != "$STAMP" ]; then
  rm -rf "$DEPS"/qt6-mingw-static "$DEPS"/openssl-mingw "$DEPS"/gtest-mingw
  tar --zstd -xf "$DEPS_SRC/qt6-mingw-static.tar.zst" -C "$DEPS"
  tar --zstd -xf "$DEPS_SRC/deps-openssl-gtest.tar.zst" -C "$DEPS"
  echo "$STAMP" >"$DEPS/.stamp"
fi
# dtl is header-only: Debian's headers serve the cross build too.
mkdir -p "$DEPS/dtl/include" && cp -r /usr/include/dtl "$DEPS/dtl/include/"

EMULATOR=()
[ "$TESTS" = ON ] && EMULATOR=(-DCMAKE_CROSSCOMPILING_EMULATOR=wine)
LAUNCHER=()
if command -v ccache >/dev/null; then
  LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$ROOT")}
fi
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release ${LAUNCHER[@]+"${LAUNCHER[@]}"} \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/scripts/windows/mingw-toolchain.cmake" \
  -DCMAKE_FIND_ROOT_PATH="/usr/x86_64-w64-mingw32;$DEPS/qt6-mingw-static;$DEPS/gtest-mingw;$DEPS/openssl-mingw;$DEPS/dtl" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DOPENSSL_ROOT_DIR="$DEPS/openssl-mingw" -DOPENSSL_USE_STATIC_LIBS=ON \
  -DOPENSSL_CRYPTO_LIBRARY="$DEPS/openssl-mingw/lib/libcrypto.a" \
  -DOPENSSL_INCLUDE_DIR="$DEPS/openssl-mingw/include" \
  -DMIGWIZ_BUILD_GUI=OFF -DMIGWIZ_BUILD_BENCH=OFF -DMIGWIZ_BUILD_TESTS=$TESTS \
  -DCMAKE_RUNTIME_OUTPUT_DIRECTORY="$BUILD/bin" ${EMULATOR[@]+"${EMULATOR[@]}"} >/dev/null
cmake --build "$BUILD" -j2 ${TARGETS[@]+"${TARGETS[@]}"}
echo "$BUILD/bin/migwiz.exe"
