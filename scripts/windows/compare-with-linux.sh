#!/usr/bin/env bash
# Converts the three examples with the Linux build and with migwiz.exe under
# Wine (Wine's heap checking on), RUNS times each with --jobs 4, and checks
# that the converted files and backups are byte-identical to the Linux run's
# and that the restore gives back the originals byte for byte. With --tree,
# also a generated 2,000-unit tree (bench_ReplaceRun --make-tree), timed,
# and Ctrl+C during a run on it.
#   scripts/windows/compare-with-linux.sh [RUNS] [--tree]
# Needs build/ (./scripts/build.sh) and build-windows/ (build-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=$PWD
RUNS=${1:-20}
LIN=$ROOT/build/src/apps/migwiz/migwiz
WIN=$ROOT/build-windows/bin/migwiz.exe
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export WINEDEBUG=warn+heap

# The files a run writes that hold no path or date: converted files, backups.
converted() { (cd "$1" && find . -type f ! -name 'Wiz_*' ! -name 'RExpert.reu*' | sort | xargs sha256sum); }

fail=0
check_example() { # NAME FROM PROJECT
  local name=$1 from=$2 project=$3
  rm -rf "$WORK/lin" "$WORK/orig"; mkdir -p "$WORK/lin"
  cp -r "examples/$name" "$WORK/orig"; cp -r "examples/$name" "$WORK/lin/$name"
  "$LIN" replace --from "$from" --project "$WORK/lin/$name/$project" --jobs 4 >/dev/null
  local expected; expected=$(converted "$WORK/lin/$name")
  for i in $(seq 1 "$RUNS"); do
    rm -rf "$WORK/win"; mkdir -p "$WORK/win"; cp -r "examples/$name" "$WORK/win/$name"
    wine "$WIN" replace --from "$from" --project "Z:$WORK/win/$name/$project" --jobs 4 >"$WORK/out" 2>"$WORK/err" || true
    if [ "$(converted "$WORK/win/$name")" != "$expected" ]; then echo "$name run $i: differs from Linux"; fail=1; fi
    if grep -qi 'heap' "$WORK/err"; then echo "$name run $i: heap message"; grep -i heap "$WORK/err" | head -3; fail=1; fi
    wine "$WIN" restore "Z:$WORK/win/$name/RBackup/RExpert.reu" >/dev/null 2>"$WORK/err" || { echo "$name run $i: restore failed"; cat "$WORK/err"; fail=1; }
    rm -rf "$WORK/win/$name/RBackup" "$WORK/win/$name"/Wiz_*
    if ! diff -r "$WORK/orig" "$WORK/win/$name" >/dev/null; then echo "$name run $i: restore not byte-exact"; fail=1; fi
  done
  echo "$name: $RUNS runs compared"
}
check_example bde bde Sales.dpr
check_example ibx ibx Inventory.dpr
check_example fibplus fibplus Accounts.dpr

if [ "${2:-}" = "--tree" ]; then
  export WINEDEBUG=-all
  build/bench/bench_ReplaceRun --make-tree "$WORK/tree" >/dev/null
  cp -r "$WORK/tree" "$WORK/tree-lin"; cp -r "$WORK/tree" "$WORK/tree-win"
  t0=$(date +%s.%N); "$LIN" replace --from bde --dir "$WORK/tree-lin" --subdirs >/dev/null; t1=$(date +%s.%N)
  wine "$WIN" replace --from bde --dir "Z:$WORK/tree-win" --subdirs >/dev/null; t2=$(date +%s.%N)
  echo "2,000-unit tree: Linux $(echo "$t1 - $t0" | bc) s, Wine $(echo "$t2 - $t1" | bc) s"
  if [ "$(converted "$WORK/tree-lin")" != "$(converted "$WORK/tree-win")" ]; then echo "tree: differs from Linux"; fail=1
  else echo "tree: byte-identical to Linux"; fi

  # Ctrl+C: Wine hands SIGINT to the console's handlers as CTRL_C_EVENT. A
  # run stopped before its first replacement exits 3 and leaves every
  # original as it was, no backup folder and no temporary folder.
  # (Wine sets TEMP itself: its temporary folder is the one to look at.)
  WINE_TEMP=$(wine winepath -u "$(wine cmd /c echo %TEMP% | tr -d '\r')" | tr -d '\r')
  run_folders() { find "$WINE_TEMP" -maxdepth 1 -name '$DS*' 2>/dev/null | sort; }
  BEFORE=$(run_folders)
  rm -rf "$WORK/tree-win"; cp -r "$WORK/tree" "$WORK/tree-win"
  wine "$WIN" replace --from bde --dir "Z:$WORK/tree-win" --subdirs >/dev/null 2>"$WORK/err" & WINE_PID=$!
  sleep 5
  kill -INT "$(pgrep -f "$WIN replace" | head -1)" 2>/dev/null || true
  rc=0; wait "$WINE_PID" || rc=$?
  rm -f "$WORK/tree-win/Wiz_Log.txt"
  if [ "$rc" = 3 ] && grep -q "stopped by a signal" "$WORK/err" && diff -r "$WORK/tree" "$WORK/tree-win" >/dev/null \
     && [ "$(run_folders)" = "$BEFORE" ]; then
    echo "Ctrl+C: the run stopped (exit 3), nothing replaced or left behind"
  else
    echo "Ctrl+C: exit $rc, expected 3 with the tree as it was"; tail -3 "$WORK/err"; fail=1
  fi
fi
exit $fail
