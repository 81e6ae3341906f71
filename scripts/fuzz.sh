#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, with AddressSanitizer and UBSan, in
# build-fuzz) and runs each for SECONDS (default 600), one after the other,
# from a seed corpus of the text forms in examples/ and tests/data (the form
# parser's seeds get the leading byte that picks UTF-8). Prints for each
# target its executions, executions a second and coverage (edges, features),
# and fails when a target finds a fault (its input is left in fuzz-out/).
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
SECONDS_EACH=${1:-600}
shift || true
TARGETS=("$@")
[ ${#TARGETS[@]} -gt 0 ] || TARGETS=(fuzz_FormParser fuzz_ComponentStream)

command -v clang++ >/dev/null || { echo "fuzz.sh: clang++ is not installed (apt-get install clang)" >&2; exit 1; }
if [ ! -f build-fuzz/build.ninja ]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIGWIZ_BUILD_FUZZ=ON \
    -DMIGWIZ_BUILD_TESTS=OFF -DMIGWIZ_BUILD_BENCH=OFF -DMIGWIZ_BUILD_GUI=OFF >/dev/null
fi
cmake --build build-fuzz -j2 --target "${TARGETS[@]}" >/dev/null

OUT=$ROOT/fuzz-out
mkdir -p "$OUT"
status=0
for T in "${TARGETS[@]}"; do
  SEEDS=$OUT/$T-seeds CORPUS=$OUT/$T-corpus
  rm -rf "$SEEDS"; mkdir -p "$SEEDS" "$CORPUS"
  N=0
  while IFS= read -r -d '' F; do
    if head -c 4 "$F" | grep -q TPF0; then
      [ "$T" = fuzz_FormParser ] && continue
      tail -c +5 "$F" >"$SEEDS/$N" # the binary target adds the signature itself
    elif [ "$T" = fuzz_FormParser ]; then
      { printf '\001'; cat "$F"; } >"$SEEDS/$N"
    else
      cp "$F" "$SEEDS/$N"
    fi
    N=$((N + 1))
  done < <(find examples tests/data -type f \( -iname '*.dfm' -o -iname '*.nfm' \) -print0)
  LOG=$OUT/$T.log
  if (cd "$OUT" && "$ROOT/build-fuzz/fuzz/$T" "$CORPUS" "$SEEDS" -max_len=4096 -max_total_time="$SECONDS_EACH" \
      -print_final_stats=1 -artifact_prefix="$OUT/$T-") >"$LOG" 2>&1; then
    result=ok
  else
    result="FAULT (see $LOG and $OUT/$T-*)"; status=1
  fi
  EXECS=$(awk '/stat::number_of_executed_units/ {print $2}' "$LOG")
  RATE=$(awk '/stat::average_exec_per_sec/ {print $2}' "$LOG")
  COV=$(grep -Eo 'cov: [0-9]+ ft: [0-9]+' "$LOG" | tail -1)
  printf '%-22s %s s, %s seeds: %s executions, %s a second, %s: %s\n' "$T" "$SECONDS_EACH" "$N" "${EXECS:-?}" \
    "${RATE:-?}" "${COV:-cov: ?}" "$result"
done
exit $status
