#!/usr/bin/env bash
# Times a restore against the replace that preceded it, and both against
# the floor of the file system, on the whole-run benchmark's tree (2,000
# units and 2,000 forms, all of which change), in one go on one tree:
#
#   replace   migwiz replace --from bde --dir TREE --subdirs
#   restore   migwiz restore TREE/RBackup/RExpert.reu
#   floor     for each file the restore put back, a one-byte file written
#             beside a copy of the converted file and renamed over it: the
#             least any restore must do, since it frees every converted file
#
# A replace keeps each original alive as its backup (a second name of the
# same file), so it frees nothing; a restore frees the converted files, and
# on a file system that discards freed blocks (mount option "discard") that
# is what its time goes to. Compare the restore with the floor, not with the
# replace. Needs python3 and bc.
#
# Usage: scripts/restore-time.sh [--no-build] [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=build
NO_BUILD=""
for A in "$@"; do
  case "$A" in
    --no-build) NO_BUILD=1 ;;
    *) BUILD=$A ;;
  esac
done
if [ -z "$NO_BUILD" ]; then
  [ -f "$BUILD/build.ninja" ] || cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$BUILD" -j2 --target migwiz bench_ReplaceRun >/dev/null
fi
MIGWIZ=$(realpath "$BUILD/src/apps/migwiz/migwiz")
MAKETREE=$(realpath "$BUILD/bench/bench_ReplaceRun")

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export TMPDIR=$WORK
"$MAKETREE" --make-tree "$WORK/tree" >/dev/null
sync

seconds() { local T0 T1; T0=$(date +%s.%N); "$@" >/dev/null; T1=$(date +%s.%N); echo "$T1 - $T0" | bc; }
REPLACE=$(seconds "$MIGWIZ" replace --from bde --dir "$WORK/tree" --subdirs)
CHANGED=$(grep -c . "$WORK/tree/RBackup/RExpert.reu")
# The floor works on a copy of the converted files, made and flushed first.
mkdir "$WORK/floor"
cp -r "$WORK/tree/." "$WORK/floor" && rm -rf "$WORK/floor/RBackup"
sync
RESTORE=$(seconds "$MIGWIZ" restore "$WORK/tree/RBackup/RExpert.reu")
sync
FLOOR=$(seconds python3 - "$WORK/floor" <<'EOF'
import os, sys
for Folder, _, Names in os.walk(sys.argv[1]):
    for Name in Names:
        Path = os.path.join(Folder, Name)
        with open(Path + ".tmp", "wb") as F:
            F.write(b"x")
        os.rename(Path + ".tmp", Path)
os.sync()
EOF
)
printf 'files changed and restored: %d\n' "$CHANGED"
printf 'replace %6.2f s\nrestore %6.2f s  (%.1f times the replace)\nfloor   %6.2f s  (restore: %.2f times the floor)\n' \
  "$REPLACE" "$RESTORE" "$(echo "$RESTORE / $REPLACE" | bc -l)" "$FLOOR" "$(echo "$RESTORE / $FLOOR" | bc -l)"
