#!/bin/sh
# Builds the whole test suite with AddressSanitizer and UndefinedBehaviorSanitizer
# in its own build folder (build-sanitize) and runs it. Any report of either
# sanitizer fails the run.
#   scripts/sanitize.sh            configure, build and test
#   JOBS=1 scripts/sanitize.sh     fewer parallel compilers
#   scripts/sanitize.sh thread     ThreadSanitizer instead (build-tsan), on the
#                                  tests that run a replace on several threads
set -eu
cd "$(dirname "$0")/.."
JOBS=${JOBS:-2}
if [ "${1:-}" = thread ]; then
    BUILD=${BUILD:-build-tsan}
    LAUNCHER=""
    command -v ccache >/dev/null 2>&1 && LAUNCHER="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
    cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $LAUNCHER \
        -DMIGWIZ_BUILD_BENCH=OFF -DMIGWIZ_BUILD_GUI=OFF -DCMAKE_CXX_FLAGS="-fsanitize=thread" \
        -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=thread"
    # Only the programs of the tests below.
    cmake --build "$BUILD" -j "$JOBS" --target migwiz test_ReplaceJobs test_ReplaceRun test_EndToEnd test_Cli \
        test_ProductExamples
    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
    export MIGWIZ_TIME_SCALE=10
    ctest --test-dir "$BUILD" --output-on-failure -j "$JOBS" -R 'Jobs|ReplaceRun|EndToEnd|Cli|Product'
    exit
fi
BUILD=${BUILD:-build-sanitize}
FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
LAUNCHER=""
command -v ccache >/dev/null 2>&1 && LAUNCHER="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug $LAUNCHER \
    -DMIGWIZ_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="$FLAGS" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined"
cmake --build "$BUILD" -j "$JOBS"
# Leaks are reported too; every finding stops the test that made it.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# Timed tests allow for the sanitizers' slowness.
export MIGWIZ_TIME_SCALE=10
ctest --test-dir "$BUILD" --output-on-failure -j "$JOBS"
