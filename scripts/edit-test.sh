#!/bin/bash
# Saves a unit as an editor would while migwiz converts the tree, at a
# random moment of the run, and checks that the edit is never lost: after
# the run the unit holds exactly what the user saved, either left alone by
# the run (named in the log, exit status 1) or saved over the converted
# unit after the run had replaced it. Every other save writes a new file and
# renames it over the unit, as most editors do; the rest append in place.
#
#   scripts/edit-test.sh                  20 runs over 1,000 units and forms
#   RUNS=40 UNITS=2000 scripts/edit-test.sh
set -u
cd "$(dirname "$0")/.."
MIGWIZ=$(realpath "${MIGWIZ:-build/src/apps/migwiz/migwiz}")
RUNS=${RUNS:-20}
UNITS=${UNITS:-1000}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/edit-test.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/tmp"
export TMPDIR="$WORK/tmp"

mkdir -p "$WORK/pristine"
for ((i = 0; i < UNITS; i++)); do
    d="$WORK/pristine/p$((i % 10))"
    mkdir -p "$d"
    printf 'unit E%d;\r\ninterface\r\nuses DBTables;\r\ntype TE%d = class(TForm) Q: TQuery; end;\r\nimplementation\r\n{$R *.dfm}\r\nend.\r\n' "$i" "$i" >"$d/E$i.pas"
    printf 'object E%d: TE%d\r\n  object Q: TQuery\r\n    SQL.Strings = (%sselect %d%s)\r\n  end\r\nend\r\n' "$i" "$i" "'" "$i" "'" >"$d/E$i.dfm"
done

cp -a "$WORK/pristine" "$WORK/t"
START=$(date +%s%N)
"$MIGWIZ" replace --from bde --dir "$WORK/t" --subdirs >/dev/null 2>&1
RUN_MS=$((($(date +%s%N) - START) / 1000000))
echo "$UNITS units with their forms; an undisturbed run takes $RUN_MS ms"

lost=0 kept_unconverted=0 saved_after=0
for ((r = 1; r <= RUNS; r++)); do
    rm -rf "$WORK/t" "$WORK/tmp" && mkdir "$WORK/tmp"
    cp -a "$WORK/pristine" "$WORK/t"
    i=$((RANDOM % UNITS))
    unit="$WORK/t/p$((i % 10))/E$i.pas"
    "$MIGWIZ" replace --from bde --dir "$WORK/t" --subdirs >"$WORK/out" 2>&1 &
    pid=$!
    delay=$((RANDOM % (RUN_MS + 1)))
    sleep "$((delay / 1000)).$(printf '%03d' $((delay % 1000)))"
    if ((r % 2 == 0)); then
        cp "$unit" "$unit.new" && printf '// saved by the user %d\r\n' "$r" >>"$unit.new" && mv "$unit.new" "$unit"
    else
        printf '// saved by the user %d\r\n' "$r" >>"$unit"
    fi
    saved=$(sha256sum <"$unit")
    wait "$pid"
    rc=$?
    if [ "$(sha256sum <"$unit")" != "$saved" ]; then
        lost=$((lost + 1))
        echo "run $r (exit $rc, save after $delay ms): THE EDIT OF $unit WAS LOST"
    elif grep -q TOrxQuery "$unit"; then
        saved_after=$((saved_after + 1))
        echo "run $r (exit $rc, save after $delay ms): saved over the converted unit; kept"
    else
        kept_unconverted=$((kept_unconverted + 1))
        echo "run $r (exit $rc, save after $delay ms): left as saved, not converted"
    fi
done
echo
echo "runs: $RUNS; edits lost: $lost; kept unconverted: $kept_unconverted; saved over a converted unit: $saved_after"
[ "$lost" -eq 0 ]
