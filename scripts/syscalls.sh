#!/usr/bin/env bash
# Counts the system calls of one folder-mode replace run
# (`migwiz replace --from bde --dir TREE --subdirs`, with backups and log)
# over the whole-run benchmark's tree of 2,000 units and 2,000 forms, all of
# which change, and prints them per changed file: in total and by kind.
#
# Usage: scripts/syscalls.sh [--max N] [--no-build] [BUILD_DIR] [-- EXTRA MIGWIZ ARGUMENTS]
# (BUILD_DIR defaults to build/; it is configured and the two executables
# built unless --no-build.) With --max N it fails (status 1) when the run
# makes more than N calls on files per changed file; it ends with status 77
# (skipped) when strace is missing or may not trace here. Needs strace
# (scripts/install-deps.sh installs it).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=build
MAX=""
NO_BUILD=""
while [ $# -gt 0 ]; do
  case "$1" in
    --max) MAX=$2; shift 2 ;;
    --no-build) NO_BUILD=1; shift ;;
    --) shift; break ;;
    *) BUILD=$1; shift ;;
  esac
done
EXTRA=("$@")

command -v strace >/dev/null || { echo "syscalls.sh: strace is not installed (scripts/install-deps.sh)" >&2; exit 77; }
strace -f -o /dev/null true 2>/dev/null || { echo "syscalls.sh: strace may not trace processes here" >&2; exit 77; }
if [ -z "$NO_BUILD" ]; then
  if [ ! -f "$BUILD/build.ninja" ]; then
    cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  fi
  cmake --build "$BUILD" -j2 --target migwiz bench_ReplaceRun >/dev/null
fi
MIGWIZ=$BUILD/src/apps/migwiz/migwiz
MAKETREE=$BUILD/bench/bench_ReplaceRun

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
"$MAKETREE" --make-tree "$WORK/tree" >"$WORK/tree.txt"
read -r _ FILES _ CHANGING _ BYTES <"$WORK/tree.txt"
sync

# The run's own temporary folder goes where the tree is (one file system).
TMPDIR=$WORK strace -c -f -o "$WORK/strace.txt" \
  "$MIGWIZ" replace --from bde --dir "$WORK/tree" --subdirs "${EXTRA[@]}" >/dev/null
CHANGED=$(grep -c . "$WORK/tree/RBackup/RExpert.reu" || true)
[ "$CHANGED" -gt 0 ] || { echo "syscalls.sh: the run changed no file" >&2; exit 1; }

echo "tree: $FILES files ($CHANGING with something to convert), $BYTES bytes; the run changed $CHANGED"
# strace -c rows: % time, seconds, usecs/call, calls, [errors,] syscall.
awk -v changed="$CHANGED" -v max="$MAX" '
  function kind(s) {
    if (s ~ /^(stat|lstat|fstat|newfstatat|fstatat64|statx|access|faccessat2?|statfs|fstatfs|readlink(at)?)$/) return "stat-type"
    if (s ~ /^mkdir(at)?$/) return "mkdir"
    if (s ~ /^(open|openat2?|creat)$/) return "open"
    if (s == "close") return "close"
    if (s ~ /^(read|pread64|readv|preadv2?)$/) return "read"
    if (s ~ /^(write|pwrite64|writev|pwritev2?|sendfile|copy_file_range)$/) return "write/copy"
    if (s ~ /^(fsync|fdatasync|syncfs|sync|sync_file_range)$/) return "fsync/fdatasync"
    if (s ~ /^rename(at2?)?$/) return "rename"
    if (s ~ /^(link|linkat|symlink|symlinkat)$/) return "link"
    if (s ~ /^(unlink|unlinkat|rmdir)$/) return "unlink/rmdir"
    if (s ~ /^(chmod|fchmod|fchmodat|chown|fchown|fchownat|lchown|utimensat)$/) return "chmod/chown"
    if (s ~ /^getdents(64)?$/) return "getdents"
    if (s ~ /^(lseek|fcntl|ioctl|flock|ftruncate|fallocate|fadvise64)$/) return "other-file"
    return "process/memory"
  }
  $NF == "syscall" || $NF == "total" || $1 ~ /^-/ || NF < 5 { next }
  {
    calls = $4; errors = (NF >= 6) ? $5 : 0; k = kind($NF)
    n[k] += calls; e[k] += errors; total += calls
    if (k != "process/memory") file += calls
    detail[$NF] = calls; derr[$NF] = errors; dkind[$NF] = k
  }
  END {
    printf "system calls per changed file: %.1f in total, %.1f on files\n\n", total / changed, file / changed
    over = max != "" && file / changed > max + 0
    printf "%-16s %10s %10s %12s\n", "kind", "calls", "per file", "failed/file"
    split("stat-type mkdir open close read write/copy fsync/fdatasync rename link unlink/rmdir chmod/chown getdents other-file process/memory", order, " ")
    for (i = 1; i in order; i++) {
      k = order[i]; if (!(k in n)) continue
      printf "%-16s %10d %10.2f %12.2f\n", k, n[k], n[k] / changed, e[k] / changed
    }
    printf "\n%-20s %-16s %10s %10s %12s\n", "call", "kind", "calls", "per file", "failed/file"
    fflush()
    for (s in detail) if (detail[s] / changed >= 0.01)
      printf "%-20s %-16s %10d %10.2f %12.2f\n", s, dkind[s], detail[s], detail[s] / changed, derr[s] / changed | "sort -k3,3nr"
    close("sort -k3,3nr")
    if (over) {
      printf "\nsyscalls.sh: %.1f calls on files per changed file, more than %s\n", file / changed, max
      exit 1
    }
  }' "$WORK/strace.txt"
